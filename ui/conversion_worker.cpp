#include "ui/conversion_worker.h"

#include "core/errors.h"
#include "framework/worker_thread.h"
#include "ui/text_encoding.h"

#include <new>

ConversionWorker::~ConversionWorker() {
  if (m_thread) Finish();
}

bool ConversionWorker::Start(const tabrino::CameraTable& table, const tabrino::ConversionSettings& settings,
                             HWND notify, UINT doneMessage) {
  if (m_thread) return false;
  m_table = &table;
  m_settings = settings;
  m_notify = notify;
  m_doneMessage = doneMessage;
  m_accepted = 0;
  m_outcome = Outcome{};
  m_thread = AfxBeginThread(&ConversionWorker::ConversionThreadProc, this);
  return m_thread != nullptr;
}

ConversionWorker::Outcome ConversionWorker::Finish() {
  if (m_thread) {
    ::WaitForSingleObject(m_thread, INFINITE);
    ::CloseHandle(m_thread);
    m_thread = nullptr;
  }
  return m_outcome;
}

UINT ConversionWorker::ConversionThreadProc(LPVOID param) {
  auto* self = static_cast<ConversionWorker*>(param);
  Outcome& outcome = self->m_outcome;
  try {
    outcome.summary = tabrino::writeCameraDatabase(*self->m_table, self->m_settings,
                                                   [self](std::uint64_t written, std::uint64_t) {
                                                     self->m_accepted.store(static_cast<std::uint32_t>(written),
                                                                            std::memory_order_relaxed);
                                                   });
    outcome.completed = true;
  } catch (const tabrino::TabrinoError& error) {
    outcome.openFailed = dynamic_cast<const tabrino::FileOpenError*>(&error) != nullptr;
    outcome.failure = WideFromUtf8(error.messageText());
    if (!error.systemReason().empty()) outcome.failure += L"\n\n" + WideFromUtf8(error.systemReason());
  } catch (const std::bad_alloc&) {
    outcome.failure = L"Not enough memory to write the database file.";
  }
  ::PostMessageW(self->m_notify, self->m_doneMessage, 0, 0);
  return outcome.completed ? 1 : 0;
}
