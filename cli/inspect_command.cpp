#include "cli/inspect_command.h"

#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/platform/byte_source.h"
#include "core/database/db_inspect.h"

#include <cstdio>
#include <iostream>
#include <memory>

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

int runInspect(const InspectOptions& options) {
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kFailure, "the file is too large for this machine", [&]() -> int {
    const std::string shownName = sourceName(options.file);
    const std::unique_ptr<ByteSource> source = openDatabase(options.file);
    const DatabaseInspection report = inspectDatabase(*source, progress.callback("Checking"));
    progress.finish();
    if (!options.quiet) printFields(shownName, report);
    if (report.sound()) {
      if (!options.quiet) std::cout << "OK\n";
      return kSuccess;
    }
    const std::size_t count = report.problems.size() + report.unlistedProblems;
    std::cout << (options.quiet ? shownName + ": " : "") << counted(count, "problem", "problems")
              << ":\n";
    printProblems(std::cout, report);
    return kProblems;
  });
}

}  // namespace tabrino::cli
