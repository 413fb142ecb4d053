#include "framework/worker_thread.h"

#include <process.h>

namespace {
struct ThreadStart {
  AFX_THREADPROC proc;
  LPVOID param;
};

unsigned __stdcall threadEntry(void* start) {
  const ThreadStart request = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  // An exception cannot leave the thread through the C runtime's frames; a
  // procedure that let one through has failed, and says so by its code.
  try {
    return request.proc(request.param);
  } catch (...) {
    return static_cast<unsigned>(-1);
  }
}
}  // namespace

HANDLE AfxBeginThread(AFX_THREADPROC proc, LPVOID param) {
  auto* start = new ThreadStart{proc, param};
  const uintptr_t handle = ::_beginthreadex(nullptr, 0, &threadEntry, start, 0, nullptr);
  if (!handle) delete start;
  return reinterpret_cast<HANDLE>(handle);
}
