#include "core/check/duplicates.h"

#include "core/base/parallel.h"
#include "core/base/prefetch.h"
#include "core/list/finding_spool.h"
#include "core/model/earth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tabrino {
namespace {

constexpr double kRadiansPerUnit = kPi / 180.0 / kCoordinateScale;
constexpr double kMetresPerUnit = kEarthRadiusMetres * kRadiansPerUnit;  // of latitude, about 11.1
constexpr std::int64_t kLongitudeTurn = 2 * std::int64_t{kMaxLongitude};

// A row that becomes a record, as the search needs it. Its key orders the
// rows of a band by direction, then longitude, then latitude, so that the
// rows of one camera lie together, those of one direction in columns of one
// longitude, and a column in order of latitude:
//   bits 48-63  direction type and code
//   bits 24-47  longitude + kLongitudeBias
//   bits 0-23   latitude above the band's lowest
// Once a band's repeats are found, an entry stands for its camera: the
// earliest row of it in the list, the one a near copy names.
struct Entry {
  std::uint64_t key;
  std::uint32_t fileIndex;
  std::uint32_t position;
};
static_assert(sizeof(Entry) == 16, "a band may hold millions of rows");

constexpr std::int64_t kLongitudeBias = std::int64_t{1} << 22;
static_assert(kLongitudeBias > kMaxLongitude, "a longitude stays inside its 24 bits");
constexpr std::uint64_t kDirectionBits = 0xFFFF000000000000u;

std::uint64_t directionKey(std::uint8_t directionType, std::uint8_t directionCode) noexcept {
  return std::uint64_t{directionType} << 56 | std::uint64_t{directionCode} << 48;
}
// The lowest and highest key of a direction's rows with longitude `longitude`.
std::uint64_t lowestKey(std::uint64_t direction, std::int64_t longitude) noexcept {
  return direction | static_cast<std::uint64_t>(longitude + kLongitudeBias) << 24;
}
std::uint64_t highestKey(std::uint64_t direction, std::int64_t longitude) noexcept {
  return lowestKey(direction, longitude) | 0xFFFFFF;
}
std::int64_t longitudeOf(const Entry& entry) noexcept {
  return static_cast<std::int64_t>(entry.key >> 24 & 0xFFFFFF) - kLongitudeBias;
}

bool keyOrder(const Entry& a, const Entry& b) noexcept {
  return a.key != b.key ? a.key < b.key : a.fileIndex < b.fileIndex;
}

// The table's rows in latitude order, the k-th at position(k): its own
// positions when it is sorted, else through an order taken for the scan
// (4 bytes a row while it lasts), which leaves the table as it is.
struct LatitudeWalk {
  const CameraTable& table;
  const RowPositions& order;  // empty: the table's own positions
  std::size_t size() const noexcept { return table.size(); }
  std::size_t position(std::size_t k) const noexcept { return order.empty() ? k : order[k]; }
  const CameraRow& row(std::size_t k) const noexcept { return table.row(position(k)); }
};

// Where a search for duplicates only may split the rows in two: the first
// row of a latitude near the middle (the end when there is none, or too few
// rows for a second thread to pay).
std::size_t latitudeSplit(const LatitudeWalk& rows) noexcept {
  constexpr std::size_t kWorthSplitting = std::size_t{1} << 16;
  const std::size_t count = rows.size();
  if (count < kWorthSplitting || !twoCores()) return count;
  std::size_t k = count / 2;
  const std::int32_t before = scaleCoordinate(rows.row(k - 1).latitude);
  while (k < count && scaleCoordinate(rows.row(k).latitude) == before) ++k;
  return k;
}

// Which row of a group is the safer warning: the lowest speed above 0.
unsigned speedRank(std::uint8_t speed) noexcept { return speed > 0 ? speed : 256u; }

}  // namespace

