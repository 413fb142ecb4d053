// tabrino dump FILE [--format list|gpx|kml|geojson] [-o FILE] [--force] [--quiet]
#pragma once

#include "cli/filter_options.h"

#include <string>

namespace tabrino::cli {

struct DumpOptions {
  std::string file;    // "-": standard input
  std::string output;  // empty or "-": standard output
  std::string format = "list";
  FilterOptions filter;
  bool force = false;  // replace outputs marked read-only
  bool quiet = false;
};

// Exit status: kSuccess dumped, kFailure not a database or a file failed, kUsage.
int runDump(const DumpOptions& options);

}  // namespace tabrino::cli
