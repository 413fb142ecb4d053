#include "cli/list_input.h"

#include "cli/from_osm_command.h"

#include "cli/messages.h"
#include "cli/output_folder.h"
#include "core/run/inputs.h"
#include "core/list/text_import.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

namespace tabrino::cli {
namespace {

std::vector<FindingSink*> wanted(std::initializer_list<FindingSink*> sinks) {
  std::vector<FindingSink*> kept;
  for (FindingSink* sink : sinks) {
    if (sink) kept.push_back(sink);
  }
  return kept;
}

}  // namespace

ListFindings::ListFindings(bool quiet, FindingSink* report)
    : sinks_(wanted({quiet ? nullptr : &summary_, report})), fanOut_(sinks_) {}

void openReport(std::optional<FindingReport>& report, const std::string& argument, const ListSources* sources) {
  if (isStandardStream(argument)) {
    report.emplace(stdout, "standard output", sources);
  } else {
    report.emplace(argumentPath(argument), sources);
  }
}

namespace {

// What the lists after `i` add: room for their rows is reserved at once.
// Only files that begin as lists count: a huge file that is not one would
// size room for rows it never gives. (Only regular files have a size, so
// no pipe is read ahead of its turn.)
std::uint64_t bytesAfter(const std::vector<std::string>& arguments, std::size_t i) {
  std::uint64_t bytes = 0;
  for (std::size_t later = i + 1; later < arguments.size(); ++later) {
    const std::filesystem::path path = argumentPath(arguments[later]);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && startsAsList(path)) bytes += size;
  }
  return bytes;
}

}  // namespace

bool readCameraList(const std::vector<std::string>& arguments, CameraTable& table, ListSources& sources,
                    ListFindings& findings, ProgressBar& progress, bool quiet, const std::string& osmDirection,
                    InputFile* firstInput, const CameraDefaults& cameraDefaults, bool keepText) {
  ImportOptions options;
  options.keepText = keepText;
  options.findings = findings.sink();
  options.progress = progress.callback("Reading");
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::string list = sourceName(argument);
    std::optional<InputFile> opened;
    if (i != 0 || !firstInput) openInput(opened, argument);
    InputFile& input = i == 0 && firstInput ? *firstInput : *opened;
    // An extract is told from a list by its first bytes, which the input
    // keeps: a pipe's are not lost to whichever reads it.
    InputOptions inputOptions{options, directionUse(osmDirection), arguments.size() > 1};
    inputOptions.import.laterBytes = bytesAfter(arguments, i);
    inputOptions.cameraDefaults = cameraDefaults;
    const ImportResult imported = readInput(input, table, sources, inputOptions);
    progress.finish();  // the terminal may show stdout and stderr on one screen
    if (!imported.loaded()) {
      printImportFailure(std::cerr, imported, list, input.firstBytes());
      return false;
    }
    if (!quiet) statusOut() << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << list << "\n";
  }
  return true;
}

}  // namespace tabrino::cli