double distanceMetres(std::int32_t latitude1, std::int32_t longitude1, std::int32_t latitude2,
                      std::int32_t longitude2) noexcept {
  // The haversine formula: well conditioned for the short distances asked about.
  const double phi1 = latitude1 * kRadiansPerUnit, phi2 = latitude2 * kRadiansPerUnit;
  const double halfDeltaPhi = (static_cast<double>(latitude2) - latitude1) * kRadiansPerUnit / 2;
  const double halfDeltaLambda = (static_cast<double>(longitude2) - longitude1) * kRadiansPerUnit / 2;
  const double sinPhi = std::sin(halfDeltaPhi), sinLambda = std::sin(halfDeltaLambda);
  const double h = sinPhi * sinPhi + std::cos(phi1) * std::cos(phi2) * sinLambda * sinLambda;
  // Rounded to a double before it leaves: the x87 unit of 32-bit builds
  // would keep more bits in some callers than in others, and equal distances
  // would then differ.
  const volatile double metres = 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
  return metres;
}

std::int64_t distanceMillimetres(std::int32_t latitude1, std::int32_t longitude1, std::int32_t latitude2,
                                 std::int32_t longitude2) noexcept {
  return std::llround(distanceMetres(latitude1, longitude1, latitude2, longitude2) * 1000);
}

// Bands of latitude, each as high as the widest latitude difference of a
// near pair (one unit when only duplicates are looked for): a row's
// duplicates lie in its band and its near copies in its band or the next
// ones. A band is sorted once complete and its repeats are found and left
// out, so that a camera entered a million times is one point of the search;
// it is searched for near copies once its upper neighbour is complete too.
//
// A search walks a band's columns of longitude outwards from the row's own,
// nearest first, and within a column looks only at the latitudes in reach.
// Both reaches shrink to the nearest copy found so far, so a crowded place
// costs about the rows around each row, not every row in a kilometre.
class DuplicateScan::Search {
 public:
  // Findings go to `pairs` and `duplicates`.
  Search(const CameraTable& table, double nearMetres, std::vector<Pair>& pairs, std::uint64_t& duplicates)
      : table_(table),
        pairs_(pairs),
        duplicates_(duplicates),
        near_(nearMetres),
        // One unit more than the distance allows: a margin for rounding.
        reach_(nearMetres > 0 ? static_cast<std::int64_t>(nearMetres / kMetresPerUnit) + 1 : 0),
        height_(reach_ + 1),
        nearMillimetres_(std::llround(nearMetres * 1000)) {}

  // The rows [from, to) of the walk. Looking for duplicates only, a range
  // holds all rows of each of its latitudes.
  void run(const LatitudeWalk& rows, std::size_t from, std::size_t to) {
    end_ = to;
    if (near_ == 0) {
      addRepeatedLatitudes(rows, from);
    } else {
      for (std::size_t k = from; k < to; ++k) {
        if (k + kPrefetchDistance < to) table_.prefetch(rows.position(k + kPrefetchDistance));
        add(rows, k);
      }
    }
    if (!open_.entries.empty()) close(open_);
    if (near_ > 0 && !middle_.entries.empty()) searchNear(middle_, adjacentBelow(middle_, lower_), nullptr);
  }

 private:
  struct Band {
    std::int64_t index = -1;
    std::vector<Entry> entries;  // sorted by key once complete, one a camera
  };

  // Where only duplicates are looked for, a band is one scaled latitude, and
  // a row alone on its latitude has none: only the rows of latitudes that
  // repeat are added, which in a list of millions is a few.
  void addRepeatedLatitudes(const LatitudeWalk& rows, std::size_t from) {
    const std::size_t count = end_;
    auto latitudeAt = [&](std::size_t k) {
      if (k + kPrefetchDistance < count) table_.prefetch(rows.position(k + kPrefetchDistance));
      return scaleCoordinate(rows.row(k).latitude);
    };
    std::int32_t latitude = from < count ? latitudeAt(from) : 0;
    for (std::size_t first = from; first < count;) {
      std::size_t end = first + 1;
      std::int32_t next = 0;
      while (end < count && (next = latitudeAt(end)) == latitude) ++end;
      if (end - first > 1) {
        for (std::size_t k = first; k < end; ++k) add(rows, k);
      }
      first = end;
      latitude = next;
    }
  }

