#include "cli/list_input.h"

#include "cli/from_osm_command.h"

#include "cli/messages.h"
#include "cli/output_folder.h"
#include "core/list/text_import.h"

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

bool readCameraList(const std::string& argument, CameraTable& table, ListFindings& findings, ProgressBar& progress,
                    bool quiet, const std::string& osmDirection) {
  ImportOptions options;
  options.findings = findings.sink();
  options.progress = progress.callback("Reading");
  const std::string list = sourceName(argument);
  ImportResult imported;
  if (isExtractArgument(argument)) {
    imported.loadedCount = readExtractForConvert(argument, osmDirection, table, options.findings, options.progress);
  } else {
    imported = isStandardStream(argument) ? importCameraStream(stdin, table, options)
                                          : importCameraList(argumentPath(argument), table, options);
  }
  progress.finish();  // the terminal may show stdout and stderr on one screen
  if (!imported.loaded()) {
    printImportFailure(std::cerr, imported, list);
    return false;
  }
  if (!quiet) std::cout << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << list << "\n";
  return true;
}

}  // namespace tabrino::cli
