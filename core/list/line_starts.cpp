#include "core/list/line_starts.h"

#include <algorithm>

namespace tabrino {

void LineStarts::clear() noexcept {
  std::vector<std::uint8_t>().swap(steps_);
  std::vector<std::size_t>().swap(wholes_);
  std::vector<Far>().swap(far_);
  last_ = 0;
}

void LineStarts::emptyKeepingRoom() noexcept {
  steps_.clear();
  wholes_.clear();
  far_.clear();
  last_ = 0;
}

void LineStarts::reserve(std::size_t rows) {
  steps_.reserve(rows);
  wholes_.reserve(rows / kRowsPerWhole + 1);
}

void LineStarts::push(std::size_t offset) {
  const std::size_t row = steps_.size();
  if (row % kRowsPerWhole == 0) {
    wholes_.push_back(offset);
    steps_.push_back(0);
  } else if (offset - last_ < kFar) {
    steps_.push_back(static_cast<std::uint8_t>(offset - last_));
  } else {
    far_.push_back({row, offset});
    steps_.push_back(kFar);
  }
  last_ = offset;
}

std::size_t LineStarts::farStart(std::size_t row) const noexcept {
  return std::lower_bound(far_.begin(), far_.end(), row, [](const Far& far, std::size_t at) { return far.row < at; })
      ->offset;
}

std::size_t LineStarts::operator[](std::size_t row) const noexcept {
  const std::size_t whole = row / kRowsPerWhole;
  std::size_t offset = wholes_[whole];
  for (std::size_t at = whole * kRowsPerWhole + 1; at <= row; ++at) {
    const std::uint8_t step = steps_[at];
    offset = step == kFar ? farStart(at) : offset + step;
  }
  return offset;
}

std::size_t LineStarts::Reader::next() noexcept {
  const std::size_t row = row_++;
  const std::uint8_t step = starts_.steps_[row];
  if (row % kRowsPerWhole == 0) {
    offset_ = starts_.wholes_[row / kRowsPerWhole];
  } else if (step == kFar) {
    offset_ = starts_.far_[far_++].offset;
  } else {
    offset_ += step;
  }
  return offset_;
}

void LineStarts::remove(const std::vector<std::uint32_t>& removed) {
  if (removed.empty()) return;
  LineStarts kept;
  kept.reserve(size() - removed.size());
  Reader reader(*this);
  auto next = removed.begin();
  for (std::size_t row = 0; row < size(); ++row) {
    const std::size_t offset = reader.next();
    if (next != removed.end() && *next == row) {
      ++next;
      continue;
    }
    kept.push(offset);
  }
  *this = std::move(kept);
}

}  // namespace tabrino
