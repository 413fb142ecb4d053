#include "camera_table.h"

#include "c_numbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>

namespace tabrino {
namespace {

// Maps a double to an unsigned integer with the same order.
std::uint64_t orderedKey(double value) noexcept {
  if (std::isnan(value)) return std::numeric_limits<std::uint64_t>::max();
  if (value == 0.0) value = 0.0;  // -0 sorts with +0
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
}

}  // namespace

void CameraTable::clear() noexcept {
  text_.clear();
  rows_.clear();
}

void CameraTable::reserveText(std::uintmax_t bytes) noexcept {
  if (bytes > text_.max_size() - text_.size()) return;
  try {
    text_.reserve(text_.size() + static_cast<std::size_t>(bytes));
  } catch (const std::exception&) {
    // Only a hint: growing as rows arrive may still succeed.
  }
}

void CameraTable::appendRow(const Cells& cells, std::uint64_t tag) {
  rows_.push_back(Row{text_.size(), tag});
  for (std::string_view cell : cells) {
    text_.insert(text_.end(), cell.begin(), cell.end());
    text_.push_back('\0');
  }
}

void CameraTable::eraseRow(std::size_t row) {
  // The arena keeps the bytes; only the row goes. Erasing is rare (the header).
  if (row < rows_.size()) rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

std::string_view CameraTable::cell(std::size_t row, Column column) const noexcept {
  if (row >= rows_.size()) return {};
  const char* p = text_.data() + rows_[row].offset;
  for (std::size_t skip = static_cast<std::size_t>(column); skip > 0; --skip) p += std::strlen(p) + 1;
  return std::string_view(p);
}

CameraTable::Cells CameraTable::rowCells(std::size_t row) const noexcept {
  Cells cells{};
  if (row >= rows_.size()) return cells;
  const char* p = text_.data() + rows_[row].offset;
  for (std::string_view& cell : cells) {
    cell = std::string_view(p);
    p += cell.size() + 1;
  }
  return cells;
}

std::uint64_t CameraTable::tag(std::size_t row) const noexcept {
  return row < rows_.size() ? rows_[row].tag : 0;
}

void CameraTable::sortByLatitude() {
  // Each latitude is parsed once into an integer whose order is the numeric
  // order (NaN last, -0 equal to 0). Sorting (key, position) pairs with a
  // plain sort is then stable by construction and stays in cache, where a
  // comparison that parsed text would cost a hundred times more.
  struct SortKey {
    std::uint64_t latitude;
    std::uint32_t position;
    bool operator<(const SortKey& other) const noexcept {
      return latitude != other.latitude ? latitude < other.latitude : position < other.position;
    }
  };
  std::vector<SortKey> keys(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    keys[i] = {orderedKey(atofC(cell(i, Column::Y))), static_cast<std::uint32_t>(i)};
  }
  std::sort(keys.begin(), keys.end());

  std::vector<Row> sorted;
  sorted.reserve(rows_.size());
  for (const SortKey& key : keys) sorted.push_back(rows_[key.position]);
  rows_.swap(sorted);
}

}  // namespace tabrino
