#include "core/map/camera_page.h"

#include "core/map/map_density.h"
#include "core/map/type_marks.h"

#include "core/base/errors.h"
#include "core/export/geo_export.h"
#include "core/map/world_borders.h"
#include "core/map/world_places.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

// Generated at build time: Leaflet from where cmake/Leaflet.cmake found it
// (empty in a build without it) and the page's own script
// (core/map/camera_page.js).
extern const unsigned char kLeafletJs[];
extern const std::size_t kLeafletJsSize;
extern const unsigned char kLeafletCss[];
extern const std::size_t kLeafletCssSize;
extern const unsigned char kLeafletLicense[];
extern const std::size_t kLeafletLicenseSize;
extern const unsigned char kCameraPageJs[];
extern const std::size_t kCameraPageJsSize;

namespace tabrino {
namespace {

// Bytes per camera in the page: latitude and longitude (degrees × 10000,
// as stored), its number (line or record) and the four bytes of the record.
constexpr std::size_t kPageCameraSize = 16;
// Land and border points go to the page in the cameras' own unit, 0.0001°:
// finer than the data's grid, and whole numbers.
constexpr double kPageUnitsPerDegree = 10000;

std::string_view embedded(const unsigned char* bytes, std::size_t size) {
  return {reinterpret_cast<const char*>(bytes), size};
}

// A script element ends at the first "</script" whatever its case; the
// slash of any such inside the code (in a string or a comment) is escaped,
// which means the same in a script.
void appendScriptText(std::string& out, std::string_view text) {
  const auto endsElement = [&](std::size_t at) {
    static constexpr std::string_view kTag = "script";
    if (text.size() - at < 2 + kTag.size()) return false;
    for (std::size_t i = 0; i < kTag.size(); ++i) {
      if ((text[at + 2 + i] | 0x20) != kTag[i]) return false;
    }
    return true;
  };
  for (std::size_t at = 0;;) {
    std::size_t found = text.find("</", at);
    while (found != std::string_view::npos && !endsElement(found)) found = text.find("</", found + 2);
    if (found == std::string_view::npos) {
      out.append(text.substr(at));
      return;
    }
    out.append(text.substr(at, found - at));
    out += "<\\/";
    at = found + 2;
  }
}

void appendBase64(std::string& out, const std::uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::size_t start = out.size();
  out.resize(start + (size + 2) / 3 * 4);
  char* to = &out[start];
  std::size_t at = 0;
  for (; at + 3 <= size; at += 3) {
    const std::uint32_t v = std::uint32_t{bytes[at]} << 16 | std::uint32_t{bytes[at + 1]} << 8 | bytes[at + 2];
    *to++ = kDigits[v >> 18];
    *to++ = kDigits[(v >> 12) & 63];
    *to++ = kDigits[(v >> 6) & 63];
    *to++ = kDigits[v & 63];
  }
  if (at < size) {
    const bool two = at + 1 < size;
    const std::uint32_t v = std::uint32_t{bytes[at]} << 16 | (two ? std::uint32_t{bytes[at + 1]} << 8 : 0);
    *to++ = kDigits[v >> 18];
    *to++ = kDigits[(v >> 12) & 63];
    *to++ = two ? kDigits[(v >> 6) & 63] : '=';
    *to++ = '=';
  }
}

void putVarint(std::vector<std::uint8_t>& out, std::uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(value));
}

void putZigzag(std::vector<std::uint8_t>& out, std::int64_t value) {
  putVarint(out, value < 0 ? (static_cast<std::uint64_t>(-(value + 1)) << 1) | 1 : static_cast<std::uint64_t>(value) << 1);
}

// One layer of lines: their count, then per line its point count and each
// point as zigzag varint steps of longitude and latitude from the one before
// (the first from 0,0), in kPageUnitsPerDegree.
void putLines(std::vector<std::uint8_t>& out, const std::vector<std::vector<GeoPoint>>& lines) {
  putVarint(out, lines.size());
  for (const auto& line : lines) {
    putVarint(out, line.size());
    std::int64_t lon = 0, lat = 0;
    for (const GeoPoint& point : line) {
      const auto x = std::llround(point.lon * kPageUnitsPerDegree);
      const auto y = std::llround(point.lat * kPageUnitsPerDegree);
      putZigzag(out, x - lon);
      putZigzag(out, y - lat);
      lon = x;
      lat = y;
    }
  }
}

// The places, the most important first: their count, then per place its
// name's length and UTF-8 bytes, its longitude and latitude as zigzag
// varints in kPageUnitsPerDegree, and the zoom from which it is named, ×10.
void putPlaces(std::vector<std::uint8_t>& out, const std::vector<Place>& places) {
  putVarint(out, places.size());
  for (const Place& place : places) {
    putVarint(out, place.name.size());
    out.insert(out.end(), place.name.begin(), place.name.end());
    putZigzag(out, std::llround(place.at.lon * kPageUnitsPerDegree));
    putZigzag(out, std::llround(place.at.lat * kPageUnitsPerDegree));
    putVarint(out, static_cast<std::uint64_t>(std::llround(place.minZoom * 10)));
  }
}

// The land rings, the border lines, the lakes' rings and the places, in
// base64; the same for every page.
const std::string& landBase64() {
  static const std::string text = [] {
    const WorldBorders& world = worldBorders();
    const WorldPlaces& places = worldPlaces();
    std::vector<std::uint8_t> bytes;
    putLines(bytes, world.landRings);
    putLines(bytes, world.borderLines);
    putLines(bytes, places.lakeRings);
    putPlaces(bytes, places.places);
    std::string out;
    appendBase64(out, bytes.data(), bytes.size());
    return out;
  }();
  return text;
}

// Column after column, so that the page reads each as one typed array:
// every latitude, every longitude, every number (all 32-bit little-endian),
// then every type, speed, direction type and direction code.
std::vector<std::uint8_t> packedCameras(const std::vector<CameraRecord>& cameras, const CameraNumbers& numbers,
                                        std::size_t count) {
  std::vector<std::uint8_t> bytes(count * kPageCameraSize);
  std::uint8_t* const latitudes = bytes.data();
  std::uint8_t* const longitudes = latitudes + 4 * count;
  std::uint8_t* const numberColumn = longitudes + 4 * count;
  std::uint8_t* const types = numberColumn + 4 * count;
  std::uint8_t* const speeds = types + count;
  std::uint8_t* const directionTypes = speeds + count;
  std::uint8_t* const directionCodes = directionTypes + count;
  const auto put32 = [](std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  std::size_t at = 0;
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    const CameraRecord& c = cameras[i];
    if (!inBounds(c.latitude, c.longitude)) continue;
    // A line past 32 bits (a list of billions of lines) goes as 0: unknown.
    const std::uint64_t number = numbers.lines.empty() ? i + 1 : numbers.lines[i];
    put32(latitudes + 4 * at, static_cast<std::uint32_t>(c.latitude));
    put32(longitudes + 4 * at, static_cast<std::uint32_t>(c.longitude));
    put32(numberColumn + 4 * at,
          number <= std::numeric_limits<std::uint32_t>::max() ? static_cast<std::uint32_t>(number) : 0);
    types[at] = c.type;
    speeds[at] = c.speed;
    directionTypes[at] = c.directionType;
    directionCodes[at] = c.directionCode;
    ++at;
  }
  return bytes;
}

// The first view: the cameras near the rest (as the picture frames them),
// as " data-extent=\"SOUTH WEST NORTH EAST\"" in stored units, and the
// meridian the page centres longitudes on (as the picture does), as
// " data-meridian=\"LON\"": each longitude is taken within half a turn of
// it, so cameras on both sides of the 180th meridian lie side by side and
// WEST or EAST may lie past ±180. Nothing without cameras.
std::string extentAttributes(const std::vector<CameraRecord>& cameras) {
  const MapPlacement placed = placeOnMap(cameras);
  if (placed.shown.empty()) return "";
  constexpr std::int64_t kTurn = 360 * static_cast<std::int64_t>(kPageUnitsPerDegree);
  const std::int64_t meridian = std::llround(placed.centralMeridian * kPageUnitsPerDegree);
  const auto unwrapped = [&](std::int32_t lon) {
    std::int64_t d = (lon - meridian) % kTurn;
    if (d < -kTurn / 2) d += kTurn;
    if (d >= kTurn / 2) d -= kTurn;
    return meridian + d;
  };
  std::int64_t south = placed.shown.front().latitude, north = south;
  std::int64_t west = unwrapped(placed.shown.front().longitude), east = west;
  for (const CameraRecord& c : placed.shown) {
    south = std::min<std::int64_t>(south, c.latitude);
    north = std::max<std::int64_t>(north, c.latitude);
    west = std::min(west, unwrapped(c.longitude));
    east = std::max(east, unwrapped(c.longitude));
  }
  return " data-extent=\"" + std::to_string(south) + " " + std::to_string(west) + " " + std::to_string(north) + " " +
         std::to_string(east) + "\" data-meridian=\"" + std::to_string(meridian) + "\"";
}

// The list's own values go into the page up to this many bytes (some
// 250,000 cameras); a page of more names its cameras by IDX alone and stays
// small enough to open.
constexpr std::size_t kListValuesBudget = std::size_t{8} << 20;

// Each camera's cells on a line of its own, as the cameras go into the page
// (those out of bounds left out): the IDX, then, with `values`, the X, Y and
// DIRECTION the list wrote, apart by tabs. Text as the list wrote it, read
// only when asked for. No "<" may end or escape the element it is in: "<"
// and the backslash that marks it are written as \x3c and \\.
void appendListCells(std::string& out, const std::vector<CameraRecord>& cameras, const std::string& cells,
                     bool values) {
  std::size_t at = 0;
  for (const CameraRecord& c : cameras) {
    const std::size_t end = std::min(cells.find('\n', at), cells.size());
    const std::size_t kept = values ? end : std::min(cells.find('\t', at), end);
    if (inBounds(c.latitude, c.longitude)) {
      for (std::size_t i = at; i < kept; ++i) {
        if (cells[i] == '<') {
          out += "\\x3c";
        } else if (cells[i] == '\\') {
          out += "\\\\";
        } else {
          out += cells[i];
        }
      }
      out += '\n';
    }
    at = end + 1;
  }
}

// A license inside a block comment: a "*/" in it would end the comment early.
void appendCommentText(std::string& out, std::string_view text) {
  for (std::size_t at = 0;;) {
    const std::size_t found = text.find("*/", at);
    if (found == std::string_view::npos) {
      appendScriptText(out, text.substr(at));
      return;
    }
    appendScriptText(out, text.substr(at, found + 1 - at));
    out += ' ';
    at = found + 1;
  }
}

}  // namespace