  // The k-th row in latitude order.
  void add(const LatitudeWalk& rows, std::size_t k) {
    const CameraRow& row = rows.row(k);
    const std::int32_t latitude = scaleCoordinate(row.latitude);
    if (!inBounds(latitude, row.longitude)) return;
    const std::int64_t above = std::int64_t{latitude} + kMaxLatitude;
    const std::int64_t index = above / height_;
    if (index != open_.index) {
      if (!open_.entries.empty()) close(open_);
      reserveBand(rows, k, index);
      open_.index = index;
    }
    const std::uint64_t key = lowestKey(directionKey(row.directionType, row.directionCode), row.longitude) |
                              static_cast<std::uint64_t>(above - index * height_);
    const std::size_t position = rows.position(k);
    open_.entries.push_back(
        {key, static_cast<std::uint32_t>(table_.fileIndex(position)), static_cast<std::uint32_t>(position)});
  }

  std::int64_t bandOf(const LatitudeWalk& rows, std::size_t k) const noexcept {
    return (std::int64_t{scaleCoordinate(rows.row(k).latitude)} + kMaxLatitude) / height_;
  }

  // Makes room for the rows of the band that begins at the k-th row, found
  // by steps that double: a band of millions of rows (one camera entered
  // again and again) then takes its size once, not that and half again while
  // it grows. Rows out of bounds (a latitude that is NaN sorts last) only
  // make the room larger.
  void reserveBand(const LatitudeWalk& rows, std::size_t k, std::int64_t index) {
    std::size_t inside = k, step = 1;
    while (inside + step < end_ && bandOf(rows, inside + step) == index) inside += step, step *= 2;
    std::size_t beyond = std::min(inside + step, end_);
    while (beyond - inside > 1) {
      const std::size_t middle = inside + (beyond - inside) / 2;
      (bandOf(rows, middle) == index ? inside : beyond) = middle;
    }
    if (open_.entries.capacity() < beyond - k) {
      std::vector<Entry>().swap(open_.entries);
      open_.entries.reserve(beyond - k);
    }
  }

  std::int64_t lowestLatitude(const Band& band) const noexcept { return band.index * height_ - kMaxLatitude; }
  std::int64_t latitudeOf(const Entry& entry, std::int64_t lowest) const noexcept {
    return lowest + static_cast<std::int64_t>(entry.key & 0xFFFFFF);
  }

  static const Band* adjacentBelow(const Band& band, const Band& below) noexcept {
    return !below.entries.empty() && below.index + 1 == band.index ? &below : nullptr;
  }

  // Takes the complete band `band` and leaves `band` empty for the next.
  void close(Band& band) {
    findRepeats(band.entries);
    if (near_ > 0) {
      if (!middle_.entries.empty()) {
        searchNear(middle_, adjacentBelow(middle_, lower_), middle_.index + 1 == band.index ? &band : nullptr);
      }
      lower_.entries.swap(middle_.entries);
      lower_.index = middle_.index;
      middle_.entries.swap(band.entries);
      middle_.index = band.index;
    }
    band.entries.clear();
  }

  // Reports each row that repeats an earlier one and keeps only the earliest
  // row of each camera: the others lie at the same distance from any row,
  // and the earliest wins that tie.
  void findRepeats(std::vector<Entry>& entries) {
    std::sort(entries.begin(), entries.end(), keyOrder);
    const CameraTable& table = table_;
    // Room for this band's findings at most, growing by at least doubling.
    const std::size_t most = pairs_.size() + entries.size();
    if (pairs_.capacity() < most) pairs_.reserve(std::max(most, 2 * pairs_.capacity()));
    auto kept = entries.begin();
    for (auto first = entries.begin(); first != entries.end();) {
      auto last = first + 1;
      while (last != entries.end() && last->key == first->key) ++last;
      if (last - first > 1) {
        auto safest = first;
        for (auto member = first + 1; member != last; ++member) {
          if (speedRank(table.row(member->position).speed) < speedRank(table.row(safest->position).speed)) {
            safest = member;
          }
        }
        for (auto member = first + 1; member != last; ++member) {
          pairs_.push_back({member->position, first->position, safest->position});
        }
        duplicates_ += static_cast<std::uint64_t>(last - first - 1);
      }
      *kept++ = *first;
      first = last;
    }
    entries.erase(kept, entries.end());
  }

  // One row's search: the nearest earlier camera found so far, and how far
  // (in latitude and longitude units) a nearer or equally near one may lie.
  struct Probe {
    std::int64_t latitude;
    std::int64_t longitude;
    std::uint32_t fileIndex;
    double cosine;  // of the latitude nearest a pole that the rows in reach may have
    std::int64_t latitudeReach;
    std::int64_t longitudeReach;
    std::int64_t millimetres;  // the nearest found, or the distance allowed
    const Entry* nearest = nullptr;
  };

