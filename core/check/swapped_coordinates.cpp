#include "core/check/swapped_coordinates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

namespace tabrino {
namespace {

// Where most of a coordinate's values lie: the median, and how far from it a
// value may lie and still be among them (in the record's units).
struct Bulk {
  double median = 0;
  double limit = 0;
  bool holds(double value) const noexcept { return std::fabs(value - median) <= limit; }
};

Bulk bulkOf(std::vector<std::int32_t>& values) {
  const auto at = [&values](std::size_t index) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
    return static_cast<double>(values[index]);
  };
  const std::size_t last = values.size() - 1;
  const double median = at(last / 2);
  const double span = at(last * 3 / 4) - at(last / 4);
  return {median, kSwapFactor * std::max(span, kMinSwapSpan * kCoordinateScale)};
}

// A bound in record units, clamped to what a record can hold: the bulk of a
// wide list reaches past the poles.
std::int32_t innerBound(double value) noexcept {
  return static_cast<std::int32_t>(std::clamp(value, -2.0e9, 2.0e9));
}

std::string degrees(std::int32_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%.4f", value / kCoordinateScale);
  return text;
}

}  // namespace

SwappedCoordinates::SwappedCoordinates(const CameraTable& table) : table_(table) {
  const std::uint64_t records = table.recordCount();
  if (records < kMinRowsForSwaps) return;
  // Every stride-th row in file order: enough to place the bulk of any list.
  const std::size_t rows = table.size();
  const std::size_t stride = (rows + kMaxSwapSample - 1) / kMaxSwapSample;
  std::vector<std::int32_t> latitudes, longitudes;
  latitudes.reserve(std::min(rows, kMaxSwapSample));
  longitudes.reserve(latitudes.capacity());
  for (std::size_t i = 0; i < rows; i += stride) {
    const std::optional<CameraRecord> record = recordOf(table.rowInFileOrder(i));
    if (!record) continue;
    latitudes.push_back(record->latitude);
    longitudes.push_back(record->longitude);
  }
  if (latitudes.size() < kMinRowsForSwaps) return;
  const Bulk latitude = bulkOf(latitudes), longitude = bulkOf(longitudes);
  // Most rows lie well inside the bulk: the row's own cells tell so without
  // making its record. A unit's margin keeps rounding at the edge to the
  // exact test below.
  const double lowestLatitude = (latitude.median - latitude.limit + 1) / kCoordinateScale;
  const double highestLatitude = (latitude.median + latitude.limit - 1) / kCoordinateScale;
  const std::int32_t lowestLongitude = innerBound(longitude.median - longitude.limit + 1);
  const std::int32_t highestLongitude = innerBound(longitude.median + longitude.limit - 1);
  for (std::size_t i = 0; i < rows; ++i) {
    const CameraRow& row = table.rowInFileOrder(i);
    if (row.latitude >= lowestLatitude && row.latitude <= highestLatitude && row.longitude >= lowestLongitude &&
        row.longitude <= highestLongitude) {
      continue;
    }
    const std::optional<CameraRecord> record = recordOf(row);
    if (!record) continue;
    const bool within = latitude.holds(record->latitude) && longitude.holds(record->longitude);
    // X as a latitude must be one.
    const bool swapFits = std::abs(record->longitude) <= kMaxLatitude;
    if (!within && swapFits && latitude.holds(record->longitude) && longitude.holds(record->latitude)) {
      indexes_.push_back(static_cast<std::uint32_t>(i));
    }
  }
}

void SwappedCoordinates::report(FindingSink& sink) const {
  for (const std::uint32_t index : indexes_) sink.add(findingOf(index));
}

ListFinding SwappedCoordinates::findingOf(std::uint32_t index) const {
  const CameraRecord record = *recordOf(table_.rowInFileOrder(index));
  return {table_.tagInFileOrder(index) + 1, FindingKind::SwappedCoordinates,
          "X " + degrees(record.longitude) + ", Y " + degrees(record.latitude) +
              ": X and Y look swapped, the row lies far from the rest of the list"};
}

std::uint64_t SwappedCoordinates::Findings::nextLine() const {
  return next_ < rows_.indexes_.size() ? rows_.table_.tagInFileOrder(rows_.indexes_[next_]) + 1 : 0;
}

ListFinding SwappedCoordinates::Findings::take() { return rows_.findingOf(rows_.indexes_[next_++]); }

}  // namespace tabrino
