// A region to keep cameras in: rings of points, read from a .poly file (the
// format of OpenStreetMap extract tools: a name line, then sections of
// "longitude latitude" lines each closed by END, a section whose name starts
// with ! being a hole, and END at the end) or from GeoJSON (a Polygon or
// MultiPolygon, bare or in a Feature or FeatureCollection).
//
// A point is inside when a ray from it towards the east crosses the rings an
// odd number of times (even-odd over all rings), so holes and islands in
// holes need no special case. Points are tested on the stored, scaled
// coordinates. The edges are kept in an R-tree of their boxes, so that a test
// looks only at the edges whose latitudes reach the point's and that lie on
// one side of it (the shorter, which gives the same parity): memory grows
// with the edges alone, whatever their shape (a zig-zag across the whole
// map, thousands of edges in one narrow strip).
#pragma once

#include "core/base/errors.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

// A region file that cannot be used, with the file (and line, where it has
// one) and what is wrong.
class RegionError : public TabrinoError {
 public:
  explicit RegionError(std::string messageText) : TabrinoError(std::move(messageText)) {}
};

class Region {
 public:
  struct Point {
    double longitude;  // degrees
    double latitude;
  };
  using Ring = std::vector<Point>;

  // The most a region file may hold: a country's detailed boundary takes
  // tens of MB, and a file read whole must not take the machine's memory.
  static constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;
  // The deepest a GeoJSON file may nest its objects and arrays: a
  // FeatureCollection's coordinates lie 8 deep.
  static constexpr int kMaxJsonDepth = 64;

  // Rings of at least three points each; a ring need not repeat its first
  // point at its end. Throws RegionError for a point out of range (longitude
  // -180 to 180, latitude -90 to 90).
  explicit Region(const std::vector<Ring>& rings);

  // Reads a .poly or GeoJSON file (told apart by its first character after
  // a UTF-8 byte order mark and blanks); `name` names it in errors. A .poly
  // file is read up to its last END and no further. Throws FileReadError
  // when it cannot be read, RegionError when its content is not a region or
  // it holds more than maxBytes.
  static Region read(const std::filesystem::path& path, const std::string& name,
                     std::size_t maxBytes = kMaxFileBytes);
  // The same from a stream already open (standard input, a pipe), from where
  // it stands, read once and never rewound; the stream stays open.
  static Region read(std::FILE* file, const std::string& name, std::size_t maxBytes = kMaxFileBytes);
  static Region parse(std::string_view text, const std::string& name);

  // Whether the stored point (scaled coordinates) lies inside.
  bool contains(std::int32_t latitude, std::int32_t longitude) const noexcept;
  std::size_t edgeCount() const noexcept;

 private:
  struct EdgeIndex;
  // Never changed once made, so copies of a region share it.
  std::shared_ptr<const EdgeIndex> index_;
};

}  // namespace tabrino
