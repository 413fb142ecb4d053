#include "core/list/latitude_order.h"

#include "core/base/parallel.h"
#include "core/base/prefetch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tabrino {
namespace {

// Rows a run holds on average: its copy, twice over, fits the first levels
// of the cache.
constexpr std::size_t kRunRows = 2048;
// Rows a bucket within a run holds on average.
constexpr std::size_t kBucketRows = 4;
// Buckets this small are ranked without branches: where an insertion sort's
// comparisons come out as good as at random, each a mispredicted branch,
// counting the entries that go before each costs less.
constexpr std::size_t kRankedAtMost = 16;
// A run larger than this (a city in a list of a country, or a list of one
// latitude) is first split in place by its fractions' leading bits.
constexpr std::size_t kCopiedAtMost = std::size_t{1} << 16;
constexpr double kFractionScale = 4294967296.0;  // 2^32
// Latitudes beyond this many degrees (rows out of range) go to the end runs.
constexpr double kEdgeDegrees = 1000.0;

// Maps a double to an unsigned integer with the same order (-0 equal to 0,
// NaN above all).
std::uint64_t orderedKey(double value) noexcept {
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
    } else if (bitsLeft > 0) {
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
  // Sorts the first `count` entries and puts their rows at [first, first + count).
  void sortEntries(std::size_t first, std::size_t count) {
    sorted_.resize(count);
    if (count <= kRankedAtMost) {
      rank(entries_.data(), count, sorted_.data());
    } else {
      dealIntoBuckets(count);
    }
    for (std::size_t j = 0; j < count; ++j) order_[first + j] = rowOf(sorted_[j]);
    orderTies(first, count);
  }

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
  // share a latitude: all are asked for before the first is read, so that
  // their waits overlap rather than follow one another.
  void orderTies(std::size_t first, std::size_t count) {
    for (std::size_t j = 1; j < count; ++j) {
      if (fractionOf(sorted_[j]) == fractionOf(sorted_[j - 1])) {
        prefetch(&rows_[rowOf(sorted_[j - 1])]);
        prefetch(&rows_[rowOf(sorted_[j])]);
      }
    }
    for (std::size_t from = 0; from + 1 < count;) {
      std::size_t to = from + 1;
      while (to < count && fractionOf(sorted_[to]) == fractionOf(sorted_[from])) ++to;
      if (to - from > 1) sortByRows(first + from, first + to);
      from = to;
    }
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
};

// The first run of the second half of the rows: the two threads that sort
// runs take a half each.
std::size_t halfwayRun(const RunStarts& starts) {
  const auto half = starts.back() / 2;
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), half) - starts.begin()) - 1;
}

}  // namespace

LatitudeRuns dealLatitudeRuns(const CameraRow* rows, std::size_t count, double lowest, double highest) {
  LatitudeRuns runs;
  if (count < 2) {
    runs.order.resize(count);
    runs.fractions.resize(count);
    if (count == 1) runs.order[0] = runs.fractions[0] = 0;
    runs.starts.assign({0, static_cast<std::uint32_t>(count)});
    return runs;
  }
  const LatitudeSpread spread(std::clamp(lowest, -kEdgeDegrees, kEdgeDegrees),
                              std::clamp(highest, -kEdgeDegrees, kEdgeDegrees), count / kRunRows);
  const std::size_t slots = spread.runs();
  const std::size_t half = count / 2;

  // Each half of the rows counts its rows per run; run r then takes places
  // [starts[r], starts[r + 1]), the first half's rows before the second's,
  // each in file order.
  RunStarts firstAt(slots + 1, 0), secondAt(slots + 1, 0);
  auto countRows = [&](RunStarts& counts, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) ++counts[spread.of(rows[i].latitude).run];
  };
  inParallel([&] { countRows(firstAt, 0, half); }, [&] { countRows(secondAt, half, count); });
  std::uint32_t place = 0;
  for (std::size_t r = 0; r < slots; ++r) {
    const std::uint32_t inFirst = firstAt[r], inSecond = secondAt[r];
    firstAt[r] = place;
    secondAt[r] = place + inFirst;
    place += inFirst + inSecond;
  }
  runs.order.resize(count);
  runs.fractions.resize(count);
  auto deal = [&](RunStarts& next, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      const LatitudeSpread::Place at = spread.of(rows[i].latitude);
      const std::uint32_t p = next[at.run]++;
      runs.order[p] = static_cast<std::uint32_t>(i);
      runs.fractions[p] = static_cast<std::uint16_t>(at.fraction >> 16);
    }
  };
  inParallel([&] { deal(firstAt, 0, half); }, [&] { deal(secondAt, half, count); });
  // Each run's second half now ends where the next run starts: moved on by
  // one, those ends are the starts.
  std::memmove(secondAt.data() + 1, secondAt.data(), slots * sizeof(std::uint32_t));
  secondAt[0] = 0;
  runs.starts.swap(secondAt);
  return runs;
}

void sortLatitudeRuns(const CameraRow* rows, RowPositions& order, RunFractions& fractions, const RunStarts& starts,
                      std::size_t firstRun, std::size_t lastRun) {
  RunSorter<std::uint16_t> sorter(rows, order.data(), fractions.data());
  for (std::size_t r = firstRun; r < lastRun; ++r) sorter.sort(starts[r], starts[r + 1]);
}

