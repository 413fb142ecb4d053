// tabrino map FILE [-o OUT.svg|OUT.html] [--format svg|html] [--report FILE] [--force] [--quiet]: a
// picture of where the cameras of a list or a database are, or an interactive page.
#pragma once

#include "cli/filter_options.h"
#include "cli/list_input.h"

#include <string>

namespace tabrino::cli {

struct MapOptions {
  std::string file;
  std::string output;  // empty: FILE's name with .svg (.html for --format html), beside it
  std::string format;  // "svg" or "html"; empty: html for an output named .html or .htm
  std::string report;  // for a list: where every finding goes
  FilterOptions filter;
  CameraDefaultOptions cameraDefaults;  // for the shared formats' cameras that do not say
  bool force = false;  // replace outputs marked read-only
  bool quiet = false;
};

// Exit status: kSuccess drawn, kFailure the input could not be read or the picture not
// written, kUsage.
int runMap(const MapOptions& options);

}  // namespace tabrino::cli
