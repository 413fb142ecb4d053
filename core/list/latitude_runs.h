// What both ways of putting rows in latitude order share (see
// latitude_order.h): the map of latitudes onto runs and their fractions, and
// the sort of a run's entries in the cache.
#pragma once

#include "core/base/prefetch.h"
#include "core/list/camera_table.h"
#include "core/list/latitude_order.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace tabrino {

// Rows a run holds on average: its copy, twice over, fits the first levels
// of the cache.
inline constexpr std::size_t kRunRows = 2048;
// Rows a bucket within a run holds on average.
inline constexpr std::size_t kBucketRows = 4;
// Buckets this small are ranked without branches: where an insertion sort's
// comparisons come out as good as at random, each a mispredicted branch,
// counting the entries that go before each costs less.
inline constexpr std::size_t kRankedAtMost = 16;
// A run larger than this (a city in a list of a country, or a list of one
// latitude) is first split in place by its fractions' leading bits.
inline constexpr std::size_t kCopiedAtMost = std::size_t{1} << 16;
inline constexpr double kFractionScale = 4294967296.0;  // 2^32
// Latitudes beyond this many degrees (rows out of range) go to the end runs.
inline constexpr double kEdgeDegrees = 1000.0;

// Maps a double to an unsigned integer with the same order (-0 equal to 0,
// NaN above all).
inline std::uint64_t orderedKey(double value) noexcept {
  if (std::isnan(value)) return std::numeric_limits<std::uint64_t>::max();
  if (value == 0.0) value = 0.0;
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
}

// A monotone map of latitudes onto `count` runs, linear from lowest to
// highest, the end runs taking what lies beyond; NaN takes a run of its own
// after them. Each latitude also gets its fraction of its run's span, which
// is monotone within the run: run and fraction together never put a lower
// latitude after a higher one, though close latitudes may share both.
class LatitudeSpread {
 public:
  LatitudeSpread(double lowest, double highest, std::size_t count) noexcept : count_(std::max<std::size_t>(count, 1)) {
    const double span = highest - lowest;
    if (span > 0 && std::isfinite(span)) {
      const double scale = static_cast<double>(count_) / span;
      if (std::isfinite(scale)) {
        origin_ = lowest;
        scale_ = scale;
      }
    }
  }
  std::size_t runs() const noexcept { return count_ + 1; }

  // A fraction of a run's span in 32 bits; its leading 16 are the
  // fraction in 16 (the part below 1, scaled by a power of two, is exact).
  struct Place {
    std::size_t run;
    std::uint32_t fraction;
  };
  Place of(double latitude) const noexcept {
    if (std::isnan(latitude)) return {count_, 0};
    const double t = (latitude - origin_) * scale_;
    if (!(t > 0)) return {0, 0};
    const double last = static_cast<double>(count_ - 1);
    if (t >= last) {
      const double beyond = t - last;
      return {count_ - 1, beyond < 1 ? static_cast<std::uint32_t>(beyond * kFractionScale) : std::uint32_t{0xFFFFFFFF}};
    }
    const auto run = static_cast<std::size_t>(t);
    // Below 1 and scaled by a power of two, so below 2^32.
    return {run, static_cast<std::uint32_t>((t - static_cast<double>(run)) * kFractionScale)};
  }

 private:
  std::size_t count_;
  double origin_ = 0;
  double scale_ = 0;
};

// Sorts runs one after another, on scratch room kept from run to run. An
// entry is a place's fraction above its row: entries compare as the sort
// wants, fraction first, then file order.
template <typename Fraction>
class RunSorter {
 public:
  static constexpr unsigned kFractionBits = 8 * sizeof(Fraction);

  RunSorter(const CameraRow* rows, std::uint32_t* order, Fraction* fractions) noexcept
      : rows_(rows), order_(order), fractions_(fractions) {}

