#include "cli/list_input.h"

#include "cli/from_osm_command.h"

#include "cli/messages.h"
#include "cli/output_folder.h"
#include "core/list/text_import.h"

#include <filesystem>
#include <iostream>
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

bool readCameraList(const std::vector<std::string>& arguments, CameraTable& table, ListSources& sources,
                    ListFindings& findings, ProgressBar& progress, bool quiet, const std::string& osmDirection) {
  ImportOptions options;
  options.findings = findings.sink();
  options.progress = progress.callback("Reading");
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::string list = sourceName(argument);
    ImportResult imported;
    if (isExtractArgument(argument)) {
      if (sources.count() == 0) {
        imported.loadedCount = readExtractForConvert(argument, osmDirection, table, options.findings, options.progress);
      } else {
        // An extract clears the table it fills: it is read apart and its
        // rows follow the lists before it.
        CameraTable extract;
        imported.loadedCount = readExtractForConvert(argument, osmDirection, extract, options.findings, options.progress);
        table.appendRows(extract, sources.nextLine());
      }
      sources.add(list, imported.loadedCount + 1);  // its lines as from-osm writes them, the header's too
    } else {
      // Room for the rows of the lists still to come is reserved at once.
      options.laterBytes = 0;
      for (std::size_t later = i + 1; later < arguments.size(); ++later) {
        std::error_code error;
        const auto size = std::filesystem::file_size(argumentPath(arguments[later]), error);
        if (!error) options.laterBytes += size;
      }
      const ListInput input{list, isStandardStream(argument) ? std::filesystem::path() : argumentPath(argument),
                            isStandardStream(argument) ? stdin : nullptr};
      imported = importNextList(input, table, sources, options);
    }
    progress.finish();  // the terminal may show stdout and stderr on one screen
    if (!imported.loaded()) {
      printImportFailure(std::cerr, imported, list);
      return false;
    }
    if (!quiet) std::cout << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << list << "\n";
  }
  return true;
}

}  // namespace tabrino::cli
