#include "ui/background_worker.h"

#include "framework/worker_thread.h"

#include <exception>
#include <new>
#include <utility>

BackgroundWorker::~BackgroundWorker() { Finish(); }

bool BackgroundWorker::Start(std::function<void()> work, HWND notify, UINT doneMessage) {
  if (m_thread) return false;
  m_work = std::move(work);
  m_notify = notify;
  m_doneMessage = doneMessage;
  m_done = false;
  m_thrown = Thrown();
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
  try {
    self->m_work();
  } catch (...) {
    self->m_thrown.any = true;
    try {
      throw;
    } catch (const std::bad_alloc&) {
      self->m_thrown.outOfMemory = true;
    } catch (const std::exception& error) {
      try {
        self->m_thrown.what = error.what();
      } catch (const std::bad_alloc&) {
        self->m_thrown.outOfMemory = true;  // not even for its text
      }
    } catch (...) {
    }
  }
  self->m_done.store(true, std::memory_order_release);
  // Posted once and never retried: a retry would wait for the dialog's
  // thread to empty its queue, while that thread may be waiting here for the
  // worker to end. A post refused by a full queue is not lost work: the
  // dialog's timer looks at Done() and ends the run instead.
  ::PostMessageW(self->m_notify, self->m_doneMessage, 0, 0);
  return 0;
}
