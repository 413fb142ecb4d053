// tabrino dump FILE.dbh [--format list|gpx|kml|geojson] [-o OUT] [--quiet]
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace tabrino::cli {

struct DumpOptions {
  std::string file;
  std::string output;  // empty: standard output
  std::string format = "list";
  bool quiet = false;
};

CLI::App* addDumpCommand(CLI::App& app, DumpOptions& options);

// Exit status: 0 dumped, 1 not a database or a file failed, 2 bad usage.
int runDump(const DumpOptions& options);

}  // namespace tabrino::cli
