#include "core/filter/region.h"

#include "core/base/c_numbers.h"
#include "core/model/camera_record.h"
#include "core/platform/file_io.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

namespace tabrino {
namespace {

// A ring as given, its closing point (a repeat of the first) dropped.
Region::Ring closedRing(Region::Ring ring) {
  if (ring.size() > 1 && ring.front().longitude == ring.back().longitude &&
      ring.front().latitude == ring.back().latitude) {
    ring.pop_back();
  }
  return ring;
}

void checkPoint(const Region::Point& point, const std::string& where) {
  if (!(std::fabs(point.longitude) <= 180.0) || !(std::fabs(point.latitude) <= 90.0)) {
    throw RegionError(where + ": a point out of range (longitude -180 to 180, latitude -90 to 90)");
  }
}

void checkRing(const Region::Ring& ring, const std::string& where) {
  if (ring.size() < 3) throw RegionError(where + ": a ring of fewer than three points");
}

// Whole text as one number, in C syntax.
bool wholeNumber(std::string_view text, double& value) {
  const auto parsed = parseCDouble(text);
  value = parsed.value;
  return parsed.length > 0 && parsed.length == text.size();
}

std::vector<Region::Ring> parsePoly(std::string_view text, const std::string& name) {
  std::vector<Region::Ring> rings;
  std::uint64_t lineNumber = 0;
  bool inRing = false, ended = false;
  std::string ringStart;
  Region::Ring ring;
  while (!text.empty() && !ended) {
    const std::size_t lineEnd = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, lineEnd);
    text.remove_prefix(std::min(lineEnd + 1, text.size()));
    ++lineNumber;
    const std::string where = name + " line " + std::to_string(lineNumber);
    const std::size_t first = line.find_first_not_of(" \t\r");
    line = first == std::string_view::npos ? std::string_view() : line.substr(first);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
    if (lineNumber == 1) continue;  // the region's name
    if (line.empty()) continue;
    if (line == "END") {
      if (inRing) {
        ring = closedRing(std::move(ring));
        checkRing(ring, ringStart);
        rings.push_back(std::move(ring));
        ring.clear();
        inRing = false;
      } else {
        ended = true;
      }
      continue;
    }
    if (!inRing) {  // a section's name; ! marks a hole, which even-odd needs no word of
      inRing = true;
      ringStart = name + " line " + std::to_string(lineNumber);
      continue;
    }
    const std::size_t gap = line.find_first_of(" \t");
    Region::Point point{};
    const std::string_view rest = gap == std::string_view::npos ? std::string_view() : line.substr(gap);
    if (gap == std::string_view::npos || !wholeNumber(line.substr(0, gap), point.longitude) ||
        !wholeNumber(rest.substr(std::min(rest.find_first_not_of(" \t"), rest.size())), point.latitude)) {
      throw RegionError(where + ": expected a longitude and a latitude, got \"" + std::string(line) + "\"");
    }
    checkPoint(point, where);
    ring.push_back(point);
  }
  if (!ended) throw RegionError(name + ": the .poly file ends without END");
  if (rings.empty()) throw RegionError(name + ": no ring in the .poly file");
  return rings;
}

// GeoJSON rings: [[longitude, latitude], ...].
void addJsonPolygon(const nlohmann::json& polygon, const std::string& name, std::vector<Region::Ring>& rings) {
  if (!polygon.is_array()) throw RegionError(name + ": a Polygon's coordinates are not a list of rings");
  for (const nlohmann::json& points : polygon) {
    if (!points.is_array()) throw RegionError(name + ": a ring is not a list of points");
    Region::Ring ring;
    for (const nlohmann::json& position : points) {
      if (!position.is_array() || position.size() < 2 || !position[0].is_number() || !position[1].is_number()) {
        throw RegionError(name + ": a point is not [longitude, latitude]");
      }
      const Region::Point point{position[0].get<double>(), position[1].get<double>()};
      checkPoint(point, name);
      ring.push_back(point);
    }
    ring = closedRing(std::move(ring));
    checkRing(ring, name + " (ring " + std::to_string(rings.size() + 1) + ")");
    rings.push_back(std::move(ring));
  }
}

void addJsonGeometry(const nlohmann::json& object, const std::string& name, std::vector<Region::Ring>& rings) {
  if (!object.is_object()) throw RegionError(name + ": expected a GeoJSON object");
  const std::string type = object.value("type", "");
  if (type == "FeatureCollection" && object.contains("features") && object["features"].is_array()) {
    for (const nlohmann::json& feature : object["features"]) addJsonGeometry(feature, name, rings);
  } else if (type == "Feature" && object.contains("geometry")) {
    addJsonGeometry(object["geometry"], name, rings);
  } else if (type == "Polygon" && object.contains("coordinates")) {
    addJsonPolygon(object["coordinates"], name, rings);
  } else if (type == "MultiPolygon" && object.contains("coordinates") && object["coordinates"].is_array()) {
    for (const nlohmann::json& polygon : object["coordinates"]) addJsonPolygon(polygon, name, rings);
  } else {
    throw RegionError(name + ": expected a GeoJSON Polygon or MultiPolygon, got " +
                      (type.empty() ? std::string("an object without a type") : "a " + type));
  }
}

std::vector<Region::Ring> parseGeoJson(std::string_view text, const std::string& name) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(text.begin(), text.end());
  } catch (const nlohmann::json::parse_error& error) {
    throw RegionError(name + ": not valid JSON (byte " + std::to_string(error.byte) + ")");
  }
  std::vector<Region::Ring> rings;
  addJsonGeometry(document, name, rings);
  if (rings.empty()) throw RegionError(name + ": no ring in the GeoJSON");
  return rings;
}

}  // namespace

