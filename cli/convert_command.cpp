#include "cli/convert_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
#include "cli/list_input.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/run/conversion_pipeline.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/list/finding_spool.h"
#include "core/list/list_findings.h"
#include "core/list/text_import.h"
#include "core/texts/user_texts.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <cstdlib>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace tabrino::cli {
namespace {

// What a conversion writes, known before anything is read.
struct ConvertFiles {
  std::filesystem::path outputDirectory;
  DbDate date;
};

// A -o that names a file rather than a folder: one that exists and is no
// folder, or a name the database's own would take (ending in .dbh).
bool namesAFile(const std::filesystem::path& folder) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(folder, ec);
  if (std::filesystem::exists(status)) return !std::filesystem::is_directory(status);
  std::string extension = folder.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".dbh";
}

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
  if (namesAFile(files.outputDirectory)) {
    // The path would be joined with the database's name and fail as a
    // missing folder, which says nothing of the mistake.
    std::cerr << messagePrefix() << "-o takes a folder; the database is always named DB_YYMMDD.dbh\n";
    return kUsage;
  }
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

void printOverLimit(const ConvertOptions& options, std::uint64_t cameras) {
  std::cerr << messagePrefix() << counted(cameras, "camera", "cameras") << ", more than --max-records "
            << *options.maxRecords << "; nothing was written. --bbox, --polygon, --types, --speed, --exclude "
            << "and --drop-duplicates cut the count.\n";
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
    // A region or an ignore list that cannot be read stops the run before the lists are read.
    PipelineOptions run{makeFilter(options.filter), options.nearMetres, options.dropDuplicates, options.maxRecords};
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
    // --fail-on-findings counts the findings even when nothing is printed.
    const bool counting = !options.quiet || options.failOnFindings;
    ListFindings findings(!counting, spool ? &*spool : nullptr);
    CameraTable table;
    if (!readCameraList(options.lists, table, sources, findings, progress, options.quiet, options.osmDirection, nullptr,
                        options.cameraDefaults.defaults())) {
      return kFailure;
    }
    const ConversionSettings settings{files.outputDirectory, files.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    PipelineFindings wanted;
    wanted.summary = counting ? &findings.summary() : nullptr;
    if (report) {
      wanted.report = &*report;
      wanted.imported = [&spool](FindingSink& sink) { spool->replay(sink); };
    }
    PipelineEvents events;
    events.writing = progress.callback("Writing");
    const PipelineResult result = runPipeline(table, sources, run, settings, wanted, events);
    progress.finish();
    if (!options.quiet && run.filter.active()) std::cout << leftOutText(run.filter, result.filtered) << "\n";
    if (result.outcome == PipelineResult::Outcome::FilteredAll) {
      std::cerr << messagePrefix() << "the filters left no camera: nothing written\n";
      return kFailure;
    }
    if (result.outcome == PipelineResult::Outcome::OverLimit) {
      printOverLimit(options, result.cameras);
      return kFailure;
    }
    if (!options.quiet) printWritten(options, result.written, findings, sources);
    return options.failOnFindings && unmeantFindings(findings.summary()) != 0 ? kFindings : kSuccess;
  });
}

}  // namespace tabrino::cli
