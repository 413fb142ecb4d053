#include "core/list/duplicates.h"

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
// rows of one camera lie together and those of one direction lie in order of
// longitude:
//   bits 48-63  direction type and code
//   bits 24-47  longitude + kLongitudeBias (room for a search reaching past +-180)
//   bits 0-23   latitude above the band's lowest
struct Entry {
  std::uint64_t key;
  std::int32_t latitude;
  std::int32_t longitude;
  std::uint32_t fileIndex;
  std::uint32_t position;
  std::uint8_t speed;
  bool repeats;  // the same camera as an earlier row: then not looked at as a near copy
};

constexpr std::int64_t kLongitudeBias = std::int64_t{1} << 22;
static_assert(kLongitudeBias > 2 * kMaxLongitude, "a longitude reach of half a turn stays inside its 24 bits");

std::uint64_t directionKey(std::uint8_t directionType, std::uint8_t directionCode) noexcept {
  return std::uint64_t{directionType} << 56 | std::uint64_t{directionCode} << 48;
}
// The lowest and highest key of a direction's rows with a longitude in [from, to].
std::uint64_t lowestKey(std::uint64_t direction, std::int64_t from) noexcept {
  return direction | static_cast<std::uint64_t>(from + kLongitudeBias) << 24;
}
std::uint64_t highestKey(std::uint64_t direction, std::int64_t to) noexcept {
  return direction | static_cast<std::uint64_t>(to + kLongitudeBias) << 24 | 0xFFFFFF;
}

