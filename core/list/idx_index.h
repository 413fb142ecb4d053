// Finds a table's rows by the start of their IDX without reading every row:
// the rows' IDX texts in order (ASCII letters in either case alike), each
// with its row. Built once for a table's order (seconds of work for millions
// of rows, done with the table's other work); a search is a binary search
// and a walk over the rows that match.
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
  // Indexes the table's rows at their present positions; the table must
  // keep its text. A table sorted or refilled needs a new index.
  void build(const CameraTable& table);
  void clear() noexcept;
  std::size_t size() const noexcept { return entries_.size(); }

  // The first row at or after `start` whose IDX begins with `prefix` (is
  // `prefix`, when `whole`), going on from the top when `wrap` and none
  // follows; nothing when no row matches. ASCII letters match in either case.
  // `table` is the one the index was built for.
  std::optional<std::size_t> find(const CameraTable& table, std::string_view prefix, std::size_t start, bool wrap,
                                  bool whole) const;

 private:
  struct Entry {
    std::uint64_t key;  // the IDX's first eight bytes, lower case, big-endian, padded with zero bytes
    std::uint32_t row;
  };
  std::vector<Entry> entries_;
};

}  // namespace tabrino
