// One conversion at a time on a worker thread. The worker touches no window
// but the one it notifies when done; the dialog polls the accepted count on a
// timer and shows the outcome on its own thread.
#pragma once

#include "core/camera_table.h"
#include "core/conversion_run.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

class ConversionWorker {
 public:
  struct Outcome {
    bool completed = false;
    bool openFailed = false;  // the file could not be created or put in place
    tabrino::ConversionSummary summary;
    std::wstring failure;     // message text, then the system's reason
  };

  ~ConversionWorker();

  // Starts writing `table` (which must not change until Finish) and posts
  // `doneMessage` to `notify` when the file is complete or the run failed.
  bool Start(const tabrino::CameraTable& table, const tabrino::ConversionSettings& settings, HWND notify,
             UINT doneMessage);
  bool IsRunning() const { return m_thread != nullptr; }
  std::uint32_t AcceptedSoFar() const { return m_accepted.load(std::memory_order_relaxed); }
  // Waits for the thread (which has posted its message) and hands over the outcome.
  Outcome Finish();

 private:
  static UINT ConversionThreadProc(LPVOID param);

  const tabrino::CameraTable* m_table = nullptr;
  tabrino::ConversionSettings m_settings{};
  HWND m_notify = nullptr;
  UINT m_doneMessage = 0;
  HANDLE m_thread = nullptr;
  std::atomic<std::uint32_t> m_accepted{0};
  Outcome m_outcome;  // written by the worker, read after it has ended
};
