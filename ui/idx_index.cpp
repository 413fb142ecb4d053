#include "ui/idx_index.h"

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

// A stable sort by key, sixteen bits at a time from the lowest, passing
// over the sixteen bits that all keys share (the zero bytes after a short
// IDX): a few passes over the entries, where a comparison sort of millions
// of near-alike keys makes many.
void IdxIndex::sortByKey(Entries& entries) {
  constexpr unsigned kDigitBits = 16;
  constexpr std::size_t kDigits = std::size_t{1} << kDigitBits;
  constexpr unsigned kPasses = (64 + kDigitBits - 1) / kDigitBits;
  // Every digit's counts in one read of the entries.
  std::vector<std::uint32_t> counts(kPasses * kDigits);
  for (const Entry& entry : entries) {
    for (unsigned pass = 0; pass < kPasses; ++pass) {
      ++counts[pass * kDigits + (static_cast<std::size_t>(entry.key >> (pass * kDigitBits)) & (kDigits - 1))];
    }
  }
  Entries moved;
  for (unsigned pass = 0; pass < kPasses; ++pass) {
    const unsigned shift = pass * kDigitBits;
    auto digitOf = [shift](const Entry& entry) { return static_cast<std::size_t>(entry.key >> shift) & (kDigits - 1); };
    std::uint32_t* next = counts.data() + pass * kDigits;
    if (next[digitOf(entries.front())] == entries.size()) continue;
    std::uint32_t start = 0;
    for (std::size_t digit = 0; digit < kDigits; ++digit) start += std::exchange(next[digit], start);
    if (moved.size() != entries.size()) moved.resize(entries.size());
    for (const Entry& entry : entries) moved[next[digitOf(entry)]++] = entry;
    entries.swap(moved);
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
  // Rows of one key stay in file order.
  sortByKey(entries);
  orderLongTies(table, entries);
  entries_ = std::move(entries);
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
  Entries().swap(entries_);
  std::vector<std::uint32_t>().swap(positions_);
}

std::optional<std::size_t> IdxIndex::find(const CameraTable& table, std::string_view prefix, std::size_t start,
                                          bool wrap, bool whole) const {
  if (prefix.empty()) return std::nullopt;
  // The entries whose IDX begins with the prefix: a run of keys for a short
  // one, a run of texts among the entries of one key for a long one.
  const std::uint64_t low = keyOf(prefix);
  const std::size_t known = std::min(prefix.size(), kKeyBytes);
  const std::uint64_t high = known == kKeyBytes ? low : low | (~std::uint64_t{0} >> (8 * known));
  auto first = std::lower_bound(entries_.begin(), entries_.end(), low,
                                [](const Entry& entry, std::uint64_t key) { return entry.key < key; });
  auto last = std::upper_bound(first, entries_.end(), high,
                               [](std::uint64_t key, const Entry& entry) { return key < entry.key; });
  auto idx = [&](const Entry& entry) { return table.cell(positionOf(entry), Column::Idx); };
  if (prefix.size() > kKeyBytes || (whole && prefix.size() == kKeyBytes)) {
    first = std::partition_point(first, last, [&](const Entry& entry) { return compareLowered(idx(entry), prefix) < 0; });
    last = std::partition_point(first, last, [&](const Entry& entry) { return startsWithLowered(idx(entry), prefix); });
  }
  // Shorter than eight bytes, a whole text is its key with zero bytes after it.
  if (whole && prefix.size() < kKeyBytes) {
    first = std::lower_bound(first, last, low, [](const Entry& entry, std::uint64_t key) { return entry.key < key; });
    last = std::upper_bound(first, last, low, [](std::uint64_t key, const Entry& entry) { return key < entry.key; });
  }
  std::optional<std::size_t> after, lowest;
  for (auto entry = first; entry != last; ++entry) {
    if (whole && prefix.size() >= kKeyBytes && compareLowered(idx(*entry), prefix) != 0) continue;
    const std::size_t row = positionOf(*entry);
    if (row >= start && (!after || row < *after)) after = row;
    if (!lowest || row < *lowest) lowest = row;
  }
  return after ? after : wrap ? lowest : std::nullopt;
}

}  // namespace tabrino
