#include "cli/filter_options.h"

#include "cli/input_file.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "core/list/text_import.h"


namespace tabrino::cli {

std::vector<NamedFile> filterInputs(const FilterOptions& options) {
  std::vector<NamedFile> inputs;
  if (!options.polygon.empty()) inputs.push_back(namedFile("--polygon", options.polygon));
  for (const std::string& list : options.exclude) inputs.push_back(namedFile("--exclude", list));
  return inputs;
}

CameraFilter makeFilter(const FilterOptions& options) {
  CameraFilter filter;
  std::string problem;
  // The command line has checked the texts: these parse.
  if (!options.bbox.empty()) filter.keepBox(*parseBoundingBox(options.bbox, problem));
  if (!options.types.empty()) filter.keepTypes(*parseTypes(options.types, problem));
  if (!options.speed.empty()) filter.keepSpeeds(*parseSpeedRange(options.speed, problem));
  if (isStandardStream(options.polygon)) {
    filter.keepRegion(Region::read(stdin, sourceName(options.polygon)));
  } else if (!options.polygon.empty()) {
    filter.keepRegion(Region::read(argumentPath(options.polygon), options.polygon));
  }
  if (!options.exclude.empty()) {
    CameraTable table;
    ListSources sources;
    for (const std::string& list : options.exclude) {
      // Opened once, so that "-" and a pipe are read like a file.
      std::optional<InputFile> opened;
      openInput(opened, list);
      InputFile& input = *opened;
      const ListStream stream = input.listStream();
      const ImportResult result =
          stream.file ? importNextList({sourceName(list), {}, &stream}, table, sources) : input.openFailure();
      if (!result.loaded()) throw ExcludeListError(importFailureText(result, "--exclude " + sourceName(list), input.firstBytes()));
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
