#include "ui/background_worker.h"

#include "framework/worker_thread.h"

#include <utility>

namespace {
constexpr DWORD kPostRetryMs = 20;
}  // namespace

BackgroundWorker::~BackgroundWorker() { Finish(); }

bool BackgroundWorker::Start(std::function<void()> work, HWND notify, UINT doneMessage) {
  if (m_thread) return false;
  m_work = std::move(work);
  m_notify = notify;
  m_doneMessage = doneMessage;
  m_done = false;
  m_thread = AfxBeginThread(&BackgroundWorker::ThreadProc, this);
  return m_thread != nullptr;
}

void BackgroundWorker::Finish() {
  if (!m_thread) return;
  ::WaitForSingleObject(m_thread, INFINITE);
  ::CloseHandle(m_thread);
  m_thread = nullptr;
  m_work = nullptr;
}

UINT BackgroundWorker::ThreadProc(LPVOID param) {
  auto* self = static_cast<BackgroundWorker*>(param);
  self->m_work();
  self->m_done.store(true, std::memory_order_release);
  // A full message queue refuses posts. The dialog also looks at Done() on
  // its timer, but the message is what ends the run at once, so keep trying
  // while the window lives.
  while (!::PostMessageW(self->m_notify, self->m_doneMessage, 0, 0) && ::IsWindow(self->m_notify)) {
    ::Sleep(kPostRetryMs);
  }
  return 0;
}
