#include "core/run/table_findings.h"

#include "core/check/duplicates.h"
#include "core/list/finding_spool.h"

namespace tabrino {

void findDuplicates(const CameraTable& table, const ListSources& sources, FindingSink& sink) {
  DuplicateScan(table, {0, false, &sources}).report(sink);
}

void findEveryFinding(const CameraTable& table, const ListSources& sources,
                      const std::function<void(FindingSink&)>& imported, const LeftOutRows* leftOut,
                      const CameraFilter* filter, FindingSink& sink) {
  DuplicateScan(table, {0, false, &sources}).reportWith(
      [&](FindingSink& others) {
        if (!leftOut || !filter || leftOut->size() == 0) {
          imported(others);
          return;
        }
        LeftOutRows::Findings left(*leftOut, *filter);
        FindingMerge merge(left, others);
        imported(merge);
        merge.finish();
      },
      sink);
}

void reportLeftOut(const LeftOutRows& leftOut, const CameraFilter& filter, FindingSink& sink) {
  LeftOutRows::Findings left(leftOut, filter);
  while (left.nextLine() != 0) sink.add(left.take());
}

}  // namespace tabrino