namespace {

// Entries a block holds: each run's entries lie in a chain of blocks.
constexpr std::size_t kBlockEntries = 64;

// One thread's share of the rows dealt into runs without counting them
// first: each run writes its entries (fraction above row, as RunSorter
// takes them) into a block of its own, and takes a fresh block from the pool
// as one fills. Every run starts with a block, and takes the next as soon
// as one is full, so the pool holds the rows' blocks and two per run.
class BlockDeal {
 public:
  BlockDeal(std::size_t rows, std::size_t runs)
      : pool_((rows / kBlockEntries + 2 * runs + 1) * kBlockEntries), next_(runs), links_(pool_.size() / kBlockEntries),
        free_(static_cast<std::uint32_t>(runs)) {
    for (std::size_t r = 0; r < runs; ++r) next_[r] = static_cast<std::uint32_t>(r * kBlockEntries);
  }
  // The pool's entries are counted in 32 bits.
  static bool fits(std::size_t rows, std::size_t runs) noexcept {
    return rows / kBlockEntries + 2 * runs + 1 <= std::numeric_limits<std::uint32_t>::max() / kBlockEntries;
  }

  void deal(const CameraRow* rows, std::size_t from, std::size_t to, const LatitudeSpread& spread) noexcept {
    for (std::size_t i = from; i < to; ++i) {
      const LatitudeSpread::Place at = spread.of(rows[i].latitude);
      std::uint32_t& next = next_[at.run];
      pool_[next++] = (std::uint64_t{at.fraction} << 32) | static_cast<std::uint32_t>(i);
      if (next % kBlockEntries == 0) {
        links_[next / kBlockEntries - 1] = free_;
        next = free_++ * static_cast<std::uint32_t>(kBlockEntries);
      }
    }
  }

  std::size_t rowsIn(std::size_t run) const noexcept {
    std::size_t rows = 0;
    for (std::size_t block = run; block != next_[run] / kBlockEntries; block = links_[block]) rows += kBlockEntries;
    return rows + next_[run] % kBlockEntries;
  }
  // Copies the run's entries, in the order dealt, to `out`; returns where they end.
  std::uint64_t* copyRun(std::size_t run, std::uint64_t* out) const noexcept {
    const std::size_t last = next_[run] / kBlockEntries;
    std::size_t block = run;
    for (; block != last; block = links_[block]) {
      out = std::copy_n(pool_.data() + block * kBlockEntries, kBlockEntries, out);
    }
    return std::copy_n(pool_.data() + block * kBlockEntries, next_[run] % kBlockEntries, out);
  }

 private:
  std::vector<std::uint64_t, UninitialisedAllocator<std::uint64_t>> pool_;
  std::vector<std::uint32_t> next_;   // where each run writes its next entry
  std::vector<std::uint32_t> links_;  // the block that follows each full block of a run
  std::uint32_t free_;                // the pool's first block not taken
};

// Sorts the runs [firstRun, lastRun) of the two halves' deals into `order`.
void sortDealtRuns(const CameraRow* rows, const BlockDeal& first, const BlockDeal& second, const RunStarts& starts,
                   RowPositions& order, std::size_t firstRun, std::size_t lastRun) {
  RunSorter<std::uint32_t> sorter(rows, order.data(), nullptr);
  std::vector<std::uint32_t, UninitialisedAllocator<std::uint32_t>> fractions;
  for (std::size_t r = firstRun; r < lastRun; ++r) {
    const std::size_t count = starts[r + 1] - starts[r];
    std::uint64_t* entries = sorter.entries(count);
    second.copyRun(r, first.copyRun(r, entries));
    if (count <= kCopiedAtMost) {
      sorter.sortEntries(starts[r], count);
      continue;
    }
    // A crowded run is split in place, as a counted deal's run is.
    fractions.resize(count);
    for (std::size_t j = 0; j < count; ++j) {
      order[starts[r] + j] = static_cast<std::uint32_t>(entries[j]);
      fractions[j] = static_cast<std::uint32_t>(entries[j] >> 32);
    }
    RunSorter<std::uint32_t>(rows, order.data() + starts[r], fractions.data()).sort(0, count);
  }
}

// The rows dealt into blocks by two threads, then each thread sorts the
// runs of half the rows.
RowPositions blockDealtOrder(const CameraRow* rows, std::size_t count, const LatitudeSpread& spread) {
  const std::size_t half = count / 2;
  BlockDeal first(half, spread.runs()), second(count - half, spread.runs());
  inParallel([&] { first.deal(rows, 0, half, spread); }, [&] { second.deal(rows, half, count, spread); });
  RunStarts starts(spread.runs() + 1, 0);
  for (std::size_t r = 0; r < spread.runs(); ++r) {
    starts[r + 1] = starts[r] + static_cast<std::uint32_t>(first.rowsIn(r) + second.rowsIn(r));
  }
  RowPositions order(count);
  const std::size_t middle = halfwayRun(starts);
  inParallel([&] { sortDealtRuns(rows, first, second, starts, order, 0, middle); },
             [&] { sortDealtRuns(rows, first, second, starts, order, middle, spread.runs()); });
  return order;
}

}  // namespace

RowPositions latitudeOrder(const CameraRow* rows, std::size_t count, double lowest, double highest,
                           std::size_t blockDealtFrom) {
  const LatitudeSpread spread(std::clamp(lowest, -kEdgeDegrees, kEdgeDegrees),
                              std::clamp(highest, -kEdgeDegrees, kEdgeDegrees), count / kRunRows);
  if (count >= std::max<std::size_t>(blockDealtFrom, 2) && BlockDeal::fits(count, spread.runs())) {
    return blockDealtOrder(rows, count, spread);
  }
  LatitudeRuns runs = dealLatitudeRuns(rows, count, lowest, highest);
  const std::size_t middle = halfwayRun(runs.starts);
  inParallel([&] { sortLatitudeRuns(rows, runs.order, runs.fractions, runs.starts, 0, middle); },
             [&] { sortLatitudeRuns(rows, runs.order, runs.fractions, runs.starts, middle, runs.starts.size() - 1); });
  return std::move(runs.order);
}

}  // namespace tabrino
