// Finds a table's rows by the start of their IDX without reading every row:
// the rows in the order of their IDX texts (ASCII letters in either case
// alike), 4 bytes a row. Built once per list (seconds of work for millions
// of rows, done with the table's other work) and told when the table's
// order changes; a search is a binary search that reads the IDX of a few
// dozen rows, and a walk over the rows that match.
#pragma once

#include "core/list/camera_table.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tabrino {

class IdxIndex {
 public:
  // Indexes the table's rows; the table must keep its text. A table
  // refilled needs a new index.
  void build(const CameraTable& table);
  // The rows' part of build, which reads only their text, never the table's
  // order: it may run while the table is sorted on another thread, and
  // followOrder must come after it, before a search.
  void indexRows(const CameraTable& table);
  // Follows the table's rows to their present positions, after a sort:
  // linear work, against the build's sort.
  void followOrder(const CameraTable& table);
  void clear() noexcept;
  std::size_t size() const noexcept { return rows_.size(); }

  // The first row at or after `start` whose IDX begins with `prefix` (is
  // `prefix`, when `whole`), going on from the top when `wrap` and none
  // follows; nothing when no row matches. ASCII letters match in either case.
  // `table` is the one the index was built for.
  std::optional<std::size_t> find(const CameraTable& table, std::string_view prefix, std::size_t start, bool wrap,
                                  bool whole) const;

 private:
  // What the build sorts, 12 bytes a row while it lasts: the rows' order is
  // all that is kept of it.
#pragma pack(push, 4)
  struct Entry {
    std::uint64_t key;  // the IDX's first eight bytes, lower case, big-endian, padded with zero bytes
    std::uint32_t row;  // the row's place in file order
  };
#pragma pack(pop)
  static_assert(sizeof(Entry) == 12);
  // Written whole before they are read: not zeroed first.
  using Entries = std::vector<Entry, UninitialisedAllocator<Entry>>;
  // Sorts [first, last) from the key's byte `byte` (7: the first) down; the
  // parts of the first split are shared out between two threads.
  static void sortByKey(Entry* first, Entry* last, int byte, bool twoThreads);
  static void orderLongTies(const CameraTable& table, Entries& entries);
  std::size_t positionOf(std::uint32_t row) const noexcept { return positions_.empty() ? row : positions_[row]; }
  std::vector<std::uint32_t> rows_;       // in the order of their IDX, rows of one IDX in file order
  std::vector<std::uint32_t> positions_;  // each file-order row's position; empty for file order
};

}  // namespace tabrino
