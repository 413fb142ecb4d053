// Cameras entered twice, and rows so close to an earlier one with the same
// direction that they are likely the same camera entered twice with other
// coordinates. Lists merged from several sources hold both.
//
// Two rows are duplicates when the records they become agree in latitude,
// longitude, direction type and direction code (TYPE and SPEED may differ).
// Only rows that become records count. The search walks a table sorted by
// latitude in bands of nearby latitude, so it takes O(n log n) time and keeps
// only a few bands of rows at once, plus 12 bytes for each finding.
#pragma once

#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/list/list_sources.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tabrino {

// Distances are taken on a sphere of the earth's mean radius (kEarthRadiusMetres),
// between the positions as written (to 0.0001 degree).
double distanceMetres(std::int32_t latitude1, std::int32_t longitude1, std::int32_t latitude2,
                      std::int32_t longitude2) noexcept;
// Near copies are told apart to the millimetre: rows at the same distance
// from a row are at the same distance on every platform, and the earliest
// of them is named.
std::int64_t distanceMillimetres(std::int32_t latitude1, std::int32_t longitude1, std::int32_t latitude2,
                                 std::int32_t longitude2) noexcept;

// The widest search for near copies: beyond this, rows are different cameras.
inline constexpr double kMaxNearMetres = 1000.0;

struct DuplicateOptions {
  // Also look for rows within this many metres of an earlier row with the
  // same direction type and code; 0 looks for duplicates only. At most
  // kMaxNearMetres.
  double nearMetres = 0;
  // The findings name the row each group keeps when duplicates are dropped.
  bool dropping = false;
  // The lists the table was read from, to name each place in them; must
  // outlive the scan. Without it places are "line N".
  const ListSources* sources = nullptr;
};

class DuplicateScan {
 public:
  // `table` must outlive the scan. A table sorted by latitude is walked as
  // it stands; one in file order (the dialog's, before a conversion) is
  // walked through an order of the scan's own, 4 bytes a row while it lasts,
  // and is only read: it may be shown meanwhile.
  explicit DuplicateScan(const CameraTable& table, const DuplicateOptions& options = {});

  std::uint64_t duplicateCount() const noexcept { return duplicates_; }
  std::uint64_t nearCount() const noexcept { return pairs_.size() - duplicates_; }

  // Positions whose records are left out when duplicates are dropped,
  // ascending: all of each group but the row with the lowest speed above 0
  // (the safer warning), or the first in the list when no speed is above 0
  // or speeds tie.
  std::vector<std::uint32_t> droppedPositions() const;

  // Hands every finding to sink, in line order.
  void report(FindingSink& sink) const;
  // Hands these findings and those that `others` gives its sink (the list's
  // other findings, in line order) to sink, all in line order.
  void reportWith(const std::function<void(FindingSink&)>& others, FindingSink& sink) const;

 private:
  // A row and the earlier row it repeats or lies near, by their positions.
  struct Pair {
    std::uint32_t position;
    std::uint32_t earlier;
    std::uint32_t kept;  // the group's kept row, for a duplicate; kNear otherwise
  };
  static constexpr std::uint32_t kNear = 0xFFFFFFFF;
  class Search;
  class Cursor;
  ListFinding findingOf(const Pair& pair) const;
  std::string placeOf(std::uint32_t position) const;

  const CameraTable& table_;
  DuplicateOptions options_;
  std::vector<Pair> pairs_;  // in line order
  std::uint64_t duplicates_ = 0;
};

}  // namespace tabrino
