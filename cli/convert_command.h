// tabrino convert LIST... [-o DIR] [--date YYYY-MM-DD] [--seed N] [--report FILE]
//                      [--near METERS] [--drop-duplicates] [--quiet]
#pragma once

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
  FilterOptions filter;
  std::optional<std::uint64_t> maxRecords;  // more cameras than this is a failure
  bool quiet = false;
};

// Exit status: 0 converted, 1 failed, 2 bad usage.
int runConvert(const ConvertOptions& options);

}  // namespace tabrino::cli
