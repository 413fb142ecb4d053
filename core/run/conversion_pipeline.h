// A whole conversion of the rows read, as every front end runs it: the
// filters, the duplicates (and rows near each other), the record limit, the
// database and the report of findings. The front ends only say what to do
// and show what happened; none of them sorts, scans or writes by itself.
#pragma once

#include "core/base/progress.h"
#include "core/check/duplicates.h"
#include "core/check/swapped_coordinates.h"
#include "core/convert/conversion_run.h"
#include "core/filter/camera_filter.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/list/list_sources.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace tabrino {

struct PipelineOptions {
  CameraFilter filter;  // keeps every camera when inactive
  double nearMetres = 0;  // also report rows this near an earlier one; 0: duplicates only
  bool dropDuplicates = false;
  std::optional<std::uint64_t> maxRecords;  // more cameras than this: nothing is written
};

// Where the run's findings go. Either may be absent.
struct PipelineFindings {
  // Counts and examples for the front end's summary: duplicates, near rows
  // and rows whose X and Y look swapped.
  FindingSink* summary = nullptr;
  // Every finding, in line order, put in place before the database: the
  // import's (handed over by `imported`, in line order), the rows filtered
  // out, the duplicates and near rows.
  FindingReport* report = nullptr;
  std::function<void(FindingSink&)> imported;
  // Where the rows the filters leave out are kept, for findings gathered
  // later (the dialog's findings window); may be null.
  LeftOutRows* leftOut = nullptr;
};

// What the front end may want to hear of while the run goes on.
struct PipelineEvents {
  ProgressCallback writing;          // records written of all; may throw to stop the run
  std::function<void()> sorted;      // the table stands in latitude order now, before the write
};

struct PipelineResult {
  enum class Outcome {
    Written,      // the database is in place
    FilteredAll,  // the filters left no camera: nothing written
    OverLimit,    // more cameras than maxRecords: nothing written
  };
  Outcome outcome = Outcome::Written;
  FilterCounts filtered{};        // rows each filter left out
  std::uint64_t cameras = 0;      // the records the database holds, or would have held
  std::uint64_t duplicates = 0;   // rows that repeat an earlier camera (when looked for)
  std::uint64_t nearRows = 0;
  std::uint64_t swapped = 0;      // rows whose X and Y look swapped (when looked for)
  ConversionSummary written;      // for Written
};

// Runs the conversion of `table` (read from the lists `sources` names) into
// the database `settings` describes. The table is left sorted by latitude,
// less the rows the filters left out. Throws what writing the database or
// the report throws (FileOpenError, FileWriteError, TooLargeError), and
// whatever `events.writing` throws.
PipelineResult runPipeline(CameraTable& table, const ListSources& sources, const PipelineOptions& options,
                           const ConversionSettings& settings, const PipelineFindings& findings = {},
                           const PipelineEvents& events = {});

// Writes and commits findings.report: the import's findings, the rows the
// filters left out (in `leftOut`, when kept) and the rows whose X and Y
// look swapped, merged in line order with the duplicates. Throws what
// writing the report throws.
void writeFindingReport(const DuplicateScan& duplicates, const SwappedCoordinates& swapped,
                        const PipelineFindings& findings, const CameraFilter& filter, const LeftOutRows* leftOut);

}  // namespace tabrino
