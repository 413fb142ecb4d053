#include "core/run/table_findings.h"

#include "core/check/duplicates.h"
#include "core/check/swapped_coordinates.h"
#include "core/list/finding_spool.h"

namespace tabrino {

void findTableFindings(const CameraTable& table, const ListSources& sources, FindingSink& sink) {
  DuplicateScan(table, {0, false, &sources}).report(sink);
  SwappedCoordinates(table).report(sink);
}

void findEveryFinding(const CameraTable& table, const ListSources& sources,
                      const std::function<void(FindingSink&)>& imported, const LeftOutRows* leftOut,
                      const CameraFilter* filter, FindingSink& sink) {
  const SwappedCoordinates swapped(table);
  DuplicateScan(table, {0, false, &sources}).reportWith(
      [&](FindingSink& others) {
        SwappedCoordinates::Findings swaps(swapped);
        FindingMerge withSwaps(swaps, others);
        if (!leftOut || !filter || leftOut->size() == 0) {
          imported(withSwaps);
        } else {
          LeftOutRows::Findings left(*leftOut, *filter);
          FindingMerge merge(left, withSwaps);
          imported(merge);
          merge.finish();
        }
        withSwaps.finish();
      },
      sink);
}

void reportLeftOut(const LeftOutRows& leftOut, const CameraFilter& filter, FindingSink& sink) {
  LeftOutRows::Findings left(leftOut, filter);
  while (left.nextLine() != 0) sink.add(left.take());
}

}  // namespace tabrino