bool cameraPageBuiltIn() { return kLeafletJsSize > 0; }

std::string cameraPageHtml(const std::vector<CameraRecord>& cameras, const MapTitle& title,
                           const CameraNumbers& numbers) {
  if (!cameraPageBuiltIn()) throw TabrinoError(std::string(kNoCameraPageText));
  std::array<std::uint64_t, 256> typeCounts{};
  std::size_t count = 0;
  for (const CameraRecord& c : cameras) {
    if (!inBounds(c.latitude, c.longitude)) continue;
    ++typeCounts[c.type];
    ++count;
  }
  const std::string heading = title.fileName + (title.date.empty() ? "" : " \u2014 " + title.date);
  const std::string_view leafletJs = embedded(kLeafletJs, kLeafletJsSize);
  const std::string_view leafletCss = embedded(kLeafletCss, kLeafletCssSize);
  const std::string_view pageJs = embedded(kCameraPageJs, kCameraPageJsSize);
  const std::string& land = landBase64();

  std::string html;
  html.reserve(leafletJs.size() + leafletCss.size() + pageJs.size() + land.size() + count * kPageCameraSize * 4 / 3 +
               (1 << 16));
  html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
          "<meta name=\"generator\" content=\"tabrino\">\n<title>" +
          xmlEscaped(heading) + "</title>\n<style>\n";
  html.append(leafletCss);  // a style sheet, without markup
  html += "\nhtml, body, #map { height: 100%; margin: 0; }\n"
          "#map { background: #d3e5f1; font: 13px/1.4 sans-serif; }\n"
          ".tabrino-title { background: rgba(255,255,255,.9); padding: 4px 8px; border-radius: 4px; }\n"
          ".tabrino-title b { font-size: 14px; }\n"
          ".tabrino-swatch { vertical-align: -1px; margin-right: 4px; }\n"
          ".tabrino-place { white-space: nowrap; font: 12px/16px sans-serif; color: #222;\n"
          "  text-shadow: 0 0 2px #fff, 0 0 2px #fff, 0 0 3px #fff; }\n"
          ".tabrino-place::before { content: ''; display: inline-block; width: 5px; height: 5px;\n"
          "  margin-right: 4px; border-radius: 50%; background: #333; border: 1px solid #fff; vertical-align: 0; }\n"
          ".tabrino-search { background: #fff; }\n"
          ".tabrino-search input { width: 12em; padding: 5px 7px; border: 0; font: inherit; }\n"
          ".tabrino-search-status { padding: 0 7px 4px; max-width: 12em; }\n"
          ".tabrino-search-status:empty { display: none; }\n"
          ".tabrino-stack { max-height: 18em; overflow-y: auto; }\n"
          ".tabrino-asked { background: #fff3c4; }\n"
          ".tabrino-key { background: rgba(255,255,255,.9); padding: 4px 8px; border-radius: 4px; line-height: 18px; }\n"
          ".tabrino-key i { display: inline-block; width: 12px; height: 12px; margin-right: 6px; opacity: .65;\n"
          "  vertical-align: -2px; outline: 1px solid #999; }\n"
          // Leaflet's own icon is an image file beside its style sheet, which
          // a page of its own does not have.
          ".leaflet-control-layers-toggle { background-image: url(\"data:image/svg+xml,"
          "%3Csvg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 26 26'%3E%3Cg stroke='%23333' stroke-width='1.5' "
          "stroke-linejoin='round'%3E%3Cpath fill='%23bbb' d='M13 13 24 18 13 23 2 18z'/%3E%3Cpath fill='%23ddd' "
          "d='M13 8 24 13 13 18 2 13z'/%3E%3Cpath fill='%23fff' d='M13 3 24 8 13 13 2 8z'/%3E%3C/g%3E%3C/svg%3E\"); "
          "background-size: 26px 26px; }\n"
          ".tabrino-stack hr { border: 0; border-top: 1px solid #ccc; }\n"
          "</style>\n</head>\n<body>\n<div id=\"map\"></div>\n";
  // What the script reads: the heading, the numbering, the types present
  // with their names and counts, and the data.
  html += "<div id=\"page\" hidden data-count=\"" + std::to_string(count) + "\" data-numbering=\"" +
          (numbers.lines.empty() ? "record" : "line") + "\"" + extentAttributes(cameras) + ">\n<span id=\"heading\">" + xmlEscaped(heading) +
          "</span>\n<ul id=\"types\">\n";
  // Each type as the picture draws it: marks chosen for the types commonest
  // first, listed by type.
  std::vector<std::uint8_t> byCount;
  for (std::size_t type = 0; type < typeCounts.size(); ++type) {
    if (typeCounts[type] > 0) byCount.push_back(static_cast<std::uint8_t>(type));
  }
  std::stable_sort(byCount.begin(), byCount.end(),
                   [&](std::uint8_t a, std::uint8_t b) { return typeCounts[a] > typeCounts[b]; });
  std::array<TypeMark, 256> marks{};
  for (const TypeMark& mark : typeMarks(byCount)) marks[mark.type] = mark;
  for (std::size_t type = 0; type < typeCounts.size(); ++type) {
    if (typeCounts[type] == 0) continue;
    html += "<li data-type=\"" + std::to_string(type) + "\" data-count=\"" + std::to_string(typeCounts[type]) +
            "\" data-colour=\"" + marks[type].colour + "\" data-shape=\"" + markShapeName(marks[type].shape) + "\">" +
            xmlEscaped(cameraTypeName(static_cast<std::uint8_t>(type))) + "</li>\n";
  }
  html += "</ul>\n<ul id=\"lists\">\n";
  // The lists' names, at the line (over all lists) of each one's header.
  if (numbers.lists.size() > 1) {
    for (const ListSources::Start& list : numbers.lists) {
      html += "<li data-first=\"" + std::to_string(list.firstLine) + "\">" + xmlEscaped(list.name) + "</li>\n";
    }
  }
  html += "</ul>\n<ul id=\"density-classes\">\n";
  // The density grid's classes, as the picture has them.
  for (std::size_t cls = 0; cls < kDensityClasses; ++cls) {
    html += "<li data-from=\"" + densityFromText(cls) + "\" data-colour=\"" + densityColour(cls) + "\">" +
            densityRangeText(cls) + "</li>\n";
  }
  html += "</ul>\n</div>\n<script type=\"application/octet-stream\" id=\"land\">";
  html += land;
  html += "</script>\n<script type=\"application/octet-stream\" id=\"cameras\">";
  const std::vector<std::uint8_t> packed = packedCameras(cameras, numbers, count);
  appendBase64(html, packed.data(), packed.size());
  html += "</script>\n";
  if (!numbers.cells.empty()) {
    const bool values = numbers.cells.size() <= kListValuesBudget;
    html += std::string("<script type=\"text/plain\" id=\"ids\" data-values=\"") + (values ? "yes" : "no") + "\">";
    appendListCells(html, cameras, numbers.cells, values);
    html += "</script>\n";
  }
  html += "<script>\n/* Leaflet, https://leafletjs.com/\n";
  appendCommentText(html, embedded(kLeafletLicense, kLeafletLicenseSize));
  html += "*/\n";
  appendScriptText(html, leafletJs);
  html += "\n</script>\n<script>\n";
  appendScriptText(html, pageJs);
  html += "\n</script>\n</body>\n</html>\n";
  return html;
}

void writeCameraPage(const std::filesystem::path& path, const std::vector<CameraRecord>& cameras,
                     const MapTitle& title, const CameraNumbers& numbers) {
  AtomicFileWriter out(path);
  out.write(cameraPageHtml(cameras, title, numbers));
  out.commit();
}

}  // namespace tabrino
