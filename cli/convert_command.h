// tabrino convert LIST... [-o DIR] [--date YYYY-MM-DD] [--seed N] [--report FILE]
//                         [--near METERS] [--drop-duplicates] [--osm-direction travel|facing]
//                         [--bbox W,S,E,N] [--polygon FILE] [--types 1,2,3] [--speed MIN-MAX]
//                         [--exclude LIST...] [--max-records N] [--fail-on-findings] [--force] [--quiet]
// A LIST may be an OpenStreetMap extract (.osm.pbf, .osm, .osm.bz2).
#pragma once

#include "cli/list_input.h"

#include "cli/filter_options.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tabrino::cli {

struct ConvertOptions {
  std::vector<std::string> lists;  // read in this order into one table; "-": standard input (once)
  std::string outputDirectory = ".";
  std::string date;  // YYYY-MM-DD; empty: SOURCE_DATE_EPOCH, else today (UTC)
  std::optional<std::uint32_t> seed;
  std::string report;  // CSV of every list finding; empty: none
  double nearMetres = 0;  // also report rows this close to an earlier one; 0: only duplicates
  bool dropDuplicates = false;
  std::string osmDirection;  // for an extract: "travel", "facing"; empty: direction tags are not used
  CameraDefaultOptions cameraDefaults;  // for the shared formats' cameras that do not say
  FilterOptions filter;
  std::optional<std::uint64_t> maxRecords;  // more cameras than this is a failure
  bool force = false;  // replace outputs marked read-only
  bool failOnFindings = false;  // exit kFindings when the lists had findings (the database is still written)
  bool quiet = false;
};

// Exit status (cli/exit_codes.h): kSuccess converted, kFindings converted with
// findings (with failOnFindings), kFailure, kUsage.
int runConvert(const ConvertOptions& options);

}  // namespace tabrino::cli
