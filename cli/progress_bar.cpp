#include "cli/progress_bar.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tabrino::cli {
namespace {

constexpr std::chrono::milliseconds kDefaultDelay{500};
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr std::size_t kBarWidth = 30;

// TABRINO_PROGRESS_DELAY_MS lets tests and demonstrations show the bar at
// once; anything unreadable keeps the default.
std::chrono::milliseconds delayBeforeShowing() {
  const char* text = std::getenv("TABRINO_PROGRESS_DELAY_MS");
  if (!text || !*text) return kDefaultDelay;
  const std::string_view value(text);
  unsigned milliseconds = 0;
  const auto result = std::from_chars(value.data(), value.data() + value.size(), milliseconds);
  if (result.ec != std::errc() || result.ptr != value.data() + value.size()) return kDefaultDelay;
  return std::chrono::milliseconds(milliseconds);
}

}  // namespace

bool isTerminal(std::FILE* stream) noexcept {
#ifdef _WIN32
  // _isatty is true for NUL too: only a console shows a bar.
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
#else
  return ::isatty(::fileno(stream)) != 0;
#endif
}

ProgressBar::ProgressBar(bool wanted)
    : enabled_(wanted && isTerminal(stderr)), start_(Clock::now()), delay_(delayBeforeShowing()) {}

void ProgressBar::update(const char* label, std::uint64_t done, std::uint64_t total) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < delay_ || (shown_ && now - lastDraw_ < kRedrawInterval)) return;
  lastDraw_ = now;
  shown_ = true;

  const double fraction = total == 0 ? 1.0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
  const auto filled = static_cast<std::size_t>(fraction * kBarWidth);
  std::string line = "\r" + std::string(label) + " [" + std::string(filled, '#') +
                     std::string(kBarWidth - filled, '.') + "] " +
                     std::to_string(static_cast<int>(fraction * 100)) + "%";
  const std::size_t width = line.size() - 1;
  if (width < drawnWidth_) line += std::string(drawnWidth_ - width, ' ');  // a shorter label
  drawnWidth_ = std::max(drawnWidth_, width);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

ProgressCallback ProgressBar::callback(const char* label) {
  return [this, label](std::uint64_t done, std::uint64_t total) { update(label, done, total); };
}

void ProgressBar::finish() {
  if (!shown_) return;
  shown_ = false;
  std::fputs(("\r" + std::string(drawnWidth_, ' ') + "\r").c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace tabrino::cli
