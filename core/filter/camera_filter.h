// Which cameras of a table to keep: a box or a region, some camera types, a
// range of speeds, and cameras that are not in an ignore list. The rules
// work on the record a row becomes (the stored, scaled coordinates, the
// stored speed byte), so a list and a database it was made from filter
// alike. A row that becomes no record is never left out by a filter: it is
// skipped and counted as out of range already.
#pragma once

#include "core/filter/region.h"
#include "core/list/camera_table.h"
#include "core/list/finding_spool.h"
#include "core/list/list_findings.h"
#include "core/list/list_sources.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

// The filters, in the order a row is tested: a row left out is counted by
// the first that leaves it out.
enum class FilterKind { Types, Speed, Box, Polygon, Exclude };
inline constexpr std::size_t kFilterKindCount = 5;
// "--types", "--speed", "--bbox", "--polygon", "--exclude".
const char* filterOptionName(FilterKind kind) noexcept;

// A box in degrees, bounds inclusive; a west above the east crosses the
// 180th meridian.
struct BoundingBox {
  double west, south, east, north;
};

// Each parser returns the value, or sets `problem` to what is wrong with
// the text (for a message that names the option).
std::optional<BoundingBox> parseBoundingBox(std::string_view text, std::string& problem);
// "1,2,5": types from 0 to 255.
std::optional<std::bitset<256>> parseTypes(std::string_view text, std::string& problem);
struct SpeedRange {
  int min, max;  // km/h, inclusive
};
// "30-80".
std::optional<SpeedRange> parseSpeedRange(std::string_view text, std::string& problem);

// 2 to the power `bits`, the entries of a table that may hold at most
// `maxEntries` (its vector's max_size()). Throws TooLargeError beyond: on a
// 32-bit system a shift of size_t would overflow well before 64 bits.
std::size_t powerOfTwoEntries(unsigned bits, std::size_t maxEntries);

// The cameras of lists to leave out, each the same camera (place and
// direction) as the duplicate rule means.
class ExcludedCameras {
 public:
  // The records of `table`'s rows, read from the lists `sources` names.
  ExcludedCameras(const CameraTable& table, ListSources sources);
  // The line (from 1, over the lists) of the camera `record` is, if excluded.
  std::optional<std::uint64_t> lineOf(const CameraRecord& record) const noexcept;
  const ListSources& sources() const noexcept { return sources_; }

 private:
  static std::uint64_t keyOf(const CameraRecord& record) noexcept;
  std::size_t wordOf(std::uint64_t bit) const noexcept;
  std::size_t slotOf(std::uint64_t hash) const noexcept;
  static std::uint64_t hashOf(std::uint64_t key) noexcept;
  // Every row of the list being converted is looked up, and most are in no
  // ignore list: a bitmap of about 16 bits a camera, small enough to stay in
  // the cache, turns away all but a few of those; the rest are looked up in
  // an open-addressing hash table at most half full (one or two cache lines,
  // where a binary search over a long ignore list misses at every step).
  std::vector<std::uint64_t> present_;
  unsigned presentShift_ = 0;  // 64 less the bits of a bit's place
  struct Slot {
    std::uint64_t key;
    std::uint64_t line;  // 0: an empty slot
  };
  std::vector<Slot> slots_;  // a power of two of them
  unsigned slotShift_ = 0;   // 64 less the bits of a slot's place
  ListSources sources_;
};

class CameraFilter {
 public:
  void keepBox(const BoundingBox& box);
  void keepRegion(Region region) { region_.emplace(std::move(region)); }
  void keepTypes(const std::bitset<256>& types) { types_ = types; }
  void keepSpeeds(const SpeedRange& range) { speeds_ = range; }
  void leaveOut(ExcludedCameras cameras) { excluded_.emplace(std::move(cameras)); }

  bool active() const noexcept { return box_ || region_ || types_ || speeds_ || excluded_; }
  bool uses(FilterKind kind) const noexcept;
  // The first filter that leaves the camera out, or nothing to keep it.
  std::optional<FilterKind> leftOutBy(const CameraRecord& record) const noexcept;
  // Why, for a report: "outside --bbox", "type 7 not in --types", ...
  std::string reason(const CameraRecord& record, FilterKind kind) const;

 private:
  struct ScaledBox {
    std::int32_t west, south, east, north;
  };
  std::optional<ScaledBox> box_;
  std::optional<Region> region_;
  std::optional<std::bitset<256>> types_;
  std::optional<SpeedRange> speeds_;
  std::optional<ExcludedCameras> excluded_;
};

// Rows a filter left out, kept for the report: each with its line and the
// filter that left it out.
class LeftOutRows {
 public:
  void add(const CameraRow& row, std::uint64_t line, FilterKind kind);
  std::size_t size() const noexcept { return rows_.size(); }

  // The findings (kind Filtered), in line order, as a source for a merge.
  class Findings : public FindingSource {
   public:
    Findings(const LeftOutRows& rows, const CameraFilter& filter) : rows_(rows), filter_(filter) {}
    std::uint64_t nextLine() const override;
    ListFinding take() override;

   private:
    const LeftOutRows& rows_;
    const CameraFilter& filter_;
    std::size_t next_ = 0;
  };

 private:
  CameraTable rows_;
  std::vector<FilterKind> kinds_;
};

using FilterCounts = std::array<std::uint64_t, kFilterKindCount>;

// Takes the rows the filter leaves out from the table (which keeps its file
// order and lines), counting them by filter, and keeps them in `leftOut`
// when given.
FilterCounts filterTable(CameraTable& table, const CameraFilter& filter, LeftOutRows* leftOut = nullptr);

}  // namespace tabrino
