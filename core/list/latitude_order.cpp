#include "core/list/latitude_order.h"

#include "core/base/parallel.h"
#include "core/base/prefetch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tabrino {
namespace {

// Rows a run holds on average: their keys, twice over, fit the first levels
// of the cache, and a run is about the size of a block of the database.
constexpr std::size_t kRunRows = 2048;
// Rows a bucket within a run holds on average.
constexpr std::size_t kBucketRows = 4;
// Buckets this small are ranked without branches: where an insertion sort's
// comparisons come out as good as at random, each a mispredicted branch,
// counting the rows that go before each costs less.
constexpr std::size_t kRankedAtMost = 16;
// A run larger than this (a city's latitudes in a list of a country) is dealt
// into runs again, at most kMaxDeals times; past that it is sorted in place.
constexpr std::size_t kKeyedAtMost = std::size_t{1} << 16;
constexpr int kMaxDeals = 8;
constexpr std::size_t kReadAheadRows = 16;

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

double latitudeOfKey(std::uint64_t key) noexcept {
  const std::uint64_t bits = (key >> 63) ? key & ~(std::uint64_t{1} << 63) : ~key;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A monotone map of latitudes onto `count` slots, linear from lowest to
// highest, the end slots taking what lies beyond; NaN takes a slot of its
// own after them. Being monotone, sorting within slots completes the order.
class LatitudeSpread {
 public:
  LatitudeSpread(double lowest, double highest, std::size_t count) noexcept : count_(std::max<std::size_t>(count, 1)) {
    const double span = highest - lowest;
    if (count_ > 1 && span > 0 && std::isfinite(span)) {
      const double scale = static_cast<double>(count_) / span;
      if (std::isfinite(scale)) {
        origin_ = lowest;
        scale_ = scale;
      }
    }
  }
  // Whether the latitudes spread over more than one slot at all.
  bool spreads() const noexcept { return scale_ > 0; }
  std::size_t slots() const noexcept { return count_ + 1; }
  std::size_t of(double latitude) const noexcept {
    if (std::isnan(latitude)) return count_;
    const double t = (latitude - origin_) * scale_;
    if (!(t > 0)) return 0;
    if (t >= static_cast<double>(count_ - 1)) return count_ - 1;
    return static_cast<std::size_t>(t);
  }

 private:
  std::size_t count_;
  double origin_ = 0;
  double scale_ = 0;
};

// The lowest and highest finite latitude seen.
struct LatitudeRange {
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -std::numeric_limits<double>::infinity();
  void note(double latitude) noexcept {
    if (!std::isfinite(latitude)) return;
    lowest = std::min(lowest, latitude);
    highest = std::max(highest, latitude);
  }
};

struct Keyed {
  std::uint64_t key;
  std::uint32_t row;
  bool operator<(const Keyed& other) const noexcept { return key != other.key ? key < other.key : row < other.row; }
};

// Sorts runs one after another, on scratch room kept from run to run.
class RunSorter {
 public:
  RunSorter(const CameraRow* rows, std::uint32_t* order, std::size_t end) noexcept
      : rows_(rows), order_(order), end_(end) {}

  void sort(std::size_t first, std::size_t last, int deals) {
    const std::size_t count = last - first;
    if (count < 2) {
      if (count == 1) readAhead(first);
      return;
    }
    if (count <= kKeyedAtMost) {
      sortKeyed(first, last);
    } else if (deals < kMaxDeals) {
      dealAgain(first, last, deals);
    } else {
      std::sort(order_ + first, order_ + last, [this](std::uint32_t a, std::uint32_t b) {
        return Keyed{orderedKey(rows_[a].latitude), a} < Keyed{orderedKey(rows_[b].latitude), b};
      });
    }
  }

 private:
  // Rows are read in the order of the places, scattered in memory: the row
  // a few places ahead is asked for while this one is read.
  [[gnu::always_inline]] void readAhead(std::size_t place) const noexcept {
    if (place + kReadAheadRows < end_) prefetch(&rows_[order_[place + kReadAheadRows]]);
  }
  double latitudeAt(std::size_t place) const noexcept {
    readAhead(place);
    return rows_[order_[place]].latitude;
  }

  // Each row's place is the count of rows that go before it.
  static void rank(const Keyed* keyed, std::size_t count, std::uint32_t* out) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t before = 0;
      for (std::size_t j = 0; j < count; ++j) {
        before += static_cast<std::size_t>((keyed[j].key < keyed[i].key) |
                                           ((keyed[j].key == keyed[i].key) & (keyed[j].row < keyed[i].row)));
      }
      out[before] = keyed[i].row;
    }
  }