  void sort(std::size_t first, std::size_t last, unsigned bitsLeft = kFractionBits) {
    const std::size_t count = last - first;
    if (count < 2) return;
    if (count <= kCopiedAtMost) {
      sortCopy(first, last);
      return;
    }
    // Leading bits that every fraction shares split nothing: a list of one
    // latitude would be passed over once for each byte of them.
    Fraction differing = 0;
    for (std::size_t place = first + 1; place < last; ++place) {
      differing = static_cast<Fraction>(differing | (fractions_[place] ^ fractions_[first]));
    }
    while (bitsLeft > 0 && (differing >> (bitsLeft - 8)) == 0) bitsLeft -= 8;
    if (bitsLeft > 0) {
      splitInPlace(first, last, bitsLeft);
    } else {
      sortByRows(first, last);  // every fraction equal
    }
  }

  // Room for a run's entries, to be given to sortEntries.
  std::uint64_t* entries(std::size_t count) {
    entries_.resize(count);
    return entries_.data();
  }
  // Sorts the first `count` entries and puts their rows at [first, first + count),
  // but for rows that share a fraction: those are put in order at the next
  // call, or by settleTies once the last run is sorted.
  void sortEntries(std::size_t first, std::size_t count) {
    sorted_.resize(count);
    if (count <= kRankedAtMost) {
      rank(entries_.data(), count, sorted_.data());
    } else {
      dealIntoBuckets(count);
    }
    for (std::size_t j = 0; j < count; ++j) order_[first + j] = rowOf(sorted_[j]);
    ties_.swap(settling_);
    askForTies(first, count);
    settle(settling_);
  }
  void settleTies() { settle(ties_); }

 private:
  struct Keyed {
    std::uint64_t key;
    std::uint32_t row;
    bool operator<(const Keyed& other) const noexcept { return key != other.key ? key < other.key : row < other.row; }
  };

  static std::uint32_t rowOf(std::uint64_t entry) noexcept { return static_cast<std::uint32_t>(entry); }
  static std::uint32_t fractionOf(std::uint64_t entry) noexcept { return static_cast<std::uint32_t>(entry >> 32); }

