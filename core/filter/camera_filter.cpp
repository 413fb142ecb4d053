#include "core/filter/camera_filter.h"

#include "core/base/c_numbers.h"
#include "core/base/errors.h"
#include "core/model/camera_record.h"

#include <algorithm>
#include <cmath>

namespace tabrino {
namespace {

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

bool wholeDouble(std::string_view text, double& value) {
  const auto parsed = parseCDouble(text);
  value = parsed.value;
  return parsed.length > 0 && parsed.length == text.size() && std::isfinite(value);
}

bool wholeInt(std::string_view text, int& value) {
  const auto parsed = parseCInt(text);
  value = parsed.value;
  return parsed.length > 0 && parsed.length == text.size();
}

std::string shown(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The lowest stored value v with v / scale >= degrees, and the highest with
// v / scale <= degrees: the box's bounds as the stored coordinates compare.
std::int32_t lowestAtOrAbove(double degrees) {
  auto v = static_cast<std::int64_t>(std::ceil(degrees * kCoordinateScale));
  while (static_cast<double>(v - 1) / kCoordinateScale >= degrees) --v;
  while (static_cast<double>(v) / kCoordinateScale < degrees) ++v;
  return static_cast<std::int32_t>(v);
}
std::int32_t highestAtOrBelow(double degrees) {
  auto v = static_cast<std::int64_t>(std::floor(degrees * kCoordinateScale));
  while (static_cast<double>(v + 1) / kCoordinateScale <= degrees) ++v;
  while (static_cast<double>(v) / kCoordinateScale > degrees) --v;
  return static_cast<std::int32_t>(v);
}

// The bits of a place in a power of two at least `wanted` (and 64).
unsigned placeBitsFor(std::uint64_t wanted) noexcept {
  unsigned bits = 6;
  while ((std::uint64_t{1} << bits) < wanted) ++bits;
  return bits;
}

}  // namespace

std::size_t powerOfTwoEntries(unsigned bits, std::size_t maxEntries) {
  if (bits >= 64 || (std::uint64_t{1} << bits) > maxEntries) {
    throw TooLargeError("The ignore lists have more cameras than Tabrino can look up at once.");
  }
  return static_cast<std::size_t>(std::uint64_t{1} << bits);  // at most maxEntries, a size_t
}

const char* filterOptionName(FilterKind kind) noexcept {
  switch (kind) {
    case FilterKind::Types: return "--types";
    case FilterKind::Speed: return "--speed";
    case FilterKind::Box: return "--bbox";
    case FilterKind::Polygon: return "--polygon";
    case FilterKind::Exclude: return "--exclude";
  }
  return "";
}

std::optional<BoundingBox> parseBoundingBox(std::string_view text, std::string& problem) {
  const std::vector<std::string_view> parts = splitAt(text, ',');
  double v[4];
  if (parts.size() != 4 || !wholeDouble(parts[0], v[0]) || !wholeDouble(parts[1], v[1]) ||
      !wholeDouble(parts[2], v[2]) || !wholeDouble(parts[3], v[3])) {
    problem = "expected W,S,E,N in degrees, got " + shown(text);
    return std::nullopt;
  }
  const BoundingBox box{v[0], v[1], v[2], v[3]};
  if (std::fabs(box.west) > 180 || std::fabs(box.east) > 180) {
    problem = "a longitude out of range (-180 to 180) in " + shown(text);
  } else if (std::fabs(box.south) > 90 || std::fabs(box.north) > 90) {
    problem = "a latitude out of range (-90 to 90) in " + shown(text);
  } else if (box.south > box.north) {
    problem = "S is above N in " + shown(text);
  } else {
    return box;
  }
  return std::nullopt;
}

std::optional<std::bitset<256>> parseTypes(std::string_view text, std::string& problem) {
  std::bitset<256> types;
  for (const std::string_view part : splitAt(text, ',')) {
    int type = 0;
    if (!wholeInt(part, type) || type < 0 || type > 255) {
      problem = "unknown type " + shown(part) + " (types are whole numbers from 0 to 255)";
      return std::nullopt;
    }
    types.set(static_cast<std::size_t>(type));
  }
  return types;
}

std::optional<SpeedRange> parseSpeedRange(std::string_view text, std::string& problem) {
  const std::size_t dash = text.find('-', 1);
  SpeedRange range{};
  if (dash == std::string_view::npos || !wholeInt(text.substr(0, dash), range.min) ||
      !wholeInt(text.substr(dash + 1), range.max) || range.min < 0 || range.max > 255) {
    problem = "expected MIN-MAX in km/h from 0 to 255, got " + shown(text);
    return std::nullopt;
  }
  if (range.min > range.max) {
    problem = "MIN is above MAX in " + shown(text);
    return std::nullopt;
  }
  return range;
}

ExcludedCameras::ExcludedCameras(const CameraTable& table, ListSources sources) : sources_(std::move(sources)) {
  const std::uint64_t cameras = table.recordCount();
  const unsigned presentBits = placeBitsFor(16 * cameras), slotBits = placeBitsFor(2 * cameras);
  present_.assign(powerOfTwoEntries(presentBits - 6, present_.max_size()), 0);  // 64 bits a word
  presentShift_ = 64 - presentBits;
  slots_.assign(powerOfTwoEntries(slotBits, slots_.max_size()), Slot{0, 0});
  slotShift_ = 64 - slotBits;
  // Rows in file order: the first line of each camera is the one named.
  for (std::size_t position = 0; position < table.size(); ++position) {
    const auto record = table.record(position);
    if (!record) continue;
    const std::uint64_t key = keyOf(*record), hash = hashOf(key);
    const std::uint64_t bit = hash >> presentShift_;
    present_[wordOf(bit)] |= std::uint64_t{1} << (bit % 64);
    std::size_t slot = slotOf(hash);
    while (slots_[slot].line != 0 && slots_[slot].key != key) slot = (slot + 1) & (slots_.size() - 1);
    if (slots_[slot].line == 0) slots_[slot] = {key, table.tag(position) + 1};
  }
}

// A hash shifted right by presentShift_ (slotShift_) is below 64 times
// present_.size() (below slots_.size()), which are size_t: the places fit.
std::size_t ExcludedCameras::wordOf(std::uint64_t bit) const noexcept { return static_cast<std::size_t>(bit / 64); }
std::size_t ExcludedCameras::slotOf(std::uint64_t hash) const noexcept {
  return static_cast<std::size_t>(hash >> slotShift_);
}

std::uint64_t ExcludedCameras::keyOf(const CameraRecord& record) noexcept {
  // 21 bits of latitude and 22 of longitude hold every value in bounds.
  return static_cast<std::uint64_t>(record.latitude + kMaxLatitude) << 38 |
         static_cast<std::uint64_t>(record.longitude + kMaxLongitude) << 16 |
         static_cast<std::uint64_t>(record.directionType) << 8 | record.directionCode;
}

std::uint64_t ExcludedCameras::hashOf(std::uint64_t key) noexcept {
  // Fibonacci hashing: the top bits of the product mix every bit of the key.
  return key * 0x9E3779B97F4A7C15ull;
}

std::optional<std::uint64_t> ExcludedCameras::lineOf(const CameraRecord& record) const noexcept {
  const std::uint64_t key = keyOf(record), hash = hashOf(key);
  const std::uint64_t bit = hash >> presentShift_;
  if (!(present_[wordOf(bit)] >> (bit % 64) & 1)) return std::nullopt;
  for (std::size_t slot = slotOf(hash);; slot = (slot + 1) & (slots_.size() - 1)) {
    if (slots_[slot].line == 0) return std::nullopt;
    if (slots_[slot].key == key) return slots_[slot].line;
  }
}

void CameraFilter::keepBox(const BoundingBox& box) {
  box_ = ScaledBox{lowestAtOrAbove(box.west), lowestAtOrAbove(box.south), highestAtOrBelow(box.east),
                   highestAtOrBelow(box.north)};
}

bool CameraFilter::uses(FilterKind kind) const noexcept {
  switch (kind) {
    case FilterKind::Types: return types_.has_value();
    case FilterKind::Speed: return speeds_.has_value();
    case FilterKind::Box: return box_.has_value();
    case FilterKind::Polygon: return region_.has_value();
    case FilterKind::Exclude: return excluded_.has_value();
  }
  return false;
}

std::optional<FilterKind> CameraFilter::leftOutBy(const CameraRecord& record) const noexcept {
  if (types_ && !types_->test(record.type)) return FilterKind::Types;
  if (speeds_ && (record.speed < speeds_->min || record.speed > speeds_->max)) return FilterKind::Speed;
  if (box_) {
    const bool inLatitude = record.latitude >= box_->south && record.latitude <= box_->north;
    const bool inLongitude = box_->west <= box_->east
                                 ? record.longitude >= box_->west && record.longitude <= box_->east
                                 : record.longitude >= box_->west || record.longitude <= box_->east;
    if (!inLatitude || !inLongitude) return FilterKind::Box;
  }
  if (region_ && !region_->contains(record.latitude, record.longitude)) return FilterKind::Polygon;
  if (excluded_ && excluded_->lineOf(record)) return FilterKind::Exclude;
  return std::nullopt;
}

std::string CameraFilter::reason(const CameraRecord& record, FilterKind kind) const {
  switch (kind) {
    case FilterKind::Types: return "type " + std::to_string(record.type) + " not in --types";
    case FilterKind::Speed:
      return "speed " + std::to_string(record.speed) + " outside --speed " + std::to_string(speeds_->min) + "-" +
             std::to_string(speeds_->max);
    case FilterKind::Box: return "outside --bbox";
    case FilterKind::Polygon: return "outside --polygon";
    case FilterKind::Exclude: {
      const auto where = excluded_->sources().place(*excluded_->lineOf(record));
      return "same camera as " + (where.name ? *where.name + " " : std::string()) + "line " +
             std::to_string(where.lineNumber) + " of --exclude";
    }
  }
  return {};
}

void LeftOutRows::add(const CameraRow& row, std::uint64_t line, FilterKind kind) {
  rows_.appendRow(row, line);
  kinds_.push_back(kind);
}

std::uint64_t LeftOutRows::Findings::nextLine() const {
  return next_ < rows_.rows_.size() ? rows_.rows_.tag(next_) + 1 : 0;
}

ListFinding LeftOutRows::Findings::take() {
  const std::size_t at = next_++;
  return {rows_.rows_.tag(at) + 1, FindingKind::Filtered, filter_.reason(*rows_.rows_.record(at), rows_.kinds_[at])};
}

FilterCounts filterTable(CameraTable& table, const CameraFilter& filter, LeftOutRows* leftOut) {
  FilterCounts counts{};
  if (!filter.active()) return counts;
  table.restoreFileOrder();
  std::vector<std::uint32_t> removed;
  for (std::size_t index = 0; index < table.size(); ++index) {
    const auto record = table.record(index);
    if (!record) continue;
    const auto kind = filter.leftOutBy(*record);
    if (!kind) continue;
    ++counts[static_cast<std::size_t>(*kind)];
    removed.push_back(static_cast<std::uint32_t>(index));
    if (leftOut) leftOut->add(table.row(index), table.tag(index), *kind);
  }
  table.removeRows(removed);
  return counts;
}

}  // namespace tabrino
