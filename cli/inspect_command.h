// tabrino inspect FILE.dbh [--quiet]
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace tabrino::cli {

struct InspectOptions {
  std::string file;
  bool quiet = false;
};

CLI::App* addInspectCommand(CLI::App& app, InspectOptions& options);

// Exit status: 0 sound, 1 not sound or not readable, 2 bad usage.
int runInspect(const InspectOptions& options);

}  // namespace tabrino::cli
