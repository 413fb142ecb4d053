#include "core/base/parallel.h"

#include <utility>

namespace tabrino {

ThreadPair::~ThreadPair() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool ThreadPair::started() {
  if (thread_.joinable()) return true;
  if (unavailable_ || !twoCores()) return false;
  try {
    thread_ = std::thread([this] { serve(); });
  } catch (const std::system_error&) {
    unavailable_ = true;  // short of address space for a stack: in turn, from now on
  }
  return thread_.joinable();
}

void ThreadPair::post(std::function<void()> job) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    job_ = std::move(job);
    failure_ = nullptr;
    pending_ = true;
  }
  changed_.notify_all();
}

std::exception_ptr ThreadPair::waitForSecond() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !pending_; });
  job_ = nullptr;
  return std::exchange(failure_, nullptr);
}

void ThreadPair::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_ || stopping_; });
    if (!pending_) return;
    lock.unlock();
    std::exception_ptr failure;
    try {
      job_();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    failure_ = failure;
    pending_ = false;
    changed_.notify_all();
  }
}

}  // namespace tabrino
