#include "cli/convert_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
#include "cli/messages.h"
#include "cli/progress_bar.h"
#include "core/conversion_run.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/list_findings.h"
#include "core/text_import.h"
#include "core/user_texts.h"

#include <iostream>
#include <new>
#include <optional>
#include <vector>

namespace tabrino::cli {
CLI::App* addConvertCommand(CLI::App& app, ConvertOptions& options) {
  CLI::App* command = app.add_subcommand("convert", "Convert a speed-camera list into DB_YYMMDD.dbh");
  command->add_option("LIST", options.list, "Speed-camera list (IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION)")
      ->required();
  command->add_option("-o,--output-dir", options.outputDirectory, "Folder for the database file")
      ->capture_default_str();
  command->add_option("--date", options.date,
                      "Date in the header and file name, YYYY-MM-DD (default: SOURCE_DATE_EPOCH, else today in UTC)");
  command->add_option("--seed", options.seed,
                      "Seed of the random block (default: the current time in seconds)");
  command->add_option("--report", options.report,
                      "Write every row or line that did not become a camera as meant, and why, to this CSV file "
                      "(line numbers from 1)");
  command->add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
  return command;
}

int runConvert(const ConvertOptions& options) {
  const auto date = resolveDate(options.date);
  if (!date.date) {
    std::cerr << "tabrino convert: " << date.problem << "\n";
    return 2;
  }

  ProgressBar progress(!options.quiet);
  try {
    // Findings are streamed to the report as the list is read; the report is
    // put in place only once the list has passed its header test.
    std::optional<FindingReport> report;
    if (!options.report.empty()) report.emplace(options.report);
    FindingSummary summary;
    std::vector<FindingSink*> sinks;
    if (!options.quiet) sinks.push_back(&summary);
    if (report) sinks.push_back(&*report);
    FindingFanOut findings(sinks);

    CameraTable table;
    ImportOptions importOptions;
    importOptions.findings = sinks.empty() ? nullptr : &findings;
    importOptions.progress = progress.callback("Reading");
    const ImportResult imported = importCameraList(options.list, table, importOptions);
    progress.finish();  // the terminal may show stdout and stderr on one screen
    if (!imported.loaded()) {
      printImportFailure(std::cerr, imported, options.list);
      return 1;
    }
    if (!options.quiet) {
      std::cout << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << options.list << "\n";
    }
    if (report) report->commit();

    const ConversionSettings settings{options.outputDirectory, *date.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    const ConversionSummary written = runConversion(table, settings, progress.callback("Writing"));
    progress.finish();
    if (!options.quiet) {
      std::cout << "Wrote " << counted(written.recordsWritten, "record", "records") << "; skipped "
                << counted(written.rowsSkipped, "row", "rows") << " with coordinates out of range\n"
                << conversionEndText(displayPath(written.outputPath)) << "\n";
      std::cout.flush();
      printFindingsSummary(std::cerr, summary, options.report);
    }
    return 0;
  } catch (const TabrinoError& error) {
    progress.finish();
    printError(std::cerr, error);
  } catch (const std::bad_alloc&) {
    progress.finish();
    std::cerr << "Out of memory: the list is too large for this machine\n";
  }
  return 1;
}

}  // namespace tabrino::cli