  // The reaches for a distance of `millimetres`, rounded (hence the margin
  // of a millimetre): the distance of latitudes alone is a lower bound of a
  // distance, and so is that of longitudes alone on the parallel nearest a
  // pole.
  static void narrow(Probe& probe, std::int64_t millimetres) noexcept {
    probe.millimetres = millimetres;
    const double metres = static_cast<double>(millimetres + 1) / 1000;
    probe.latitudeReach = static_cast<std::int64_t>(metres / kMetresPerUnit) + 1;
    const double chord = probe.cosine > 0 ? metres / (2 * kEarthRadiusMetres * probe.cosine) : 2;
    // Near the poles every longitude may be near.
    probe.longitudeReach =
        chord < 1 ? std::min<std::int64_t>(static_cast<std::int64_t>(2 * std::asin(chord) / kRadiansPerUnit) + 1,
                                           kLongitudeTurn)
                  : kLongitudeTurn;
  }

  // The cosine of the latitude nearest a pole that a near copy of a row in
  // `band` may have.
  double polewardCosine(const Band& band) const noexcept {
    const std::int64_t low = lowestLatitude(band), high = low + height_ - 1;
    const double phi = static_cast<double>(std::max(std::abs(low), std::abs(high)) + reach_) * kRadiansPerUnit;
    return phi < kPi / 2 ? std::cos(phi) : 0;
  }

  // Looks at the rows of the column [begin, end) whose latitude is in reach.
  void visitColumn(const Entry* begin, const Entry* end, std::int64_t lowest, Probe& probe) const {
    const std::int64_t from = probe.latitude - probe.latitudeReach - lowest;
    const Entry* it = begin;
    if (from > 0 && end - begin > 8) {
      const std::uint64_t first = (begin->key & ~std::uint64_t{0xFFFFFF}) | static_cast<std::uint64_t>(from);
      it = std::lower_bound(begin, end, first, [](const Entry& e, std::uint64_t key) { return e.key < key; });
    }
    for (; it != end; ++it) {
      const std::int64_t latitude = latitudeOf(*it, lowest);
      if (latitude - probe.latitude > probe.latitudeReach) break;
      if (probe.latitude - latitude > probe.latitudeReach || it->fileIndex >= probe.fileIndex) continue;
      const std::int64_t millimetres =
          distanceMillimetres(static_cast<std::int32_t>(probe.latitude), static_cast<std::int32_t>(probe.longitude),
                              static_cast<std::int32_t>(latitude), static_cast<std::int32_t>(longitudeOf(*it)));
      if (millimetres > probe.millimetres) continue;
      if (!probe.nearest || millimetres < probe.millimetres || it->fileIndex < probe.nearest->fileIndex) {
        probe.nearest = it;
        if (millimetres < probe.millimetres) narrow(probe, millimetres);
      }
    }
  }

  // Walks the columns of one direction's rows [lo, hi) of a band outwards
  // from `start`, the first at the row's longitude or east of it, nearest
  // first: eastwards from start and westwards from just before it, each way
  // round the 180th meridian, until the next column either way is out of
  // reach or every row has been seen.
  void walk(const Entry* lo, const Entry* hi, const Entry* start, std::int64_t lowest, Probe& probe) const {
    const Entry* east = start;  // the next column east begins here
    const Entry* west = start;  // the next column west ends here
    std::int64_t eastTurn = 0, westTurn = 0;
    auto unseen = hi - lo;
    while (unseen > 0) {
      if (east == hi) east = lo, eastTurn = kLongitudeTurn;
      if (west == lo) west = hi, westTurn = kLongitudeTurn;
      const std::int64_t eastLongitude = longitudeOf(*east), westLongitude = longitudeOf(west[-1]);
      const std::int64_t eastGap = eastLongitude + eastTurn - probe.longitude;
      const std::int64_t westGap = probe.longitude + westTurn - westLongitude;
      const Entry* begin;
      const Entry* end;
      if (eastGap <= westGap) {
        if (eastGap > probe.longitudeReach) return;
        begin = east;
        end = columnEnd(east, hi, highestKey(east->key & kDirectionBits, eastLongitude));
        east = end;
      } else {
        if (westGap > probe.longitudeReach) return;
        end = west;
        begin = columnBegin(lo, west, lowestKey(west[-1].key & kDirectionBits, westLongitude));
        west = begin;
      }
      unseen -= end - begin;
      visitColumn(begin, end, lowest, probe);
    }
  }

