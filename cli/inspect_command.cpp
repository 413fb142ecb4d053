#include "cli/inspect_command.h"

#include "cli/messages.h"
#include "cli/progress_bar.h"
#include "core/byte_source.h"
#include "core/db_inspect.h"

#include <cstdio>
#include <iostream>

namespace tabrino::cli {
namespace {

std::string hexByte(std::uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", unsigned{byte});
  return text;
}

void printFields(const std::string& file, const DatabaseInspection& report) {
  std::cout << file << ": " << report.fileSize << " bytes\n";
  if (!report.headerComplete) return;
  std::cout << "  date       " << isoDateText(report.date) << " (file name " << report.fileName << ")\n"
            << "  records    " << report.recordCount << "\n"
            << "  body size  " << report.storedBodySize << "\n"
            << "  checksum   stored " << hexByte(report.storedChecksum) << ", computed "
            << hexByte(report.computedChecksum) << "\n";
}

}  // namespace

CLI::App* addInspectCommand(CLI::App& app, InspectOptions& options) {
  CLI::App* command = app.add_subcommand("inspect", "Check a database file and show what it holds");
  command->add_option("FILE", options.file, "Camera database file (DB_YYMMDD.dbh)")->required();
  command->add_flag("-q,--quiet", options.quiet, "Print only the problems found, and errors");
  return command;
}

int runInspect(const InspectOptions& options) {
  ProgressBar progress(!options.quiet);
  try {
    FileSource source(options.file);
    const DatabaseInspection report = inspectDatabase(source, progress.callback("Checking"));
    progress.finish();
    if (!options.quiet) printFields(options.file, report);
    if (report.sound()) {
      if (!options.quiet) std::cout << "OK\n";
      return 0;
    }
    const std::size_t count = report.problems.size() + report.unlistedProblems;
    std::cout << (options.quiet ? options.file + ": " : "") << counted(count, "problem", "problems")
              << ":\n";
    printProblems(std::cout, report);
  } catch (const TabrinoError& error) {
    progress.finish();
    printError(std::cerr, error);
  }
  return 1;
}

}  // namespace tabrino::cli
