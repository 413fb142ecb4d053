#include "camera_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace tabrino {
namespace {

// Maps a double to an unsigned integer with the same order (-0 equal to 0).
std::uint64_t orderedKey(double value) noexcept {
  if (std::isnan(value)) return std::numeric_limits<std::uint64_t>::max();
  if (value == 0.0) value = 0.0;
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
}

// The sort's first pass puts rows into buckets of nearby latitude, in file
// order, each with a 32-bit key that orders it within its bucket. Bucket and
// key are both monotone in the latitude, so sorting (key, row) pairs within
// buckets completes the order; only where two keys tie must the latitudes
// themselves be compared. The scaled latitude spreads real lists well; one
// bucket takes each side beyond the bounds and the last takes NaN.
class LatitudeBuckets {
 public:
  explicit LatitudeBuckets(std::size_t rows) noexcept {
    while ((kSpan >> shift_) > std::max<std::size_t>(rows, 1)) ++shift_;
    keyScale_ = std::ldexp(1.0, 32 - static_cast<int>(shift_));
  }
  std::size_t count() const noexcept { return (kSpan >> shift_) + 4; }

  struct Place {
    std::size_t bucket;
    std::uint32_t key;
  };
  Place of(double latitude) const noexcept {
    if (std::isnan(latitude)) return {count() - 1, 0};
    const double t = latitude * kCoordinateScale + kScaledEdge;
    if (!(t >= 0.0)) return {0, static_cast<std::uint32_t>(orderedKey(latitude) >> 32)};
    if (t >= kSpan) return {count() - 2, static_cast<std::uint32_t>(orderedKey(latitude) >> 32)};
    const auto whole = static_cast<std::size_t>(t);
    const std::size_t base = whole >> shift_ << shift_;
    const double within = (t - static_cast<double>(base)) * keyScale_;
    const auto key = within >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(within);
    return {1 + (whole >> shift_), key};
  }

 private:
  static constexpr double kScaledEdge = 905000.0;
  static constexpr std::size_t kSpan = 1810001;
  unsigned shift_ = 0;
  double keyScale_ = 0;  // 2^(32 - shift): a bucket's span onto 32 bits
};

// Where the field `column` of the line starting at `line` begins and ends.
std::string cutCell(const char* line, const char* end, std::size_t column) {
  const char* p = line;
  for (std::size_t skip = column; skip > 0; --skip) {
    while (p != end && *p != ',' && *p != '\n') ++p;
    if (p == end || *p == '\n') return {};
    ++p;
  }
  std::string cell;
  bool cut = false;
  for (; p != end && *p != ',' && *p != '\n'; ++p) {
    if (*p == '\0') cut = true;
    if (!cut && *p != '\r') cell += *p;
  }
  return cell;
}

}  // namespace

std::optional<CameraRecord> recordOf(const CameraRow& row) noexcept {
  const std::int32_t latitude = scaleCoordinate(row.latitude);
  if (!inBounds(latitude, row.longitude)) return std::nullopt;
  return CameraRecord{latitude, row.longitude, row.type, row.speed, row.directionType, row.directionCode};
}

void CameraTable::clear() noexcept {
  // Swaps rather than clear(): a table of millions of rows gives its memory back.
  std::vector<CameraRow>().swap(rows_);
  std::vector<LineRun>().swap(lineRuns_);
  std::vector<std::uint64_t>().swap(order_);
  std::vector<std::size_t>().swap(lineOffsets_);
  std::string().swap(text_);
  keepText_ = false;
  keepOffsets_ = false;
  recordCount_ = 0;
  recordXor_ = 0;
}

void CameraTable::keepText(std::string text) {
  clear();
  text_ = std::move(text);
  keepText_ = keepOffsets_ = true;
}

void CameraTable::reserve(std::size_t rows) {
  rows_.reserve(rows);
  if (keepOffsets_) lineOffsets_.reserve(rows);
}