  // The end of the column that begins at `begin`, whose keys are at most
  // `last`: found by steps that double, as most columns are short.
  static const Entry* columnEnd(const Entry* begin, const Entry* hi, std::uint64_t last) noexcept {
    std::ptrdiff_t step = 1;
    const Entry* low = begin;
    while (hi - low > step && low[step].key <= last) low += step, step *= 2;
    const Entry* high = hi - low > step ? low + step : hi;
    return std::upper_bound(low, high, last, [](std::uint64_t key, const Entry& e) { return key < e.key; });
  }
  // The beginning of the column that ends at `end`, whose keys are at least `first`.
  static const Entry* columnBegin(const Entry* lo, const Entry* end, std::uint64_t first) noexcept {
    std::ptrdiff_t step = 1;
    const Entry* high = end;
    while (high - lo > step && high[-step - 1].key >= first) high -= step, step *= 2;
    const Entry* low = high - lo > step ? high - step : lo;
    return std::lower_bound(low, high, first, [](const Entry& e, std::uint64_t key) { return e.key < key; });
  }

  void searchNear(const Band& band, const Band* below, const Band* above) {
    // The row's own band first: the nearest copy most often lies there.
    // Each band's rows of the row's direction, and where the row's column
    // would begin in them, which only moves forward as the band's rows come
    // in key order.
    struct Neighbour {
      const Band* band;
      std::int64_t lowest;
      const Entry* lo;
      const Entry* hi;
      const Entry* start;
    };
    Neighbour neighbours[3];
    std::size_t count = 0;
    for (const Band* b : {&band, below, above}) {
      if (b) {
        const Entry* rows = b->entries.data();
        neighbours[count++] = {b, lowestLatitude(*b), rows, rows, rows};
      }
    }
    const std::int64_t lowest = lowestLatitude(band);
    // The reaches for the distance asked, the same for every row of the band.
    Probe widest{0, 0, 0, polewardCosine(band), 0, 0, 0};
    narrow(widest, nearMillimetres_);
    std::uint64_t direction = 0;
    for (const Entry& row : band.entries) {
      if (&row == band.entries.data() || (row.key & kDirectionBits) != direction) {
        direction = row.key & kDirectionBits;
        for (std::size_t n = 0; n < count; ++n) {
          // Directions come in order too: their rows are found by a walk
          // through each band, once.
          Neighbour& neighbour = neighbours[n];
          const Entry* rowsEnd = neighbour.band->entries.data() + neighbour.band->entries.size();
          neighbour.lo = neighbour.hi;
          while (neighbour.lo != rowsEnd && neighbour.lo->key < direction) ++neighbour.lo;
          neighbour.hi = neighbour.lo;
          while (neighbour.hi != rowsEnd && (neighbour.hi->key & kDirectionBits) == direction) ++neighbour.hi;
          neighbour.start = neighbour.lo;
        }
      }
      Probe probe = widest;
      probe.latitude = latitudeOf(row, lowest);
      probe.longitude = longitudeOf(row);
      probe.fileIndex = row.fileIndex;
      for (std::size_t n = 0; n < count; ++n) {
        Neighbour& neighbour = neighbours[n];
        const std::uint64_t first = lowestKey(direction, probe.longitude);
        while (neighbour.start != neighbour.hi && neighbour.start->key < first) ++neighbour.start;
        walk(neighbour.lo, neighbour.hi, neighbour.start, neighbour.lowest, probe);
      }
      if (probe.nearest) pairs_.push_back({row.position, probe.nearest->position, kNear});
    }
  }

  const CameraTable& table_;
  std::vector<Pair>& pairs_;
  std::uint64_t& duplicates_;
  double near_;
  std::int64_t reach_;   // latitude units a near pair may differ by
  std::int64_t height_;  // of a band, in latitude units
  std::int64_t nearMillimetres_;
  std::size_t end_ = 0;  // of the rows walked
  Band open_;            // the band rows are added to
  Band lower_, middle_;  // complete bands not yet searched for near copies
};

