#include "cli/convert_command.h"

#include "cli/date_option.h"
#include "core/conversion_run.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/text_import.h"

#include <iostream>
#include <new>

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
  return command;
}

int runConvert(const ConvertOptions& options) {
  const auto date = resolveDate(options.date);
  if (!date.date) {
    std::cerr << "tabrino convert: " << date.problem << "\n";
    return 2;
  }

  CameraTable table;
  try {
    const ImportResult imported = importCameraList(options.list, table);
    if (!imported.loaded()) {
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
    std::cout << "Loaded " << imported.loadedCount << " rows from " << options.list << "\n";

    const ConversionSettings settings{options.outputDirectory, *date.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    const ConversionSummary summary = runConversion(table, settings);
    std::cout << "Wrote " << summary.recordsWritten << " records; skipped " << summary.rowsSkipped
              << " rows with coordinates out of range\n"
              << "DB Conversion end. [" << displayPath(summary.outputPath) << "]\n";
    return 0;
  } catch (const TabrinoError& error) {
    std::cerr << error.messageText();
    if (!error.systemReason().empty()) std::cerr << ": " << error.systemReason();
    std::cerr << "\n";
  } catch (const std::bad_alloc&) {
    std::cerr << "Out of memory: the list is too large for this machine\n";
  }
  return 1;
}

}  // namespace tabrino::cli
