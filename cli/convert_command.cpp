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
  const NamedFile list = namedFile("the list", options.list);
  std::vector<NamedFile> outputs{{"the database", displayPath(database), database}};
  if (!options.report.empty()) outputs.insert(outputs.begin(), namedFile("--report", options.report));
  if (const auto clash = clashingFiles(outputs, {list})) {
    std::cerr << messagePrefix() << *clash << "\n";
    return kUsage;
  }
  try {
    checkOutputFolder(database);
  } catch (const TabrinoError& error) {
    printError(std::cerr, error);
    return kFailure;
  }
  return std::nullopt;
}

// Finds the duplicates (and near rows) where anyone wants them, and writes
// the database: beside the search when only the summary waits for it, after
// it when the report must be complete first or the duplicates decide what is
// dropped.
ConversionSummary scanAndWrite(const ConvertOptions& options, CameraTable& table, const ConversionSettings& settings,
                               ListFindings& findings, FindingReport* report, FindingSpool* spool,
                               ProgressBar& progress) {
  table.sortByLatitude();
  std::optional<DuplicateScan> duplicates;
  auto scanDuplicates = [&] { duplicates.emplace(table, DuplicateOptions{options.nearMetres, options.dropDuplicates}); };
  ConversionSummary written;
  if (!findings.sink() && !options.dropDuplicates) {
    return writeCameraDatabase(table, settings, {}, progress.callback("Writing"));
  }
  if (!report && !options.dropDuplicates) {
    inParallel([&] { written = writeCameraDatabase(table, settings, {}, progress.callback("Writing")); },
               scanDuplicates);
    duplicates->report(findings.summary());
    return written;
  }
  scanDuplicates();
  if (!options.quiet) duplicates->report(findings.summary());
  if (report) {
    duplicates->reportWith([&](FindingSink& sink) { spool->replay(sink); }, *report);
    report->commit();
  }
  const std::vector<std::uint32_t> dropped =
      options.dropDuplicates ? duplicates->droppedPositions() : std::vector<std::uint32_t>();
  return writeCameraDatabase(table, settings, dropped, progress.callback("Writing"));
}

void printWritten(const ConvertOptions& options, const ConversionSummary& written, const ListFindings& findings) {
  std::ostream& out = statusOut();
  out << conversionCountsText(written.recordsWritten, written.rowsSkipped);
  if (options.dropDuplicates) out << "; dropped " << counted(written.rowsLeftOut, "duplicate", "duplicates");
  out << "\n" << conversionEndText(displayPath(written.outputPath)) << "\n";
  out.flush();
  printFindingsSummary(std::cerr, findings.summary(), options.report);
}

}  // namespace

int runConvert(const ConvertOptions& options) {
  ConvertFiles files;
  if (const auto refused = checkFiles(options, files)) return *refused;
  if (isStandardStream(options.report)) reserveStandardOutput();
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kFailure, "the list is too large for this machine", [&]() -> int {
    // Findings are spooled while the list is read and written to the report
    // with the duplicates, which are known only once the whole list is. The
    // report is opened first: a report that cannot be written stops the run.
    std::optional<FindingReport> report;
    std::optional<FindingSpool> spool;
    if (!options.report.empty()) {
      openReport(report, options.report);
      spool.emplace();
    }
    ListFindings findings(options.quiet, spool ? &*spool : nullptr);
    CameraTable table;
    if (!readCameraList(options.list, table, findings, progress, options.quiet, options.osmDirection)) return kFailure;
    const ConversionSettings settings{files.outputDirectory, files.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    const ConversionSummary written = scanAndWrite(options, table, settings, findings, report ? &*report : nullptr,
                                                   spool ? &*spool : nullptr, progress);
    progress.finish();
    if (!options.quiet) printWritten(options, written, findings);
    return kSuccess;
  });
}

}  // namespace tabrino::cli