bool keyOrder(const Entry& a, const Entry& b) noexcept {
  return a.key != b.key ? a.key < b.key : a.fileIndex < b.fileIndex;
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
// ones. A band is sorted by direction and longitude once complete, and
// searched once its upper neighbour is complete too.
class DuplicateScan::Search {
 public:
  Search(DuplicateScan& scan, double nearMetres)
      : scan_(scan),
        near_(nearMetres),
        // One unit more than the distance allows: a margin for rounding.
        reach_(nearMetres > 0 ? static_cast<std::int64_t>(nearMetres / kMetresPerUnit) + 1 : 0),
        height_(reach_ + 1),
        nearMillimetres_(std::llround(nearMetres * 1000)) {}

  void run(const CameraTable& table) {
    if (table.sortedByLatitude()) {
      const std::size_t rows = table.size();
      for (std::size_t position = 0; position < rows; ++position) {
        if (position + kPrefetchDistance < rows) table.prefetch(position + kPrefetchDistance);
        add(table, position);
      }
    } else {
      // Rows of one scaled latitude in any order will do: a band is sorted
      // once complete.
      std::vector<std::uint64_t> order;
      order.reserve(static_cast<std::size_t>(table.recordCount()));
      for (std::size_t position = 0; position < table.size(); ++position) {
        if (const auto record = table.record(position)) {
          order.push_back(static_cast<std::uint64_t>(std::int64_t{record->latitude} + kMaxLatitude) << 32 | position);
        }
      }
      std::sort(order.begin(), order.end());
      for (const std::uint64_t entry : order) add(table, static_cast<std::uint32_t>(entry));
    }
    if (!open_.entries.empty()) close(open_);
    if (near_ > 0 && !middle_.entries.empty()) searchNear(middle_, adjacentBelow(middle_, lower_), nullptr);
  }

 private:
  struct Band {
    std::int64_t index = -1;
    std::vector<Entry> entries;  // sorted by key once complete
  };

  // Rows come in latitude order.
  void add(const CameraTable& table, std::size_t position) {
    const CameraRow& row = table.row(position);
    const std::int32_t latitude = scaleCoordinate(row.latitude);
    if (!inBounds(latitude, row.longitude)) return;
    const std::int64_t above = std::int64_t{latitude} + kMaxLatitude;
    const std::int64_t index = above / height_;
    if (index != open_.index && !open_.entries.empty()) close(open_);
    open_.index = index;
    const std::uint64_t key = lowestKey(directionKey(row.directionType, row.directionCode), row.longitude) |
                              static_cast<std::uint64_t>(above - index * height_);
    open_.entries.push_back({key, latitude, row.longitude, static_cast<std::uint32_t>(table.fileIndex(position)),
                             static_cast<std::uint32_t>(position), row.speed, false});
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

  void findRepeats(std::vector<Entry>& entries) {
    if (entries.size() < 2) return;
    std::sort(entries.begin(), entries.end(), keyOrder);
    for (auto first = entries.begin(); first != entries.end();) {
      auto last = first + 1;
      auto kept = first;
      for (; last != entries.end() && last->key == first->key; ++last) {
        if (speedRank(last->speed) < speedRank(kept->speed)) kept = last;
      }
      for (auto member = first + 1; member != last; ++member) {
        member->repeats = true;
        scan_.pairs_.push_back({member->position, first->position, kept->position});
        ++scan_.duplicates_;
      }
      first = last;
    }
  }

  // How far in longitude units a near copy of a row in `band` may lie:
  // along the parallel nearest a pole that the band's rows reach.
  std::int64_t longitudeReach(const Band& band) const noexcept {
    const std::int64_t low = band.index * height_ - kMaxLatitude, high = low + height_ - 1;
    const double phi = (std::max(std::abs(low), std::abs(high)) + reach_) * kRadiansPerUnit;
    const double chord = phi < kPi / 2 ? near_ / (2 * kEarthRadiusMetres * std::cos(phi)) : 2;
    // Near the poles every longitude may be near.
    if (!(chord < 1)) return kMaxLongitude;
    return std::min<std::int64_t>(static_cast<std::int64_t>(2 * std::asin(chord) / kRadiansPerUnit) + 1,
                                  kMaxLongitude);
  }

  struct Nearest {
    const Entry* entry = nullptr;
    std::int64_t millimetres = 0;
  };

  // Looks at rows from `it` on up to the key `last`.
  void visit(std::vector<Entry>::const_iterator it, std::vector<Entry>::const_iterator end, std::uint64_t last,
             const Entry& row, Nearest& nearest) const {
    for (; it != end && it->key <= last; ++it) {
      // Earlier in the list, another place, close enough in latitude.
      if (it->fileIndex >= row.fileIndex || (it->latitude == row.latitude && it->longitude == row.longitude)) continue;
      if (std::abs(std::int64_t{it->latitude} - row.latitude) > reach_) continue;
      const std::int64_t millimetres = distanceMillimetres(row.latitude, row.longitude, it->latitude, it->longitude);
      if (millimetres > nearMillimetres_) continue;
      if (!nearest.entry || millimetres < nearest.millimetres ||
          (millimetres == nearest.millimetres && it->fileIndex < nearest.entry->fileIndex)) {
        nearest = {&*it, millimetres};
      }
    }
  }

  void visitRange(const std::vector<Entry>& rows, std::uint64_t first, std::uint64_t last, const Entry& row,
                  Nearest& nearest) const {
    const auto it = std::lower_bound(rows.begin(), rows.end(), first,
                                     [](const Entry& e, std::uint64_t key) { return e.key < key; });
    visit(it, rows.end(), last, row, nearest);
  }

  void searchNear(const Band& band, const Band* below, const Band* above) {
    const std::int64_t reach = longitudeReach(band);
    // The rows of the band come in key order, so where each neighbour's rows
    // in reach begin only moves forward.
    struct Neighbour {
      const std::vector<Entry>* rows;
      std::vector<Entry>::const_iterator from;
    };
    Neighbour neighbours[3];
    std::size_t count = 0;
    for (const Band* b : {below, &band, above}) {
      if (b) neighbours[count++] = {&b->entries, b->entries.begin()};
    }
    for (const Entry& row : band.entries) {
      if (row.repeats) continue;
      const std::uint64_t direction = row.key & directionKey(0xFF, 0xFF);
      Nearest nearest;
      for (std::size_t n = 0; n < count; ++n) {
        const std::vector<Entry>& rows = *neighbours[n].rows;
        if (reach >= kMaxLongitude) {
          visitRange(rows, direction, direction | 0xFFFFFFFFFFFF, row, nearest);
          continue;
        }
        const std::int64_t from = row.longitude - reach, to = row.longitude + reach;
        auto& it = neighbours[n].from;
        const std::uint64_t first = lowestKey(direction, from);
        while (it != rows.end() && it->key < first) ++it;
        visit(it, rows.end(), highestKey(direction, to), row, nearest);
        // Across the 180th meridian, longitudes near -180 lie near 180.
        if (to > kMaxLongitude) {
          visitRange(rows, lowestKey(direction, -kMaxLongitude), highestKey(direction, to - kLongitudeTurn), row,
                     nearest);
        }
        if (from < -kMaxLongitude) {
          visitRange(rows, lowestKey(direction, from + kLongitudeTurn), highestKey(direction, kMaxLongitude), row,
                     nearest);
        }
      }
      if (nearest.entry) scan_.pairs_.push_back({row.position, nearest.entry->position, kNear});
    }
  }

  DuplicateScan& scan_;
  double near_;
  std::int64_t reach_;   // latitude units a near pair may differ by
  std::int64_t height_;  // of a band, in latitude units
  std::int64_t nearMillimetres_;
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
  Search(*this, options_.nearMetres).run(table);
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
