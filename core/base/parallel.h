// Two pieces of work at once where the machine has a second core: the
// import, the sort and the write each split their work in two.
#pragma once

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace tabrino {

// Whether a second thread can run beside this one. TABRINO_THREADS=1 says
// no and any other value yes, whatever the machine has: tests take either
// path on any machine, the one-core path on two cores and the other way round.
inline bool twoCores() noexcept {
  static const bool available = [] {
    if (const char* forced = std::getenv("TABRINO_THREADS")) return std::strcmp(forced, "1") != 0;
    return std::thread::hardware_concurrency() > 1;
  }();
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

// A second thread kept for a run of paired pieces of work: a loop over the
// blocks of a large list calls both() for each block, and starting a thread
// (with its fresh stack) for each would cost more than some blocks' work.
// Like inParallel, both pieces run in turn where there is no second core or
// the thread cannot start. One caller at a time.
class ThreadPair {
 public:
  ThreadPair() = default;
  ~ThreadPair();
  ThreadPair(const ThreadPair&) = delete;
  ThreadPair& operator=(const ThreadPair&) = delete;

  // Runs `first` here and `second` on the kept thread, and returns when both
  // are done; an exception of either reaches the caller once both have ended.
  template <typename First, typename Second>
  void both(First&& first, Second&& second) {
    if (!started()) {
      first();
      second();
      return;
    }
    post([&second] { second(); });
    try {
      first();
    } catch (...) {
      waitForSecond();
      throw;
    }
    if (const std::exception_ptr failure = waitForSecond()) std::rethrow_exception(failure);
  }

 private:
  bool started();
  void post(std::function<void()> job);
  std::exception_ptr waitForSecond();
  void serve();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  std::exception_ptr failure_;
  bool pending_ = false;
  bool stopping_ = false;
  bool unavailable_ = false;
  std::thread thread_;
};

}  // namespace tabrino
