#include "camera_table.h"

#include "c_numbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <numeric>

namespace tabrino {

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
  // Parse each key once: a comparison that parsed text would cost a hundred
  // times more on a list of a million rows.
  std::vector<double> latitude(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) latitude[i] = atofC(cell(i, Column::Y));

  std::vector<std::uint32_t> order(rows_.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    if (std::isnan(latitude[a])) return false;
    if (std::isnan(latitude[b])) return true;
    return latitude[a] < latitude[b];
  });

  std::vector<Row> sorted;
  sorted.reserve(rows_.size());
  for (std::uint32_t i : order) sorted.push_back(rows_[i]);
  rows_.swap(sorted);
}

}  // namespace tabrino
