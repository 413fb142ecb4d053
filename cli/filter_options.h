// The filters convert, map and dump share: the options as typed, and the
// filter they make.
#pragma once

#include "cli/output_folder.h"
#include "core/filter/camera_filter.h"

#include <optional>
#include <string>
#include <vector>

namespace tabrino::cli {

struct FilterOptions {
  std::string bbox;     // W,S,E,N; empty: none
  std::string polygon;  // a .poly or GeoJSON file; empty: none
  std::string types;    // 1,2,3; empty: all
  std::string speed;    // MIN-MAX; empty: all
  std::vector<std::string> exclude;  // lists whose cameras are left out

  bool any() const noexcept {
    return !bbox.empty() || !polygon.empty() || !types.empty() || !speed.empty() || !exclude.empty();
  }
};

// The files the filters read (the region, the lists to exclude), named for
// the check that no output of the run overwrites them.
std::vector<NamedFile> filterInputs(const FilterOptions& options);

// The filter of options whose text the command line has checked; reads the
// region and the lists to exclude. Throws what reading them throws
// (RegionError, FileReadError) and ExcludeListError.
CameraFilter makeFilter(const FilterOptions& options);

// An --exclude list that could not be read.
class ExcludeListError : public TabrinoError {
 public:
  explicit ExcludeListError(std::string messageText) : TabrinoError(std::move(messageText)) {}
};

// "Left out 3 rows: 2 by --bbox, 1 by --types", for the filters in use;
// empty without filters.
std::string leftOutText(const CameraFilter& filter, const FilterCounts& counts);

}  // namespace tabrino::cli