// The scan's findings, one at a time.
class DuplicateScan::Cursor : public FindingSource {
 public:
  explicit Cursor(const DuplicateScan& scan) noexcept : scan_(scan) {}
  std::uint64_t nextLine() const override {
    return next_ < scan_.pairs_.size() ? scan_.table_.tag(scan_.pairs_[next_].position) + 1 : 0;
  }
  ListFinding take() override { return scan_.findingOf(scan_.pairs_[next_++]); }

 private:
  const DuplicateScan& scan_;
  std::size_t next_ = 0;
};

DuplicateScan::DuplicateScan(const CameraTable& table, const DuplicateOptions& options)
    : table_(table), options_(options) {
  options_.nearMetres = std::min(std::max(options_.nearMetres, 0.0), kMaxNearMetres);
  RowPositions order;
  if (!table.sortedByLatitude()) order = table.latitudeOrder();
  const LatitudeWalk rows{table, order};
  const double near = options_.nearMetres;
  // Duplicates lie on one latitude: its two halves are searched at once.
  const std::size_t middle = near == 0 ? latitudeSplit(rows) : rows.size();
  if (middle < rows.size()) {
    std::vector<Pair> upper;
    std::uint64_t upperDuplicates = 0;
    inParallel([&] { Search(table, near, pairs_, duplicates_).run(rows, 0, middle); },
               [&] { Search(table, near, upper, upperDuplicates).run(rows, middle, rows.size()); });
    pairs_.insert(pairs_.end(), upper.begin(), upper.end());
    duplicates_ += upperDuplicates;
  } else {
    Search(table, near, pairs_, duplicates_).run(rows, 0, rows.size());
  }
  std::sort(pairs_.begin(), pairs_.end(),
            [&](const Pair& a, const Pair& b) { return table.fileIndex(a.position) < table.fileIndex(b.position); });
}

std::vector<std::uint32_t> DuplicateScan::droppedPositions() const {
  std::vector<std::uint32_t> dropped;
  for (const Pair& pair : pairs_) {
    if (pair.kept == kNear) continue;
    if (pair.position != pair.kept) dropped.push_back(pair.position);
    if (pair.earlier != pair.kept) dropped.push_back(pair.earlier);
  }
  std::sort(dropped.begin(), dropped.end());
  dropped.erase(std::unique(dropped.begin(), dropped.end()), dropped.end());
  return dropped;
}

ListFinding DuplicateScan::findingOf(const Pair& pair) const {
  const std::uint64_t line = table_.tag(pair.position) + 1;
  const std::string earlier = placeOf(pair.earlier);
  const CameraRow& here = table_.row(pair.position);
  const CameraRow& there = table_.row(pair.earlier);
  if (pair.kept == kNear) {
    const auto a = recordOf(here), b = recordOf(there);
    char metres[32];
    std::snprintf(metres, sizeof metres, "%.1f m", distanceMetres(a->latitude, a->longitude, b->latitude, b->longitude));
    return {line, FindingKind::NearDuplicate, metres + (" from " + earlier)};
  }
  std::string detail = "same camera as " + earlier;
  if (here.type != there.type) {
    detail += "; type " + std::to_string(there.type) + " there, " + std::to_string(here.type) + " here";
  }
  if (here.speed != there.speed) {
    detail += "; speed " + std::to_string(there.speed) + " there, " + std::to_string(here.speed) + " here";
  }
  if (options_.dropping) detail += "; " + placeOf(pair.kept) + " kept";
  return {line, FindingKind::Duplicate, detail};
}

std::string DuplicateScan::placeOf(std::uint32_t position) const {
  const std::uint64_t line = table_.tag(position) + 1;
  return options_.sources ? options_.sources->placeText(line) : "line " + std::to_string(line);
}

void DuplicateScan::report(FindingSink& sink) const {
  for (const Pair& pair : pairs_) sink.add(findingOf(pair));
}

void DuplicateScan::reportWith(const std::function<void(FindingSink&)>& others, FindingSink& sink) const {
  Cursor cursor(*this);
  FindingMerge merge(cursor, sink);
  others(merge);
  merge.finish();
}

}  // namespace tabrino
