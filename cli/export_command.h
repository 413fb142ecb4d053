// tabrino export INPUT... --format F (-o FILE | --output-dir DIR [--split-by
// speed|type|type,speed] [--file-name T] [--max-per-file N] [--icons])
// [--name T] [filters] [--near M] [--drop-duplicates] [--max-records N]
// [--report FILE] [--fail-on-findings] [--osm-direction D] [--force] [--quiet]
#pragma once

#include "cli/filter_options.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tabrino::cli {

struct ExportOptions {
  std::vector<std::string> inputs;  // lists, extracts, databases; "-": standard input
  std::string format;
  std::string output;           // one file; "-": standard output
  std::string outputDirectory;  // or a folder of files
  std::string splitBy;          // "speed", "type", "type,speed"; empty: one file
  std::string fileName;         // the file-name template; empty: the default
  std::string name;             // the camera-name template; empty: the default
  std::uint64_t maxPerFile = 0;
  bool icons = false;
  FilterOptions filter;
  double nearMetres = 0;
  bool dropDuplicates = false;
  std::optional<std::uint64_t> maxRecords;
  std::string report;  // every finding as CSV; "-": standard output
  bool failOnFindings = false;
  std::string osmDirection;
  bool force = false;
  bool quiet = false;
};

// Exit status: kSuccess written, kFailure an input or an output failed or
// nothing was left to write, kUsage, kFindings with --fail-on-findings.
int runExport(const ExportOptions& options);

}  // namespace tabrino::cli
