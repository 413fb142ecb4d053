// tabrino from-osm EXTRACT [-o LIST] [--report FILE] [--osm-direction travel|facing] [--fail-on-findings]
//                  [--force] [--quiet]
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
  bool failOnFindings = false;  // exit kFindings when the extract had findings (the list is still written)
  bool quiet = false;
};

// Exit status (cli/exit_codes.h): kSuccess written, kFindings written with
// findings (with failOnFindings), kFailure, kUsage.
int runFromOsm(const FromOsmOptions& options);

// How --osm-direction's word ("travel", "facing", or none) takes an
// extract's direction tags.
OsmDirectionUse directionUse(const std::string& word);

}  // namespace tabrino::cli
