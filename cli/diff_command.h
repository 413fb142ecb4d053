// tabrino diff OLD NEW [--report FILE] [--force] [--quiet]
#pragma once

#include "cli/list_input.h"

#include <string>

namespace tabrino::cli {

struct DiffOptions {
  std::string before;  // a list or a database
  std::string after;
  std::string report;  // CSV of every difference; empty: none
  CameraDefaultOptions cameraDefaults;  // for the shared formats' cameras that do not say
  bool force = false;  // replace outputs marked read-only
  bool quiet = false;
};

// Exit status as diff's: kSuccess the same cameras, kDifferences cameras added, removed or
// changed, kTrouble (bad usage included).
int runDiff(const DiffOptions& options);

}  // namespace tabrino::cli
