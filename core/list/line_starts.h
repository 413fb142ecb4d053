// Where each row's line starts in its table's text, for a table that keeps
// its text: about a byte a row rather than a word. Rows lie in file order,
// so their starts only grow, and the line of one row mostly starts a few
// dozen bytes after the line of the row before: each start is kept as that
// step, with the whole offset of every 64th row (and of any row after a
// step too long for a byte) to add the steps to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tabrino {

class LineStarts {
 public:
  std::size_t size() const noexcept { return steps_.size(); }
  // Empties it, giving its memory back.
  void clear() noexcept;
  // Empties it, keeping its room for as many again.
  void emptyKeepingRoom() noexcept;
  void reserve(std::size_t rows);
  // The next row's start: at or after the last row's.
  void push(std::size_t offset);
  // The start of the row at `row`: a few dozen additions at most.
  std::size_t operator[](std::size_t row) const noexcept;
  // Keeps the rows but those at `removed` (ascending), in order.
  void remove(const std::vector<std::uint32_t>& removed);

  // The starts one after another from the first row, for a pass over all.
  class Reader {
   public:
    explicit Reader(const LineStarts& starts) noexcept : starts_(starts) {}
    std::size_t next() noexcept;

   private:
    const LineStarts& starts_;
    std::size_t row_ = 0;
    std::size_t far_ = 0;  // the next of starts_.far_ to meet
    std::size_t offset_ = 0;
  };

 private:
  static constexpr std::size_t kRowsPerWhole = 64;
  static constexpr std::uint8_t kFar = 0xFF;  // the step is too long: the start is in far_
  struct Far {
    std::size_t row;
    std::size_t offset;
  };
  std::size_t farStart(std::size_t row) const noexcept;

  std::vector<std::uint8_t> steps_;   // from the row before; 0 for a row whose start is whole
  std::vector<std::size_t> wholes_;   // the start of every kRowsPerWhole-th row
  std::vector<Far> far_;              // ascending by row
  std::size_t last_ = 0;
};

}  // namespace tabrino