void CameraTable::appendRow(const CameraRow& row, std::uint64_t line, std::size_t lineOffset) {
  // Positions are kept in 32 bits.
  if (rows_.size() == std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
  order_.clear();
  if (lineRuns_.empty() || line - lineRuns_.back().line != rows_.size() - lineRuns_.back().firstRow) {
    lineRuns_.push_back({rows_.size(), line});
  }
  rows_.push_back(row);
  if (keepOffsets_) lineOffsets_.push_back(lineOffset);
  const std::int32_t latitude = scaleCoordinate(row.latitude);
  if (inBounds(latitude, row.longitude)) {
    ++recordCount_;
    // The XOR of a record's bytes, folded from its three 32-bit words.
    std::uint32_t word = static_cast<std::uint32_t>(latitude) ^ static_cast<std::uint32_t>(row.longitude) ^
                         (row.type | row.speed << 8 | row.directionType << 16 | std::uint32_t{row.directionCode} << 24);
    word ^= word >> 16;
    recordXor_ ^= static_cast<std::uint8_t>(word ^ word >> 8);
  }
}

void CameraTable::appendRows(const CameraTable& rows, std::uint64_t lineBase) {
  if (rows_.size() + rows.rows_.size() >= std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
  order_.clear();
  for (const LineRun& run : rows.lineRuns_) {
    const LineRun moved{rows_.size() + run.firstRow, lineBase + run.line};
    if (!lineRuns_.empty() && moved.line - lineRuns_.back().line == moved.firstRow - lineRuns_.back().firstRow) {
      continue;  // carries on the last run
    }
    lineRuns_.push_back(moved);
  }
  rows_.insert(rows_.end(), rows.rows_.begin(), rows.rows_.end());
  if (keepOffsets_) lineOffsets_.insert(lineOffsets_.end(), rows.lineOffsets_.begin(), rows.lineOffsets_.end());
  recordCount_ += rows.recordCount_;
  recordXor_ ^= rows.recordXor_;
}

std::uint64_t CameraTable::tag(std::size_t position) const noexcept {
  if (position >= rows_.size()) return 0;
  const std::size_t index = indexAt(position);
  const auto run = std::upper_bound(lineRuns_.begin(), lineRuns_.end(), index,
                                    [](std::size_t i, const LineRun& r) { return i < r.firstRow; }) - 1;
  return run->line + (index - run->firstRow);
}

std::string CameraTable::cell(std::size_t position, Column column) const {
  if (!keepText_ || position >= rows_.size()) return {};
  const std::size_t offset = lineOffsets_[indexAt(position)];
  return cutCell(text_.data() + offset, text_.data() + text_.size(), static_cast<std::size_t>(column));
}

void CameraTable::sortByLatitude() {
  // A stable bucket pass, then a sort of small runs that stay in cache: two
  // sequential passes over the rows where a comparison sort of the rows would
  // make millions of scattered reads.
  const std::size_t n = rows_.size();
  if (n < 2) return;
  const LatitudeBuckets buckets(n);
  // Bucket b ends as positions [start[b], start[b + 1]): the ends are
  // counted, then rows are placed from the last backwards, which keeps file
  // order within each bucket.
  const std::size_t count = buckets.count();
  std::vector<std::uint32_t> start(count + 1, 0);
  for (const CameraRow& row : rows_) ++start[buckets.of(row.latitude).bucket];
  for (std::size_t b = 1; b < count; ++b) start[b] += start[b - 1];
  start[count] = static_cast<std::uint32_t>(n);
  std::vector<std::uint64_t> order(n);
  for (std::size_t i = n; i-- > 0;) {
    const LatitudeBuckets::Place place = buckets.of(rows_[i].latitude);
    order[--start[place.bucket]] = std::uint64_t{place.key} << 32 | i;
  }

  auto keyOf = [](std::uint64_t entry) { return static_cast<std::uint32_t>(entry >> 32); };
  auto before = [this](std::uint64_t a, std::uint64_t b) {
    const std::uint64_t ka = orderedKey(rows_[static_cast<std::uint32_t>(a)].latitude);
    const std::uint64_t kb = orderedKey(rows_[static_cast<std::uint32_t>(b)].latitude);
    return ka != kb ? ka < kb : static_cast<std::uint32_t>(a) < static_cast<std::uint32_t>(b);
  };
  for (std::size_t b = 0; b < count; ++b) {
    const auto first = order.begin() + start[b], last = order.begin() + start[b + 1];
    if (last - first < 2) continue;
    // Entries arrived in file order: (key, index) order is the latitude order
    // wherever keys differ.
    if (!std::is_sorted(first, last)) std::sort(first, last);
    for (auto run = first; run != last;) {
      const auto runEnd = std::find_if(run + 1, last, [&](std::uint64_t e) { return keyOf(e) != keyOf(*run); });
      if (runEnd - run > 1) std::sort(run, runEnd, before);
      run = runEnd;
    }
  }
  order_.swap(order);
}

}  // namespace tabrino
