#include "cli/list_input.h"

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

bool readCameraList(const std::string& argument, CameraTable& table, ListFindings& findings, ProgressBar& progress,
                    bool quiet) {
  InputFile input(argument);
  return readCameraList(argument, input, table, findings, progress, quiet);
}

bool readCameraList(const std::string& argument, InputFile& input, CameraTable& table, ListFindings& findings,
                    ProgressBar& progress, bool quiet) {
  ImportOptions options;
  options.findings = findings.sink();
  options.progress = progress.callback("Reading");
  const std::string list = sourceName(argument);
  const ImportResult imported = input.importList(table, options);
  progress.finish();  // the terminal may show stdout and stderr on one screen
  if (!imported.loaded()) {
    printImportFailure(std::cerr, imported, list);
    return false;
  }
  if (!quiet) statusOut() << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << list << "\n";
  return true;
}

}  // namespace tabrino::cli
