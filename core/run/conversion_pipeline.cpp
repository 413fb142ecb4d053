#include "core/run/conversion_pipeline.h"

#include "core/base/parallel.h"
#include "core/check/duplicates.h"
#include "core/check/swapped_coordinates.h"
#include "core/list/finding_spool.h"

#include <algorithm>
#include <vector>

namespace tabrino {
namespace {

bool anyLeftOut(const FilterCounts& counts) {
  return std::any_of(counts.begin(), counts.end(), [](std::uint64_t count) { return count != 0; });
}

}  // namespace

// Put in place before any output, so that a report that cannot be written
// leaves no output either.
void writeFindingReport(const DuplicateScan& duplicates, const SwappedCoordinates& swapped,
                        const PipelineFindings& findings, const CameraFilter& filter, const LeftOutRows* leftOut) {
  duplicates.reportWith(
      [&](FindingSink& sink) {
        SwappedCoordinates::Findings swaps(swapped);
        FindingMerge withSwaps(swaps, sink);
        if (!leftOut) {
          if (findings.imported) findings.imported(withSwaps);
        } else {
          LeftOutRows::Findings left(*leftOut, filter);
          FindingMerge merge(left, withSwaps);
          if (findings.imported) findings.imported(merge);
          merge.finish();
        }
        withSwaps.finish();
      },
      *findings.report);
  findings.report->commit();
}

PipelineResult runPipeline(CameraTable& table, const ListSources& sources, const PipelineOptions& options,
                           const ConversionSettings& settings, const PipelineFindings& findings,
                           const PipelineEvents& events) {
  PipelineResult result;
  std::optional<LeftOutRows> reported;
  LeftOutRows* leftOut = findings.leftOut;
  if (!leftOut && findings.report && options.filter.active()) leftOut = &reported.emplace();
  result.filtered = filterTable(table, options.filter, leftOut);
  result.cameras = table.recordCount();
  // An empty database would replace the day's file with nothing in it.
  if (table.recordCount() == 0 && anyLeftOut(result.filtered)) {
    result.outcome = PipelineResult::Outcome::FilteredAll;
    return result;
  }
  auto overLimit = [&](std::uint64_t records) {
    result.cameras = records;
    if (!options.maxRecords || records <= *options.maxRecords) return false;
    result.outcome = PipelineResult::Outcome::OverLimit;
    return true;
  };
  if (!options.dropDuplicates && overLimit(table.recordCount())) return result;

  const bool scanning = findings.summary || findings.report || options.dropDuplicates;
  if (!scanning && !events.sorted) {
    // Nobody waits for the sorted table: each block is sorted as it is written.
    result.written = runConversion(table, settings, events.writing);
    return result;
  }
  table.sortByLatitude();
  if (events.sorted) events.sorted();
  if (!scanning) {
    result.written = writeCameraDatabase(table, settings, {}, events.writing);
    return result;
  }
  std::optional<DuplicateScan> duplicates;
  std::optional<SwappedCoordinates> swapped;
  auto scanDuplicates = [&] {
    duplicates.emplace(table, DuplicateOptions{options.nearMetres, options.dropDuplicates, &sources});
    swapped.emplace(table);
  };
  auto count = [&] {
    result.duplicates = duplicates->duplicateCount();
    result.nearRows = duplicates->nearCount();
    result.swapped = swapped->count();
  };
  if (!findings.report && !options.dropDuplicates) {
    // Only the summary waits for the duplicates: they are looked for while
    // the database is written.
    inParallel([&] { result.written = writeCameraDatabase(table, settings, {}, events.writing); }, scanDuplicates);
    count();
    duplicates->report(*findings.summary);
    swapped->report(*findings.summary);
    return result;
  }
  scanDuplicates();
  count();
  std::vector<std::uint32_t> dropped;
  if (options.dropDuplicates) {
    dropped = duplicates->droppedPositions();
    std::uint64_t droppedRecords = 0;
    for (const std::uint32_t position : dropped) droppedRecords += table.record(position) ? 1u : 0u;
    if (overLimit(table.recordCount() - droppedRecords)) return result;
  }
  if (findings.summary) {
    duplicates->report(*findings.summary);
    swapped->report(*findings.summary);
  }
  if (findings.report) writeFindingReport(*duplicates, *swapped, findings, options.filter, leftOut);
  result.written = writeCameraDatabase(table, settings, dropped, events.writing);
  return result;
}

}  // namespace tabrino
