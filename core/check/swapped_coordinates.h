// Rows whose X and Y look swapped: the point lies far from the rest of the
// list while the point with X and Y exchanged lies among them. A list of one
// region can tell; "40.45,-3.70" in a list of Madrid reads as a point off
// Africa, and only the whole list shows that it is a slip. The records are
// never changed: these are findings for the user to fix.
//
// The rest of the list is its bulk: a row lies within it when it lies no
// further from the median, in latitude and in longitude, than
// kSwapFactor times the span of the middle half of the rows (at least
// kMinSwapSpan degrees). The middle half, not more, so that a small list
// with a slip in it still has a tight bulk; a list that spans the world has
// a bulk too wide for a swap to leave it.
#pragma once

#include "core/list/camera_table.h"
#include "core/list/finding_spool.h"
#include "core/list/list_findings.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tabrino {

inline constexpr double kSwapFactor = 3;
inline constexpr double kMinSwapSpan = 1;
// Fewer rows with records than this have no bulk to speak of.
inline constexpr std::size_t kMinRowsForSwaps = 5;
// Rows sampled to place the bulk.
inline constexpr std::size_t kMaxSwapSample = 16384;

// The rows of `table` (which must outlive it) whose X and Y look swapped, in
// line order: 4 bytes for each, and a sample of at most kMaxSwapSample rows while
// the bulk is measured; each row is looked at once, as it lies in memory.
class SwappedCoordinates {
 public:
  explicit SwappedCoordinates(const CameraTable& table);

  std::size_t count() const noexcept { return indexes_.size(); }
  // Hands each finding to sink, in line order.
  void report(FindingSink& sink) const;

  // The findings as a source, to be merged in line order with others.
  class Findings : public FindingSource {
   public:
    explicit Findings(const SwappedCoordinates& rows) noexcept : rows_(rows) {}
    std::uint64_t nextLine() const override;
    ListFinding take() override;

   private:
    const SwappedCoordinates& rows_;
    std::size_t next_ = 0;
  };

 private:
  ListFinding findingOf(std::uint32_t index) const;

  const CameraTable& table_;
  std::vector<std::uint32_t> indexes_;  // places in file order, which is line order
};

}  // namespace tabrino