  // Each entry's place is the count of entries that go before it.
  static void rank(const std::uint64_t* entries, std::size_t count, std::uint64_t* out) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t before = 0;
      for (std::size_t j = 0; j < count; ++j) before += static_cast<std::size_t>(entries[j] < entries[i]);
      out[before] = entries[i];
    }
  }

  void sortCopy(std::size_t first, std::size_t last) {
    const std::size_t count = last - first;
    std::uint64_t* out = entries(count);
    for (std::size_t j = 0; j < count; ++j) out[j] = (std::uint64_t{fractions_[first + j]} << 32) | order_[first + j];
    sortEntries(first, count);
  }

  // entries_ dealt into sorted_ by their fractions' leading bits, a few
  // entries a bucket, then each bucket put in order.
  void dealIntoBuckets(std::size_t count) {
    unsigned bits = 1;
    while (bits < kFractionBits && (std::size_t{1} << bits) * kBucketRows < count) ++bits;
    const unsigned shift = kFractionBits - bits;
    counts_.assign((std::size_t{1} << bits) + 1, 0);
    for (const std::uint64_t entry : entries_) ++counts_[(fractionOf(entry) >> shift) + 1];
    for (std::size_t b = 1; b < counts_.size(); ++b) counts_[b] += counts_[b - 1];
    for (const std::uint64_t entry : entries_) sorted_[counts_[fractionOf(entry) >> shift]++] = entry;
    // counts_[b] is now where bucket b ends.
    std::uint64_t bucket[kRankedAtMost];
    for (std::size_t from = 0, b = 0; from < count; ++b) {
      const std::size_t to = counts_[b];
      const std::size_t size = to - from;
      if (size > kRankedAtMost) {
        std::sort(sorted_.begin() + static_cast<std::ptrdiff_t>(from), sorted_.begin() + static_cast<std::ptrdiff_t>(to));
      } else if (size > 1) {
        std::copy(sorted_.begin() + static_cast<std::ptrdiff_t>(from), sorted_.begin() + static_cast<std::ptrdiff_t>(to),
                  bucket);
        rank(bucket, size, sorted_.data() + from);
      }
      from = to;
    }
  }

  // Rows that share a fraction lie within a hair's breadth of each other,
  // mostly at one latitude: their own latitudes order them. Those rows lie
  // scattered over memory, and the more rows a list has, the more of them
  // share a latitude: each run's are asked for as it is sorted and read
  // once the next run is, so that their waits overlap that run's work and
  // each other rather than follow one another.
  void askForTies(std::size_t first, std::size_t count) {
    for (std::size_t from = 0; from + 1 < count;) {
      std::size_t to = from + 1;
      while (to < count && fractionOf(sorted_[to]) == fractionOf(sorted_[from])) ++to;
      if (to - from > 1) {
        ties_.push_back({first + from, first + to});
        for (std::size_t j = from; j < to; ++j) prefetch(&rows_[rowOf(sorted_[j])]);
      }
      from = to;
    }
  }
  void settle(std::vector<std::pair<std::size_t, std::size_t>>& ties) {
    for (const auto& [from, to] : ties) sortByRows(from, to);
    ties.clear();
  }

  // Places in exact order of their rows' latitudes, ties in file order.
  // Mostly they are already: rows of one latitude, in file order.
  void sortByRows(std::size_t first, std::size_t last) {
    if (last - first > kCopiedAtMost) {
      // Sorted in place: a copy of a list of one latitude would be a copy
      // of the list.
      auto before = [this](std::uint32_t a, std::uint32_t b) {
        return Keyed{orderedKey(rows_[a].latitude), a} < Keyed{orderedKey(rows_[b].latitude), b};
      };
      if (!std::is_sorted(order_ + first, order_ + last, before)) std::sort(order_ + first, order_ + last, before);
      return;
    }
    tied_.clear();
    for (std::size_t place = first; place < last; ++place) {
      tied_.push_back({orderedKey(rows_[order_[place]].latitude), order_[place]});
    }
    if (std::is_sorted(tied_.begin(), tied_.end())) return;
    std::sort(tied_.begin(), tied_.end());
    for (std::size_t place = first; place < last; ++place) order_[place] = tied_[place - first].row;
  }

  // Splits a large run in place by the next 8 bits of its fractions, most
  // significant first, then sorts each part.
  void splitInPlace(std::size_t first, std::size_t last, unsigned bitsLeft) {
    const unsigned shift = bitsLeft - 8;
    auto digit = [shift](Fraction fraction) {
      return static_cast<std::size_t>((std::uint32_t{fraction} >> shift) & 0xFFu);
    };
    std::size_t ends[256] = {}, heads[256];
    for (std::size_t place = first; place < last; ++place) ++ends[digit(fractions_[place])];
    for (std::size_t d = 0, at = first; d < 256; ++d) {
      heads[d] = at;
      at += ends[d];
      ends[d] = at;
    }
    // Each entry is swapped straight into its part (American flag sort).
    for (std::size_t d = 0; d < 256; ++d) {
      while (heads[d] < ends[d]) {
        std::uint32_t row = order_[heads[d]];
        Fraction fraction = fractions_[heads[d]];
        for (std::size_t to = digit(fraction); to != d; to = digit(fraction)) {
          std::swap(row, order_[heads[to]]);
          std::swap(fraction, fractions_[heads[to]]);
          ++heads[to];
        }
        order_[heads[d]] = row;
        fractions_[heads[d]] = fraction;
        ++heads[d];
      }
    }
    for (std::size_t d = 0, from = first; d < 256; from = ends[d], ++d) sort(from, ends[d], shift);
  }

  const CameraRow* rows_;
  std::uint32_t* order_;
  Fraction* fractions_;
  std::vector<std::uint64_t> entries_, sorted_;
  std::vector<std::uint32_t> counts_;
  std::vector<Keyed> tied_;
  // Places [from, to) of rows that share a fraction: the last run's, and
  // while they are put in order, the run's before.
  std::vector<std::pair<std::size_t, std::size_t>> ties_, settling_;
};

// The first run of the second half of the rows: the two threads that sort
// runs take a half each.
inline std::size_t halfwayRun(const RunStarts& starts) {
  const auto half = starts.back() / 2;
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), half) - starts.begin()) - 1;
}


}  // namespace tabrino
