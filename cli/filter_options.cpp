#include "cli/filter_options.h"

#include "cli/messages.h"
#include "cli/output_folder.h"
#include "core/list/text_import.h"

#include <sstream>

namespace tabrino::cli {

CameraFilter makeFilter(const FilterOptions& options) {
  CameraFilter filter;
  std::string problem;
  // The command line has checked the texts: these parse.
  if (!options.bbox.empty()) filter.keepBox(*parseBoundingBox(options.bbox, problem));
  if (!options.types.empty()) filter.keepTypes(*parseTypes(options.types, problem));
  if (!options.speed.empty()) filter.keepSpeeds(*parseSpeedRange(options.speed, problem));
  if (!options.polygon.empty()) filter.keepRegion(Region::read(argumentPath(options.polygon), options.polygon));
  if (!options.exclude.empty()) {
    CameraTable table;
    ListSources sources;
    for (const std::string& list : options.exclude) {
      const ImportResult result = importNextList({list, argumentPath(list)}, table, sources);
      if (!result.loaded()) {
        std::ostringstream message;
        printImportFailure(message, result, "--exclude " + list);
        std::string text = message.str();
        if (!text.empty() && text.back() == '\n') text.pop_back();
        throw ExcludeListError(text);
      }
    }
    filter.leaveOut(ExcludedCameras(table, std::move(sources)));
  }
  return filter;
}

std::string leftOutText(const CameraFilter& filter, const FilterCounts& counts) {
  if (!filter.active()) return {};
  std::uint64_t total = 0;
  std::string parts;
  for (std::size_t i = 0; i < kFilterKindCount; ++i) {
    const auto kind = static_cast<FilterKind>(i);
    if (!filter.uses(kind)) continue;
    total += counts[i];
    parts += (parts.empty() ? "" : ", ") + std::to_string(counts[i]) + " by " + filterOptionName(kind);
  }
  return "Left out " + counted(total, "row", "rows") + ": " + parts;
}

}  // namespace tabrino::cli
