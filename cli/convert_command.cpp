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
  const bool wantFindings = !options.quiet || !options.report.empty();
  ListFindings findings;
  CameraTable table;
  try {
    ImportWatch watch(wantFindings ? &findings : nullptr, progress);
    const ImportResult imported = importCameraList(options.list, table, &watch);
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
    if (!options.report.empty()) writeFindingsReport(findings.all(), options.report);

    const ConversionSettings settings{options.outputDirectory, *date.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    const ConversionSummary summary = runConversion(
        table, settings, [&](std::uint32_t accepted) { progress.update("Writing", accepted, table.size()); });
    progress.finish();
    if (!options.quiet) {
      std::cout << "Wrote " << counted(summary.recordsWritten, "record", "records") << "; skipped "
                << counted(summary.rowsSkipped, "row", "rows") << " with coordinates out of range\n"
                << conversionEndText(displayPath(summary.outputPath)) << "\n";
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
