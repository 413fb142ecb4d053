// One piece of long work at a time on a worker thread, so that the dialog's
// thread keeps serving its messages. The work touches no window; when it has
// finished, the worker posts a message to the window that started it, once.
// The window must also poll Done() on a timer, since a full queue refuses the
// post. The worker never waits on the window's thread, so that thread may
// wait for the worker (Finish) without the two waiting on each other.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

class BackgroundWorker {
 public:
  BackgroundWorker() = default;
  ~BackgroundWorker();  // waits for the work
  BackgroundWorker(const BackgroundWorker&) = delete;
  BackgroundWorker& operator=(const BackgroundWorker&) = delete;

  // Runs `work` on a new thread and then posts `doneMessage` to `notify`.
  // Whatever the work throws is caught on the thread (no exception may leave
  // it) and kept for the window's thread to tell: Thrown().
  // False (and nothing runs) when a thread could not be started.
  bool Start(std::function<void()> work, HWND notify, UINT doneMessage);
  // The work has returned (its results may be read once Finish has returned);
  // a message of a run before this one finds it false.
  bool Done() const { return m_done.load(std::memory_order_acquire); }
  bool Active() const { return m_thread != nullptr; }
  // What the work threw, if it did, read once Finish has returned: the work's
  // results are then not to be trusted.
  struct Thrown {
    bool any = false;
    bool outOfMemory = false;  // std::bad_alloc
    std::string what;          // the exception's text, when it had one
  };
  const Thrown& ThrownByWork() const { return m_thrown; }
  // Waits for the thread to end; the work's results are then the caller's.
  void Finish();

 private:
  static UINT ThreadProc(LPVOID param);

  std::function<void()> m_work;
  HWND m_notify = nullptr;
  UINT m_doneMessage = 0;
  HANDLE m_thread = nullptr;
  std::atomic<bool> m_done{false};
  Thrown m_thrown;
};
