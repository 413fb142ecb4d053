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
  return request.proc(request.param);
}
}  // namespace

HANDLE AfxBeginThread(AFX_THREADPROC proc, LPVOID param) {
  auto* start = new ThreadStart{proc, param};
  const uintptr_t handle = ::_beginthreadex(nullptr, 0, &threadEntry, start, 0, nullptr);
  if (!handle) delete start;
  return reinterpret_cast<HANDLE>(handle);
}
