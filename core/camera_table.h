// The one store of imported rows: seven text cells and a line-number tag per
// row. Cell text is kept byte for byte in a single arena so that a list of
// millions of rows costs two allocations, not one per cell.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tabrino {

enum class Column : std::size_t { Idx, X, Y, Type, Speed, DirType, Direction };

inline constexpr std::size_t kColumnCount = 7;
inline constexpr std::array<std::string_view, kColumnCount> kColumnTitles = {
    "IDX", "X", "Y", "TYPE", "SPEED", "DIRTYPE", "DIRECTION"};

class CameraTable {
 public:
  using Cells = std::array<std::string_view, kColumnCount>;

  void clear() noexcept;
  // Hint for the total bytes of cell text to come (a list file's size is a
  // close upper bound), so the arena is allocated once. Ignored when that
  // much memory cannot be had up front.
  void reserveText(std::uintmax_t bytes) noexcept;

  // Cells must not contain a zero byte: text stops at one.
  void appendRow(const Cells& cells, std::uint64_t tag);
  void eraseRow(std::size_t row);

  std::size_t size() const noexcept { return rows_.size(); }
  bool empty() const noexcept { return rows_.empty(); }
  // Empty text for a row that does not exist.
  std::string_view cell(std::size_t row, Column column) const noexcept;
  // All seven cells at once (one pass over the row's text).
  Cells rowCells(std::size_t row) const noexcept;
  // Hints that the row will be read soon: rows read in sorted order lie
  // scattered in memory, and waiting for each one dominates such a pass.
  void prefetchRow(std::size_t row) const noexcept {
#if defined(__GNUC__)
    if (row < rows_.size()) __builtin_prefetch(text_.data() + rows_[row].offset);
#else
    (void)row;
#endif
  }
  // The row's line in its file, counted from 0 (the header line).
  std::uint64_t tag(std::size_t row) const noexcept;

  // Puts rows in ascending latitude (the Y cell read as a number). Rows with
  // equal latitude keep their order, so one list always gives one file; a Y
  // that reads as NaN sorts after every other row.
  void sortByLatitude();

 private:
  struct Row {
    std::uint64_t offset;  // first byte of cell 0 in text_; each cell ends with '\0'
    std::uint64_t tag;
  };
  std::vector<char> text_;
  std::vector<Row> rows_;
};

}  // namespace tabrino
