#include "cli/inspect_command.h"

#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/platform/byte_source.h"
#include "core/database/db_inspect.h"
#include "core/export/ov2_inspect.h"

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

// An OV2 file is told by its first record; a database begins "rudb".
bool looksLikeOv2(ByteSource& source) {
  std::string start(static_cast<std::size_t>(std::min<std::uint64_t>(source.size(), 5)), '\0');
  source.read(0, reinterpret_cast<std::uint8_t*>(start.data()), start.size());
  return startsLikeOv2(start);
}

int inspectOv2File(const InspectOptions& options, const std::string& shownName, ByteSource& source) {
  std::string bytes(static_cast<std::size_t>(source.size()), '\0');
  source.read(0, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
  const Ov2Inspection report = inspectOv2(bytes);
  if (!options.quiet) {
    std::cout << shownName << ": " << report.fileSize << " bytes, an OV2 file\n"
              << "  POIs       " << report.pois << "\n";
    if (report.extendedPois != 0) std::cout << "  extended   " << report.extendedPois << "\n";
    if (report.deleted != 0) std::cout << "  deleted    " << report.deleted << "\n";
    std::cout << "  skippers   " << report.skippers << " (nested " << report.depth << " deep, at most "
              << report.largestLeaf << " POIs in a block of no blocks)\n";
  }
  if (report.sound()) {
    if (!options.quiet) std::cout << "OK\n";
    return kSuccess;
  }
  std::cout << (options.quiet ? shownName + ": " : "") << counted(report.problemCount(), "problem", "problems")
            << ":\n";
  for (const Ov2Problem& problem : report.problems) {
    std::cout << "  at byte " << problem.offset << ": " << problem.text << "\n";
  }
  if (report.unlistedProblems != 0) std::cout << "  and " << report.unlistedProblems << " more\n";
  return kProblems;
}

}  // namespace

int runInspect(const InspectOptions& options) {
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kFailure, "the file is too large for this machine", [&]() -> int {
    const std::string shownName = sourceName(options.file);
    const std::unique_ptr<ByteSource> source = openDatabase(options.file);
    if (looksLikeOv2(*source)) return inspectOv2File(options, shownName, *source);
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
