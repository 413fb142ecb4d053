// tabrino from-osm EXTRACT [-o LIST] [--report FILE] [--osm-direction travel|facing] [--force] [--quiet]
// Also how convert reads an extract in place of a list.
#pragma once

#include "cli/input_file.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/base/progress.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace tabrino::cli {

struct FromOsmOptions {
  std::string extract;  // "-": standard input
  std::string output;  // empty or "-": standard output
  std::string report;  // CSV of every finding; empty: none; "-": standard output
  std::string osmDirection;  // "travel", "facing"; empty: direction tags are not used
  bool force = false;  // replace outputs marked read-only
  bool quiet = false;
};

// Exit status: 0 written, 1 failed, 2 bad usage.
int runFromOsm(const FromOsmOptions& options);

// How --osm-direction's word ("travel", "facing", or none) takes an
// extract's direction tags.
OsmDirectionUse directionUse(const std::string& word);

}  // namespace tabrino::cli
