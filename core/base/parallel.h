// Two pieces of work at once where the machine has a second core: the
// import, the sort and the write each split their work in two.
#pragma once

#include <exception>
#include <thread>

namespace tabrino {

inline bool twoCores() noexcept {
  static const bool available = std::thread::hardware_concurrency() > 1;
  return available;
}

// Runs `first` here and `second` on a second thread (or after `first` on a
// machine of one core), and returns when both are done; an exception of
// either reaches the caller once both have ended.
template <typename First, typename Second>
void inParallel(First&& first, Second&& second) {
  if (!twoCores()) {
    first();
    second();
    return;
  }
  std::exception_ptr secondFailure;
  std::thread worker([&] {
    try {
      second();
    } catch (...) {
      secondFailure = std::current_exception();
    }
  });
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
