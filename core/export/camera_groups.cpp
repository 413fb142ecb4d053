#include "core/export/camera_groups.h"

#include "core/export/camera_names.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace tabrino {
namespace {

auto allFields(const CameraRecord& c) {
  return std::tie(c.latitude, c.longitude, c.type, c.speed, c.directionType, c.directionCode);
}
auto byLongitude(const CameraRecord& c) {
  return std::tie(c.longitude, c.latitude, c.type, c.speed, c.directionType, c.directionCode);
}

// Letters, digits and a few marks are kept; what a file system might refuse
// becomes "_".
std::string fileSafe(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
  }
  return text;
}

template <typename Field>
std::string applyTemplate(const FileNameFields& fields, Field&& field) {
  const std::string_view text = fields.fileTemplate;
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('{', at);
    out += text.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('}', open);
    if (close == std::string_view::npos) {
      throw FileTemplateError("the file-name template \"" + std::string(text) + "\" opens a { it does not close");
    }
    const std::string_view name = text.substr(open + 1, close - open - 1);
    if (name == "region" && fields.region.empty()) {
      throw FileTemplateError("the file-name template \"" + std::string(text) +
                              "\" names {region}, which only --polygon gives");
    }
    if (name != "type" && name != "speed" && name != "region") {
      throw FileTemplateError("the file-name template \"" + std::string(text) + "\" names {" + std::string(name) +
                              "}; it knows {type}, {speed} and {region}");
    }
    out += field(name);
    at = close + 1;
  }
  return out;
}

// Cuts cameras[first, last) into `parts` parts of at most `cap` each.
void cutCompact(std::vector<CameraRecord>& cameras, std::size_t first, std::size_t last, std::uint64_t parts,
                std::vector<std::pair<std::size_t, std::size_t>>& ranges) {
  if (parts <= 1) {
    ranges.emplace_back(first, last);
    return;
  }
  const auto begin = cameras.begin() + static_cast<std::ptrdiff_t>(first);
  const auto end = cameras.begin() + static_cast<std::ptrdiff_t>(last);
  std::int32_t west = begin->longitude, east = west, south = begin->latitude, north = south;
  for (auto c = begin; c != end; ++c) {
    west = std::min(west, c->longitude);
    east = std::max(east, c->longitude);
    south = std::min(south, c->latitude);
    north = std::max(north, c->latitude);
  }
  const std::uint64_t leftParts = parts / 2;
  const std::uint64_t count = last - first;
  // Left gets floor(count * leftParts / parts): no more than leftParts * cap,
  // and the right no more than the rest.
  const auto leftCount = static_cast<std::size_t>(count * leftParts / parts);
  const auto middle = begin + static_cast<std::ptrdiff_t>(leftCount);
  if (std::int64_t{east} - west >= std::int64_t{north} - south) {
    std::nth_element(begin, middle, end,
                     [](const CameraRecord& a, const CameraRecord& b) { return byLongitude(a) < byLongitude(b); });
  } else {
    std::nth_element(begin, middle, end,
                     [](const CameraRecord& a, const CameraRecord& b) { return allFields(a) < allFields(b); });
  }
  cutCompact(cameras, first, first + leftCount, leftParts, ranges);
  cutCompact(cameras, first + leftCount, last, parts - leftParts, ranges);
}

}  // namespace

std::optional<SplitBy> splitByNamed(std::string_view name) noexcept {
  if (name == "speed") return SplitBy::Speed;
  if (name == "type") return SplitBy::Type;
  if (name == "type,speed" || name == "speed,type") return SplitBy::TypeAndSpeed;
  return std::nullopt;
}

void checkFileTemplate(const FileNameFields& fields) {
  applyTemplate(fields, [](std::string_view) { return std::string(); });
}

CameraBox boxAround(const std::vector<CameraRecord>& cameras) noexcept {
  CameraBox box{cameras.front().longitude, cameras.front().latitude, cameras.front().longitude,
                cameras.front().latitude};
  for (const CameraRecord& c : cameras) {
    box.west = std::min(box.west, c.longitude);
    box.east = std::max(box.east, c.longitude);
    box.south = std::min(box.south, c.latitude);
    box.north = std::max(box.north, c.latitude);
  }
  return box;
}

std::vector<CameraGroup> groupCameras(const std::vector<CameraRecord>& cameras, SplitBy split,
                                      const FileNameFields& fields, std::uint64_t maxPerFile) {
  checkFileTemplate(fields);
  const bool byType = split == SplitBy::Type || split == SplitBy::TypeAndSpeed;
  const bool bySpeed = split == SplitBy::Speed || split == SplitBy::TypeAndSpeed;
  std::map<std::pair<int, int>, std::vector<CameraRecord>> keyed;
  for (const CameraRecord& c : cameras) {
    keyed[{byType ? c.type : -1, bySpeed ? c.speed : -1}].push_back(c);
  }
  std::vector<CameraGroup> groups;
  std::set<std::string> taken;
  for (auto& [key, members] : keyed) {
    const std::string base = fileSafe(applyTemplate(fields, [&, &k = key](std::string_view name) {
      if (name == "type") return byType ? cameraTypeWord(static_cast<std::uint8_t>(k.first)) : std::string("All");
      if (name == "speed") return bySpeed ? std::to_string(k.second) : std::string("all");
      return fields.region;
    }));
    if (!taken.insert(base).second) {
      throw FileTemplateError("the file-name template \"" + std::string(fields.fileTemplate) +
                              "\" gives two groups the name " + base + ": name the fields they are split by");
    }
    // The cameras' order in the input must not show in the files.
    std::sort(members.begin(), members.end(),
              [](const CameraRecord& a, const CameraRecord& b) { return allFields(a) < allFields(b); });
    const std::uint64_t parts = maxPerFile == 0 ? 1 : (members.size() + maxPerFile - 1) / maxPerFile;
    if (parts <= 1) {
      groups.push_back({base, std::move(members)});
      continue;
    }
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    cutCompact(members, 0, members.size(), parts, ranges);
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      std::vector<CameraRecord> part(members.begin() + static_cast<std::ptrdiff_t>(ranges[i].first),
                                     members.begin() + static_cast<std::ptrdiff_t>(ranges[i].second));
      std::sort(part.begin(), part.end(),
                [](const CameraRecord& a, const CameraRecord& b) { return allFields(a) < allFields(b); });
      groups.push_back({base + "-" + std::to_string(i + 1), std::move(part)});
    }
  }
  return groups;
}

}  // namespace tabrino
