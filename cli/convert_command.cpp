#include "cli/convert_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/conversion_run.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/list_findings.h"
#include "core/text_import.h"

#include <iostream>
#include <new>
#include <optional>
#include <vector>

namespace tabrino::cli {

int runConvert(const ConvertOptions& options) {
  const auto date = resolveDate(options.date);
  if (!date.date) {
    std::cerr << "tabrino convert: " << date.problem << "\n";
    return 2;
  }
  const std::filesystem::path outputDirectory = argumentPath(options.outputDirectory);
  try {
    checkOutputFolder(outputDirectory / databaseFileName(*date.date));
  } catch (const TabrinoError& error) {
    printError(std::cerr, error);
    return 1;
  }

  ProgressBar progress(!options.quiet);
  try {
    // Findings are streamed to the report as the list is read; the report is
    // put in place only once the list has passed its header test.
    std::optional<FindingReport> report;
    if (!options.report.empty()) report.emplace(argumentPath(options.report));
    FindingSummary summary;
    std::vector<FindingSink*> sinks;
    if (!options.quiet) sinks.push_back(&summary);
    if (report) sinks.push_back(&*report);
    FindingFanOut findings(sinks);

    CameraTable table;
    ImportOptions importOptions;
    importOptions.findings = sinks.empty() ? nullptr : &findings;
    importOptions.progress = progress.callback("Reading");
    const std::string list = sourceName(options.list);
    const ImportResult imported = isStandardStream(options.list)
                                      ? importCameraStream(stdin, table, importOptions)
                                      : importCameraList(argumentPath(options.list), table, importOptions);
    progress.finish();  // the terminal may show stdout and stderr on one screen
    if (!imported.loaded()) {
      std::cerr << imported.messageText();
      if (imported.outcome == ImportOutcome::WrongHeader) {
        std::cerr << "\n" << list
                  << ": the first line is not the header IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION"
                     " (its second field must be X)\n";
      } else {
        std::cerr << " : " << list << ": " << imported.systemReason << "\n";
      }
      return 1;
    }
    if (!options.quiet) {
      std::cout << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << list << "\n";
    }
    if (report) report->commit();

    const ConversionSettings settings{outputDirectory, *date.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    const ConversionSummary written = runConversion(table, settings, progress.callback("Writing"));
    progress.finish();
    if (!options.quiet) {
      std::cout << "Wrote " << counted(written.recordsWritten, "record", "records") << "; skipped "
                << counted(written.rowsSkipped, "row", "rows") << " with coordinates out of range\n"
                << "DB Conversion end. [" << displayPath(written.outputPath) << "]\n";
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
