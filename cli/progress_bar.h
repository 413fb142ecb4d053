// A progress bar on stderr for work that lasts. It shows only on a terminal,
// only once the work has gone on for about half a second, redraws at most
// ten times a second, and wipes itself when the work is done, so that short
// runs, pipes and logs never see it.
#pragma once

#include "core/base/progress.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tabrino::cli {

bool isTerminal(std::FILE* stream) noexcept;

class ProgressBar {
 public:
  // A bar that is not wanted (--quiet) or has no terminal stays silent.
  explicit ProgressBar(bool wanted);
  ~ProgressBar() { finish(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void update(const char* label, std::uint64_t done, std::uint64_t total);
  // For core work that reports through a callback.
  ProgressCallback callback(const char* label);
  // Wipes the bar; call before printing anything else to stderr.
  void finish();

 private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  bool shown_ = false;
  Clock::time_point start_;
  Clock::time_point lastDraw_;
  std::chrono::milliseconds delay_;
  std::size_t drawnWidth_ = 0;
};

}  // namespace tabrino::cli
