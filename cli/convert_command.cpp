#include "cli/convert_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
#include "cli/list_input.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/convert/conversion_run.h"
#include "core/list/duplicates.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/base/parallel.h"
#include "core/list/finding_spool.h"
#include "core/list/list_findings.h"
#include "core/list/text_import.h"
#include "core/texts/user_texts.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <new>
#include <optional>
#include <vector>

namespace tabrino::cli {
namespace {

// What a conversion writes, known before anything is read.
struct ConvertFiles {
  std::filesystem::path outputDirectory;
  DbDate date;
};

// The date, and outputs that stand apart from the list and from each other
// in a folder that takes them. Prints why not and returns the exit status.
std::optional<int> checkFiles(const ConvertOptions& options, ConvertFiles& files) {
  const auto date = resolveDate(options.date);
  if (!date.date) {
    std::cerr << messagePrefix() << date.problem << "\n";
    return kUsage;
  }
  if (isStandardStream(options.outputDirectory)) {
    // The database is put in place whole, under its date's name, in a folder.
    std::cerr << messagePrefix() << "-o names the database's folder; standard output (-) cannot hold it: give a "
              << "folder (./- for one named -)\n";
    return kUsage;
  }
  files = {argumentPath(options.outputDirectory), *date.date};
  const std::filesystem::path database = files.outputDirectory / databaseFileName(files.date);
  if (std::count(options.lists.begin(), options.lists.end(), "-") > 1) {
    std::cerr << messagePrefix() << "standard input (-) can be only one of the lists\n";
    return kUsage;
  }
  std::vector<NamedFile> inputs;
  for (const std::string& list : options.lists) inputs.push_back(namedFile("the list", list));
  for (NamedFile& input : filterInputs(options.filter)) inputs.push_back(std::move(input));
  std::vector<NamedFile> outputs{{"the database", displayPath(database), database}};
  if (!options.report.empty()) outputs.insert(outputs.begin(), namedFile("--report", options.report));
  if (const auto refused = refuseUnsafeFiles(outputs, inputs, options.force)) return refused;
  try {
    checkOutputFolder(database);
  } catch (const UnsafeLinkError& error) {
    printError(std::cerr, error);
    return kUsage;
  } catch (const TabrinoError& error) {
    printError(std::cerr, error);
    return kFailure;
  }
  return std::nullopt;
}

// A count of cameras within --max-records; else says so, naming the options
// that cut the count.
bool withinLimit(const ConvertOptions& options, std::uint64_t records, ProgressBar& progress) {
  if (!options.maxRecords || records <= *options.maxRecords) return true;
  progress.finish();
  std::cerr << messagePrefix() << counted(records, "camera", "cameras") << ", more than --max-records "
            << *options.maxRecords << "; nothing was written. --bbox, --polygon, --types, --speed, --exclude "
            << "and --drop-duplicates cut the count.\n";
  return false;
}

// What the filters left out, for the report.
struct FilteredRows {
  const CameraFilter& filter;
  const LeftOutRows* rows;  // nullptr: no report, or no filter
};

// Finds the duplicates (and near rows) where anyone wants them, and writes
// the database: beside the search when only the summary waits for it, after
// it when the report must be complete first or the duplicates decide what is
// dropped. Nothing when the records dropped leave more than --max-records.
std::optional<ConversionSummary> scanAndWrite(const ConvertOptions& options, CameraTable& table,
                                              const ConversionSettings& settings, ListFindings& findings,
                                              const ListSources& sources, FindingReport* report, FindingSpool* spool,
                                              const FilteredRows& filtered, ProgressBar& progress) {
  if (!findings.sink() && !options.dropDuplicates) return runConversion(table, settings, progress.callback("Writing"));
  table.sortByLatitude();
  std::optional<DuplicateScan> duplicates;
  auto scanDuplicates = [&] {
    duplicates.emplace(table, DuplicateOptions{options.nearMetres, options.dropDuplicates, &sources});
  };
  ConversionSummary written;
  if (!report && !options.dropDuplicates) {
    inParallel([&] { written = writeCameraDatabase(table, settings, {}, progress.callback("Writing")); },
               scanDuplicates);
    duplicates->report(findings.summary());
    return written;
  }
  scanDuplicates();
  const std::vector<std::uint32_t> dropped =
      options.dropDuplicates ? duplicates->droppedPositions() : std::vector<std::uint32_t>();
  if (options.dropDuplicates) {
    std::uint64_t droppedRecords = 0;
    for (const std::uint32_t position : dropped) droppedRecords += table.record(position) ? 1 : 0;
    if (!withinLimit(options, table.recordCount() - droppedRecords, progress)) return std::nullopt;
  }
  if (!options.quiet) duplicates->report(findings.summary());
  if (report) {
    // The list's findings and the rows filtered out, in line order.
    duplicates->reportWith(
        [&](FindingSink& sink) {
          if (!filtered.rows) return spool->replay(sink);
          LeftOutRows::Findings left(*filtered.rows, filtered.filter);
          FindingMerge merge(left, sink);
          spool->replay(merge);
          merge.finish();
        },
        *report);
    report->commit();
  }
  return writeCameraDatabase(table, settings, dropped, progress.callback("Writing"));
}

void printWritten(const ConvertOptions& options, const ConversionSummary& written, const ListFindings& findings,
                  const ListSources& sources) {
  std::ostream& out = statusOut();
  out << conversionCountsText(written.recordsWritten, written.rowsSkipped);
  if (options.dropDuplicates) out << "; dropped " << counted(written.rowsLeftOut, "duplicate", "duplicates");
  out << "\n" << conversionEndText(displayPath(written.outputPath)) << "\n";
  out.flush();
  printFindingsSummary(std::cerr, findings.summary(), options.report, &sources);
}

}  // namespace

int runConvert(const ConvertOptions& options) {
  ConvertFiles files;
  if (const auto refused = checkFiles(options, files)) return *refused;
  if (isStandardStream(options.report)) reserveStandardOutput();
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kFailure, "the list is too large for this machine", [&]() -> int {
    const CameraFilter filter = makeFilter(options.filter);
    // Findings are spooled while the list is read and written to the report
    // with the duplicates, which are known only once the whole list is. The
    // report is opened first: a report that cannot be written stops the run.
    ListSources sources;
    std::optional<FindingReport> report;
    std::optional<FindingSpool> spool;
    if (!options.report.empty()) {
      openReport(report, options.report, &sources);
      spool.emplace();
    }
    ListFindings findings(options.quiet, spool ? &*spool : nullptr);
    CameraTable table;
    if (!readCameraList(options.lists, table, sources, findings, progress, options.quiet, options.osmDirection)) {
      return kFailure;
    }
    // Read, filter, find duplicates, then check the limit.
    std::optional<LeftOutRows> leftOut;
    if (report && filter.active()) leftOut.emplace();
    const FilterCounts filteredCounts = filterTable(table, filter, leftOut ? &*leftOut : nullptr);
    if (!options.quiet && filter.active()) std::cout << leftOutText(filter, filteredCounts) << "\n";
    if (filter.active() && table.recordCount() == 0 &&
        std::any_of(filteredCounts.begin(), filteredCounts.end(), [](std::uint64_t left) { return left != 0; })) {
      // An empty database would replace the day's file with nothing in it.
      progress.finish();
      std::cerr << messagePrefix() << "the filters left no camera: nothing written\n";
      return kFailure;
    }
    if (!options.dropDuplicates && !withinLimit(options, table.recordCount(), progress)) return kFailure;

    const ConversionSettings settings{files.outputDirectory, files.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    const std::optional<ConversionSummary> written =
        scanAndWrite(options, table, settings, findings, sources, report ? &*report : nullptr,
                     spool ? &*spool : nullptr, {filter, leftOut ? &*leftOut : nullptr}, progress);
    if (!written) return kFailure;
    progress.finish();
    if (!options.quiet) printWritten(options, *written, findings, sources);
    return kSuccess;
  });
}

}  // namespace tabrino::cli
