#include "core/run/run_choices.h"

#include "core/base/c_numbers.h"
#include "core/check/duplicates.h"
#include "core/list/text_import.h"
#include "core/platform/file_io.h"

#include <charconv>

namespace tabrino {
namespace {

std::optional<double> nearText(const std::string& text) {
  const auto parsed = parseCDouble(text);
  if (parsed.length == 0 || parsed.length != text.size() || !(parsed.value > 0) || parsed.value > kMaxNearMetres) {
    return std::nullopt;
  }
  return parsed.value;
}

std::optional<std::uint64_t> countText(const std::string& text) {
  std::uint64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// A type or a speed: a whole number from 0 to 255, as a list's cell holds.
std::optional<std::uint8_t> byteText(const std::string& text) {
  const auto value = countText(text);
  if (!value || *value > 255) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

}  // namespace

std::optional<std::string> problemWith(const RunChoices& choices) {
  std::string problem;
  if (!choices.box.empty() && !parseBoundingBox(choices.box, problem)) return "Box: " + problem;
  if (!choices.types.empty() && !parseTypes(choices.types, problem)) return "Types: " + problem;
  if (!choices.speeds.empty() && !parseSpeedRange(choices.speeds, problem)) return "Speeds: " + problem;
  if (!choices.nearMetres.empty() && !nearText(choices.nearMetres)) {
    return "Near: a distance in metres above 0 and at most 1000";
  }
  if (!choices.maxRecords.empty() && !countText(choices.maxRecords)) return "Most records: a whole number from 0";
  if (!choices.cameraType.empty() && !byteText(choices.cameraType)) return "Default type: a whole number from 0 to 255";
  if (!choices.cameraSpeed.empty() && !byteText(choices.cameraSpeed)) {
    return "Default speed: a whole number of km/h from 0 to 255";
  }
  return std::nullopt;
}

CameraDefaults cameraDefaults(const RunChoices& choices) {
  CameraDefaults defaults;
  if (!choices.cameraType.empty()) defaults.type = byteText(choices.cameraType);
  if (const auto speed = choices.cameraSpeed.empty() ? std::nullopt : byteText(choices.cameraSpeed)) {
    defaults.speed = *speed;
  }
  return defaults;
}

PipelineOptions pipelineOptions(const RunChoices& choices) {
  PipelineOptions options;
  std::string problem;
  if (!choices.box.empty()) options.filter.keepBox(*parseBoundingBox(choices.box, problem));
  if (!choices.types.empty()) options.filter.keepTypes(*parseTypes(choices.types, problem));
  if (!choices.speeds.empty()) options.filter.keepSpeeds(*parseSpeedRange(choices.speeds, problem));
  if (!choices.region.empty()) options.filter.keepRegion(Region::read(choices.region, displayPath(choices.region)));
  if (!choices.ignoreList.empty()) {
    CameraTable table;
    ListSources sources;
    const std::string name = displayPath(choices.ignoreList);
    const ImportResult result = importNextList({name, choices.ignoreList}, table, sources);
    if (!result.loaded()) {
      throw IgnoreListError(std::string(result.messageText()) + " : " + name, result.code);
    }
    options.filter.leaveOut(ExcludedCameras(table, std::move(sources)));
  }
  options.dropDuplicates = choices.dropDuplicates;
  if (!choices.nearMetres.empty()) options.nearMetres = *nearText(choices.nearMetres);
  if (!choices.maxRecords.empty()) options.maxRecords = countText(choices.maxRecords);
  return options;
}

}  // namespace tabrino
