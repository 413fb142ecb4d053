#include "cli/inspect_command.h"

#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/platform/byte_source.h"
#include "core/database/db_inspect.h"

#include <algorithm>
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

// A list's header names X second: "IDX,X,Y,...".
bool looksLikeList(ByteSource& source) {
  std::string start(static_cast<std::size_t>(std::min<std::uint64_t>(source.size(), 4096)), '\0');
  source.read(0, reinterpret_cast<std::uint8_t*>(start.data()), start.size());
  const std::string line = start.substr(0, start.find('\n'));
  const std::size_t comma = line.find(',');
  return comma != std::string::npos && line.compare(comma + 1, 2, "X,") == 0;
}

}  // namespace

int runInspect(const InspectOptions& options) {
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kFailure, "the file is too large for this machine", [&]() -> int {
    const std::string shownName = sourceName(options.file);
    const std::unique_ptr<ByteSource> source = openDatabase(options.file);
    const DatabaseInspection report = inspectDatabase(*source, progress.callback("Checking"));
    progress.finish();
    if (!report.magicFound && report.fileSize > 0) {
      // Its "fields" would be noise: say what it is not, and what it may be.
      std::cout << shownName << ": not a camera database\n";
      if (looksLikeList(*source)) std::cout << "it looks like a camera list: use " << kProgramName << " convert\n";
      return kProblems;
    }
    if (!options.quiet) printFields(shownName, report);
    if (report.sound()) {
      if (!options.quiet) std::cout << "OK\n";
      return kSuccess;
    }
    std::cout << (options.quiet ? shownName + ": " : "") << counted(report.problemCount(), "problem", "problems")
              << ":\n";
    printProblems(std::cout, report);
    return kProblems;
  });
}

}  // namespace tabrino::cli
