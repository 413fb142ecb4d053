#include "cli/convert_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
#include "cli/messages.h"
#include "cli/progress_bar.h"
#include "core/conversion_run.h"
#include "core/duplicates.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/finding_spool.h"
#include "core/list_findings.h"
#include "core/text_import.h"
#include "core/user_texts.h"

#include <cstdlib>
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
                      "Write every row or line that did not become a camera as meant, or repeats an earlier "
                      "camera, and why, to this CSV file (line numbers from 1)");
  command->add_option("--near", options.nearMetres,
                      "Also report rows within METERS of an earlier row with the same direction")
      ->option_text("METERS")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            char* end = nullptr;
            const double metres = std::strtod(text.c_str(), &end);
            if (end != text.c_str() && *end == '\0' && metres > 0 && metres <= kMaxNearMetres) return {};
            return "METERS must be a number above 0 and at most 1000";
          },
          ""));
  command->add_flag("--drop-duplicates", options.dropDuplicates,
                    "Write one record for each camera entered more than once: the lowest speed above 0, "
                    "else the first");
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
    // Findings are spooled while the list is read and written to the report
    // with the duplicates, which are known only once the whole list is. The
    // report is opened first: a report that cannot be written stops the run.
    std::optional<FindingReport> report;
    std::optional<FindingSpool> spool;
    if (!options.report.empty()) {
      report.emplace(options.report);
      spool.emplace();
    }
    FindingSummary summary;
    std::vector<FindingSink*> sinks;
    if (!options.quiet) sinks.push_back(&summary);
    if (spool) sinks.push_back(&*spool);
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

    const ConversionSettings settings{options.outputDirectory, *date.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    std::vector<std::uint32_t> dropped;
    table.sortByLatitude();
    if (!sinks.empty() || options.dropDuplicates) {
      const DuplicateScan duplicates(table, {options.nearMetres, options.dropDuplicates});
      if (!options.quiet) duplicates.report(summary);
      if (report) {
        duplicates.reportWith([&](FindingSink& sink) { spool->replay(sink); }, *report);
        report->commit();
      }
      if (options.dropDuplicates) dropped = duplicates.droppedPositions();
    }
    const ConversionSummary written = writeCameraDatabase(table, settings, dropped, progress.callback("Writing"));
    progress.finish();
    if (!options.quiet) {
      std::cout << conversionCountsText(written.recordsWritten, written.rowsSkipped);
      if (options.dropDuplicates) std::cout << "; dropped " << counted(written.rowsLeftOut, "duplicate", "duplicates");
      std::cout << "\n" << conversionEndText(displayPath(written.outputPath)) << "\n";
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
