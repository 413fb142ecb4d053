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

namespace tabrino::cli {
namespace {

// Passes what the import sees on to the findings (when wanted) and the bar.
class ImportWatch : public ImportObserver {
 public:
  ImportWatch(ListFindings* findings, ProgressBar& progress) : findings_(findings), progress_(progress) {}
  void lineRead(const LineShape& line) override {
    if (findings_) findings_->lineRead(line);
  }
  void bytesRead(std::uint64_t done, std::uint64_t total) override { progress_.update("Reading", done, total); }

 private:
  ListFindings* findings_;
  ProgressBar& progress_;
};

}  // namespace

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
  const bool wantFindings = !options.quiet || !options.report.empty();
  ListFindings findings;
  CameraTable table;
  try {
    ImportWatch watch(wantFindings ? &findings : nullptr, progress);
    const ImportResult imported = importCameraList(argumentPath(options.list), table, &watch);
    if (!imported.loaded()) {
      progress.finish();
      std::cerr << imported.messageText();
      if (imported.outcome == ImportOutcome::WrongHeader) {
        std::cerr << "\n" << options.list
                  << ": the first line is not the header IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION"
                     " (its second field must be X)\n";
      } else {
        std::cerr << " : " << options.list << ": " << imported.systemReason << "\n";
      }
      return 1;
    }
    progress.finish();  // the terminal may show stdout and stderr on one screen
    if (!options.quiet) {
      std::cout << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << options.list << "\n";
    }
    if (wantFindings) findings.checkRows(table);  // before the sort, in line order
    if (!options.report.empty()) writeFindingsReport(findings.all(), argumentPath(options.report));

    const ConversionSettings settings{outputDirectory, *date.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    const ConversionSummary summary = runConversion(
        table, settings, [&](std::uint32_t accepted) { progress.update("Writing", accepted, table.size()); });
    progress.finish();
    if (!options.quiet) {
      std::cout << "Wrote " << counted(summary.recordsWritten, "record", "records") << "; skipped "
                << counted(summary.rowsSkipped, "row", "rows") << " with coordinates out of range\n"
                << "DB Conversion end. [" << displayPath(summary.outputPath) << "]\n";
      std::cout.flush();
      printFindingsSummary(std::cerr, findings, options.report);
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