  void sortKeyed(std::size_t first, std::size_t last) {
    const std::size_t count = last - first;
    keyed_.resize(count);
    LatitudeRange range;
    for (std::size_t j = 0; j < count; ++j) {
      const double latitude = latitudeAt(first + j);
      range.note(latitude);
      keyed_[j] = {orderedKey(latitude), order_[first + j]};
    }
    if (count <= kRankedAtMost) {
      rank(keyed_.data(), count, order_ + first);
      return;
    }
    const LatitudeSpread spread(range.lowest, range.highest, count / kBucketRows);
    if (!spread.spreads()) {
      if (std::is_sorted(keyed_.begin(), keyed_.end())) return;
      std::sort(keyed_.begin(), keyed_.end());
      for (std::size_t j = 0; j < count; ++j) order_[first + j] = keyed_[j].row;
      return;
    }
    // Dealt into buckets of a few rows, each then ranked.
    counts_.assign(spread.slots() + 1, 0);
    for (const Keyed& k : keyed_) ++counts_[spread.of(latitudeOfKey(k.key)) + 1];
    for (std::size_t b = 1; b < counts_.size(); ++b) counts_[b] += counts_[b - 1];
    dealt_.resize(count);
    for (const Keyed& k : keyed_) dealt_[counts_[spread.of(latitudeOfKey(k.key))]++] = k;
    std::uint32_t* out = order_ + first;
    for (std::size_t from = 0, b = 0; from < count; ++b) {
      const std::size_t to = counts_[b];
      const std::size_t size = to - from;
      if (size == 1) {
        out[from] = dealt_[from].row;
      } else if (size <= kRankedAtMost) {
        rank(dealt_.data() + from, size, out + from);
      } else {
        std::sort(dealt_.begin() + static_cast<std::ptrdiff_t>(from), dealt_.begin() + static_cast<std::ptrdiff_t>(to));
        for (std::size_t j = from; j < to; ++j) out[j] = dealt_[j].row;
      }
      from = to;
    }
  }

  // Deals a large run's places into runs again, over its own range of
  // latitudes, keeping their order within each; then sorts each.
  void dealAgain(std::size_t first, std::size_t last, int deals) {
    const std::size_t count = last - first;
    LatitudeRange range;
    for (std::size_t place = first; place < last; ++place) range.note(latitudeAt(place));
    const LatitudeSpread spread(range.lowest, range.highest, count / kRunRows);
    if (!spread.spreads()) {
      sort(first, last, kMaxDeals);
      return;
    }
    std::vector<std::uint32_t> starts(spread.slots() + 1, 0);
    for (std::size_t place = first; place < last; ++place) ++starts[spread.of(latitudeAt(place)) + 1];
    for (std::size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
    std::vector<std::uint32_t> places(count);
    std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
    for (std::size_t place = first; place < last; ++place) {
      places[next[spread.of(latitudeAt(place))]++] = order_[place];
    }
    std::copy(places.begin(), places.end(), order_ + first);
    std::vector<std::uint32_t>().swap(places);
    for (std::size_t b = 0; b + 1 < starts.size(); ++b) sort(first + starts[b], first + starts[b + 1], deals + 1);
  }

  const CameraRow* rows_;
  std::uint32_t* order_;
  std::size_t end_;
  std::vector<Keyed> keyed_, dealt_;
  std::vector<std::uint32_t> counts_;
};

}  // namespace

RowPositions latitudeRuns(const CameraRow* rows, std::size_t count, double lowest, double highest,
                          RunStarts& starts) {
  if (count < 2) {
    RowPositions order(count);
    if (count == 1) order[0] = 0;
    starts.assign({0, static_cast<std::uint32_t>(count)});
    return order;
  }
  const LatitudeSpread spread(std::clamp(lowest, -kEdgeDegrees, kEdgeDegrees),
                              std::clamp(highest, -kEdgeDegrees, kEdgeDegrees), count / kRunRows);
  const std::size_t slots = spread.slots();
  const std::size_t half = count / 2;

  // Each half of the rows counts its rows per run; run r then takes places
  // [starts[r], starts[r + 1]), the first half's rows before the second's,
  // each in file order.
  RunStarts firstAt(slots + 1, 0), secondAt(slots + 1, 0);
  auto countRows = [&](RunStarts& counts, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) ++counts[spread.of(rows[i].latitude)];
  };
  inParallel([&] { countRows(firstAt, 0, half); }, [&] { countRows(secondAt, half, count); });
  std::uint32_t place = 0;
  for (std::size_t r = 0; r < slots; ++r) {
    const std::uint32_t inFirst = firstAt[r], inSecond = secondAt[r];
    firstAt[r] = place;
    secondAt[r] = place + inFirst;
    place += inFirst + inSecond;
  }
  RowPositions order(count);
  auto deal = [&](RunStarts& next, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) order[next[spread.of(rows[i].latitude)]++] = static_cast<std::uint32_t>(i);
  };
  inParallel([&] { deal(firstAt, 0, half); }, [&] { deal(secondAt, half, count); });
  // Each run's second half now ends where the next run starts: moved on by
  // one, those ends are the starts.
  std::memmove(secondAt.data() + 1, secondAt.data(), slots * sizeof(std::uint32_t));
  secondAt[0] = 0;
  starts.swap(secondAt);
  return order;
}

void sortLatitudeRuns(const CameraRow* rows, RowPositions& order, const RunStarts& starts, std::size_t firstRun,
                      std::size_t lastRun) {
  RunSorter sorter(rows, order.data(), starts[lastRun]);
  for (std::size_t r = firstRun; r < lastRun; ++r) sorter.sort(starts[r], starts[r + 1], 0);
}

}  // namespace tabrino
