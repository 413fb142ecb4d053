// Two pieces of work at once where the machine has a second core: the
// import, the sort and the write each split their work in two.
#pragma once

#include <exception>
#include <system_error>
#include <thread>

namespace tabrino {

inline bool twoCores() noexcept {
  static const bool available = std::thread::hardware_concurrency() > 1;
  return available;
}

// Runs `first` here and `second` on a second thread, and returns when both
// are done; an exception of either reaches the caller once both have ended.
// Where there is no second core, or no second thread can start (a process
// short of address space for its stack), the two run in turn here.
template <typename First, typename Second>
void inParallel(First&& first, Second&& second) {
  if (!twoCores()) {
    first();
    second();
    return;
  }
  std::exception_ptr secondFailure;
  std::thread worker;
  try {
    worker = std::thread([&] {
      try {
        second();
      } catch (...) {
        secondFailure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    first();
    second();
    return;
  }
  try {
    first();
  } catch (...) {
    worker.join();
    throw;
  }
  worker.join();
  if (secondFailure) std::rethrow_exception(secondFailure);
}

}  // namespace tabrino
