#include "ui/idx_index.h"

#include "core/base/parallel.h"

#include <algorithm>
#include <string>
#include <utility>

namespace tabrino {
namespace {

constexpr std::size_t kKeyBytes = 8;

unsigned char lowerAscii(unsigned char byte) noexcept {
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

std::uint64_t keyOf(std::string_view text) noexcept {
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < kKeyBytes; ++i) {
    key = (key << 8) | (i < text.size() ? lowerAscii(static_cast<unsigned char>(text[i])) : 0u);
  }
  return key;
}

// Compares in the index's order: byte by byte, ASCII letters lowered.
int compareLowered(std::string_view a, std::string_view b) noexcept {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = lowerAscii(static_cast<unsigned char>(a[i]));
    const unsigned char y = lowerAscii(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool startsWithLowered(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && compareLowered(text.substr(0, prefix.size()), prefix) == 0;
}

}  // namespace

// Sorts by key, rows of one key in file order, in place: millions of
// entries are not held twice. Most significant byte first (American flag
// sort): each byte deals the entries into 256 parts by swapping each
// straight into its part, then each part is sorted on the next byte; a part
// of a few entries is sorted by comparison.
void IdxIndex::sortByKey(Entry* first, Entry* last, int byte, bool twoThreads) {
  constexpr std::ptrdiff_t kComparedAtMost = 32;
  auto byKeyThenRow = [](const Entry& a, const Entry& b) { return a.key != b.key ? a.key < b.key : a.row < b.row; };
  for (;;) {
    if (last - first <= kComparedAtMost || byte < 0) {
      std::sort(first, last, byKeyThenRow);  // past the last byte, the keys are equal: by row
      return;
    }
    const unsigned shift = 8 * static_cast<unsigned>(byte);
    auto digit = [shift](const Entry& entry) { return static_cast<std::size_t>(entry.key >> shift) & 0xFF; };
    std::size_t ends[256] = {}, heads[256];
    for (const Entry* entry = first; entry != last; ++entry) ++ends[digit(*entry)];
    if (ends[digit(*first)] == static_cast<std::size_t>(last - first)) {  // one part: the next byte
      --byte;
      continue;
    }
    for (std::size_t d = 0, at = 0; d < 256; ++d) {
      heads[d] = at;
      at += ends[d];
      ends[d] = at;
    }
    for (std::size_t d = 0; d < 256; ++d) {
      while (heads[d] < ends[d]) {
        Entry entry = first[heads[d]];
        for (std::size_t to = digit(entry); to != d; to = digit(entry)) std::swap(entry, first[heads[to]++]);
        first[heads[d]++] = entry;
      }
    }
    auto sortParts = [&](std::size_t fromPart, std::size_t toPart) {
      for (std::size_t d = fromPart, from = fromPart == 0 ? 0 : ends[fromPart - 1]; d < toPart; from = ends[d], ++d) {
        if (ends[d] - from > 1) sortByKey(first + from, first + ends[d], byte - 1, false);
      }
    };
    constexpr std::ptrdiff_t kSharedAtLeast = 1 << 16;  // fewer are sorted sooner than a thread starts
    if (!twoThreads || last - first < kSharedAtLeast) {
      sortParts(0, 256);
      return;
    }
    // The parts split in two halves by their entries, one on each thread.
    std::size_t middle = 0;
    while (middle < 256 && ends[middle] < static_cast<std::size_t>(last - first) / 2) ++middle;
    inParallel([&] { sortParts(0, middle); }, [&] { sortParts(middle, 256); });
    return;
  }
}

void IdxIndex::build(const CameraTable& table) {
  indexRows(table);
  followOrder(table);
}

void IdxIndex::indexRows(const CameraTable& table) {
  Entries entries(table.size());
  table.forEachCellInFileOrder(Column::Idx, kKeyBytes, [&entries](std::size_t row, std::string_view start) {
    entries[row] = {keyOf(start), static_cast<std::uint32_t>(row)};
  });
  if (entries.empty()) return clear();
  sortByKey(entries.data(), entries.data() + entries.size(), 7, true);
  orderLongTies(table, entries);
  std::vector<std::uint32_t> rows(entries.size());
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = entries[i].row;
  rows_ = std::move(rows);
  positions_.clear();
}

// Texts that share their first eight bytes (all eight used) are ordered by
// the rest, so that a longer prefix is found by a binary search too. Their
// texts are read in one more pass over the list, in file order, since the
// cells of a list kept on disk are read a block at a time.
void IdxIndex::orderLongTies(const CameraTable& table, Entries& entries) {
  std::vector<std::uint32_t> tiedRows;  // ascending
  auto groupEnd = [&entries](Entries::iterator first) {
    auto last = first + 1;
    while (last != entries.end() && last->key == first->key) ++last;
    return last;
  };
  for (auto first = entries.begin(); first != entries.end();) {
    const auto last = groupEnd(first);
    if (last - first > 1 && (first->key & 0xFF)) {
      for (auto entry = first; entry != last; ++entry) tiedRows.push_back(entry->row);
    }
    first = last;
  }
  if (tiedRows.empty()) return;
  std::sort(tiedRows.begin(), tiedRows.end());
  // Each tied row's text after its first eight bytes, one after another.
  std::string rests;
  std::vector<std::size_t> restStarts{0};
  restStarts.reserve(tiedRows.size() + 1);
  auto next = tiedRows.begin();
  table.forEachCellInFileOrder(Column::Idx, std::string::npos, [&](std::size_t row, std::string_view idx) {
    if (next == tiedRows.end() || *next != row) return;
    ++next;
    rests.append(idx.substr(std::min(idx.size(), kKeyBytes)));
    restStarts.push_back(rests.size());
  });
  if (next != tiedRows.end()) return;  // the text held fewer rows: leave the order by key
  auto restOf = [&](std::uint32_t row) {
    const auto slot = static_cast<std::size_t>(std::lower_bound(tiedRows.begin(), tiedRows.end(), row) - tiedRows.begin());
    return std::string_view(rests).substr(restStarts[slot], restStarts[slot + 1] - restStarts[slot]);
  };
  for (auto first = entries.begin(); first != entries.end();) {
    const auto last = groupEnd(first);
    if (last - first > 1 && (first->key & 0xFF)) {
      std::stable_sort(first, last, [&](const Entry& a, const Entry& b) {
        return compareLowered(restOf(a.row), restOf(b.row)) < 0;
      });
    }
    first = last;
  }
}

void IdxIndex::followOrder(const CameraTable& table) {
  std::vector<std::uint32_t> positions;
  for (std::size_t position = 0; position < table.size(); ++position) {
    if (positions.empty() && table.fileIndex(position) == position) continue;
    if (positions.empty()) {  // the first row out of file order: the rest are mapped too
      positions.resize(table.size());
      for (std::size_t before = 0; before < position; ++before) positions[before] = static_cast<std::uint32_t>(before);
    }
    positions[table.fileIndex(position)] = static_cast<std::uint32_t>(position);
  }
  positions_ = std::move(positions);
}

void IdxIndex::clear() noexcept {
  std::vector<std::uint32_t>().swap(rows_);
  std::vector<std::uint32_t>().swap(positions_);
}

std::optional<std::size_t> IdxIndex::find(const CameraTable& table, std::string_view prefix, std::size_t start,
                                          bool wrap, bool whole) const {
  if (prefix.empty()) return std::nullopt;
  // The rows whose IDX begins with the prefix are a run of the order, those
  // whose IDX is the prefix at its start.
  auto idx = [&table](std::uint32_t row) { return table.cellInFileOrder(row, Column::Idx); };
  const KeptText::Session reading(table.text());  // a list on disk opened once for the search
  auto first = std::partition_point(rows_.begin(), rows_.end(),
                                    [&](std::uint32_t row) { return compareLowered(idx(row), prefix) < 0; });
  auto last = std::partition_point(first, rows_.end(),
                                   [&](std::uint32_t row) { return startsWithLowered(idx(row), prefix); });
  if (whole) {
    last = std::partition_point(first, last, [&](std::uint32_t row) { return compareLowered(idx(row), prefix) == 0; });
  }
  std::optional<std::size_t> after, lowest;
  for (auto row = first; row != last; ++row) {
    const std::size_t position = positionOf(*row);
    if (position >= start && (!after || position < *after)) after = position;
    if (!lowest || position < *lowest) lowest = position;
  }
  return after ? after : wrap ? lowest : std::nullopt;
}

}  // namespace tabrino
