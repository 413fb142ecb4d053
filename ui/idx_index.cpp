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
  auto idxOf = [&](std::uint32_t row, std::size_t most) {
    return table.cellStartInFileOrder(row, Column::Idx, most);
  };
  Entries entries(table.size());
  for (std::uint32_t row = 0; row < entries.size(); ++row) {
    char start[kKeyBytes];
    const std::size_t length = table.cellStartInFileOrder(row, Column::Idx, start, kKeyBytes);
    entries[row] = {keyOf(std::string_view(start, length)), row};
  }
  if (entries.empty()) return clear();
  // Rows of one key stay in file order.
  sortByKey(entries);
  // Texts that share their first eight bytes (all eight used) are ordered by
  // the rest, so that a longer prefix is found by a binary search too.
  for (auto first = entries.begin(); first != entries.end();) {
    auto last = first + 1;
    while (last != entries.end() && last->key == first->key) ++last;
    if (last - first > 1 && (first->key & 0xFF)) {
      std::stable_sort(first, last, [&](const Entry& a, const Entry& b) {
        return compareLowered(idxOf(a.row, std::string::npos), idxOf(b.row, std::string::npos)) < 0;
      });
    }
    first = last;
  }
  entries_ = std::move(entries);
  positions_.clear();
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