Region::Region(const std::vector<Ring>& rings) {
  minX_ = minY_ = std::numeric_limits<double>::infinity();
  maxX_ = maxY_ = -std::numeric_limits<double>::infinity();
  for (const Ring& ring : rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const Point& a = ring[i];
      const Point& b = ring[(i + 1) % ring.size()];
      const Edge edge{a.longitude * kCoordinateScale, a.latitude * kCoordinateScale, b.longitude * kCoordinateScale,
                      b.latitude * kCoordinateScale};
      if (edge.y1 == edge.y2) continue;  // a ray along the parallel never crosses it
      edges_.push_back(edge);
      minX_ = std::min({minX_, edge.x1, edge.x2});
      maxX_ = std::max({maxX_, edge.x1, edge.x2});
      minY_ = std::min({minY_, edge.y1, edge.y2});
      maxY_ = std::max({maxY_, edge.y1, edge.y2});
    }
  }
  if (edges_.empty()) return;
  // About two edges a band; each edge is listed in every band it reaches.
  const std::size_t bands = std::max<std::size_t>(1, edges_.size() / 2);
  bandHeight_ = std::max((maxY_ - minY_) / static_cast<double>(bands), 1e-9);
  bandStart_.assign(bands + 1, 0);
  auto forBands = [&](const Edge& edge, auto&& visit) {
    const std::size_t last = bandOf(std::max(edge.y1, edge.y2));
    for (std::size_t b = bandOf(std::min(edge.y1, edge.y2)); b <= last; ++b) visit(b);
  };
  for (const Edge& edge : edges_) forBands(edge, [&](std::size_t b) { ++bandStart_[b + 1]; });
  for (std::size_t b = 0; b < bands; ++b) bandStart_[b + 1] += bandStart_[b];
  bandEdges_.resize(bandStart_[bands]);
  std::vector<std::uint32_t> next(bandStart_.begin(), bandStart_.end() - 1);
  for (std::size_t e = 0; e < edges_.size(); ++e) {
    forBands(edges_[e], [&](std::size_t b) { bandEdges_[next[b]++] = static_cast<std::uint32_t>(e); });
  }
}

std::size_t Region::bandOf(double y) const noexcept {
  const double band = std::floor((y - minY_) / bandHeight_);
  if (!(band > 0)) return 0;
  return std::min(static_cast<std::size_t>(band), bandStart_.size() - 2);
}

bool Region::contains(std::int32_t latitude, std::int32_t longitude) const noexcept {
  const double x = longitude, y = latitude;
  if (edges_.empty() || x < minX_ || x > maxX_ || y < minY_ || y > maxY_) return false;
  const std::size_t band = bandOf(y);
  bool inside = false;
  for (std::uint32_t i = bandStart_[band]; i < bandStart_[band + 1]; ++i) {
    const Edge& e = edges_[bandEdges_[i]];
    if ((e.y1 > y) != (e.y2 > y) && x < e.x1 + (y - e.y1) * (e.x2 - e.x1) / (e.y2 - e.y1)) inside = !inside;
  }
  return inside;
}

Region Region::parse(std::string_view text, const std::string& name) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && (text[first] == '{' || text[first] == '[')) return Region(parseGeoJson(text, name));
  return Region(parsePoly(text, name));
}

Region Region::read(const std::filesystem::path& path, const std::string& name) {
  errno = 0;
  const UniqueFile file = openFile(path, "rb");
  if (!file) throw FileReadError(name, lastErrorText());
  std::string text;
  char buffer[1 << 16];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) text.append(buffer, got);
  if (std::ferror(file.get())) throw FileReadError(name, lastErrorText());
  return parse(text, name);
}

}  // namespace tabrino
