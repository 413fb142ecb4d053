#include "cli/list_input.h"

#include "cli/from_osm_command.h"

#include "cli/messages.h"
#include "cli/output_folder.h"

#include <iostream>

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

void openReport(std::optional<FindingReport>& report, const std::string& argument) {
  if (isStandardStream(argument)) {
    report.emplace(stdout, "standard output");
  } else {
    report.emplace(argumentPath(argument));
  }
}

namespace {

// An extract is read by its own reader, by name; `input` is for a list.
bool readListOrExtract(const std::string& argument, InputFile* input, CameraTable& table, ListFindings& findings,
                       ProgressBar& progress, bool quiet, const std::string& osmDirection) {
  ImportOptions options;
  options.findings = findings.sink();
  options.progress = progress.callback("Reading");
  const std::string list = sourceName(argument);
  ImportResult imported;
  if (!input) {
    imported.loadedCount = readExtractForConvert(argument, osmDirection, table, options.findings, options.progress);
  } else {
    imported = input->importList(table, options);
  }
  progress.finish();  // the terminal may show stdout and stderr on one screen
  if (!imported.loaded()) {
    printImportFailure(std::cerr, imported, list);
    return false;
  }
  if (!quiet) statusOut() << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << list << "\n";
  return true;
}

}  // namespace

bool readCameraList(const std::string& argument, CameraTable& table, ListFindings& findings, ProgressBar& progress,
                    bool quiet, const std::string& osmDirection) {
  if (isExtractArgument(argument)) {
    return readListOrExtract(argument, nullptr, table, findings, progress, quiet, osmDirection);
  }
  InputFile input(argument);
  return readListOrExtract(argument, &input, table, findings, progress, quiet, osmDirection);
}

bool readCameraList(const std::string& argument, InputFile& input, CameraTable& table, ListFindings& findings,
                    ProgressBar& progress, bool quiet, const std::string& osmDirection) {
  return readListOrExtract(argument, isExtractArgument(argument) ? nullptr : &input, table, findings, progress, quiet,
                           osmDirection);
}

}  // namespace tabrino::cli
