// A region to keep cameras in: rings of points, read from a .poly file (the
// format of OpenStreetMap extract tools: a name line, then sections of
// "longitude latitude" lines each closed by END, a section whose name starts
// with ! being a hole, and END at the end) or from GeoJSON (a Polygon or
// MultiPolygon, bare or in a Feature or FeatureCollection).
//
// A point is inside when a ray from it crosses the rings an odd number of
// times (even-odd over all rings), so holes and islands in holes need no
// special case. Points are tested on the stored, scaled coordinates; a
// bounding-box test and an index of the edges by latitude band keep a test
// to a few edges even for a region of many thousands of points.
#pragma once

#include "core/base/errors.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

// A region file that cannot be used, with the file (and line, where it has
// one) and what is wrong.
class RegionError : public TabrinoError {
 public:
  explicit RegionError(std::string messageText) : TabrinoError(std::move(messageText), {}) {}
};

class Region {
 public:
  struct Point {
    double longitude;  // degrees
    double latitude;
  };
  using Ring = std::vector<Point>;

  // Rings of at least three points each; a ring need not repeat its first
  // point at its end.
  explicit Region(const std::vector<Ring>& rings);

  // Reads a .poly or GeoJSON file (told apart by its first character);
  // `name` names it in errors. Throws FileReadError when it cannot be read,
  // RegionError when its content is not a region.
  static Region read(const std::filesystem::path& path, const std::string& name);
  static Region parse(std::string_view text, const std::string& name);

  // Whether the stored point (scaled coordinates) lies inside.
  bool contains(std::int32_t latitude, std::int32_t longitude) const noexcept;
  std::size_t edgeCount() const noexcept { return edges_.size(); }

 private:
  struct Edge {
    double x1, y1, x2, y2;  // scaled longitude and latitude
  };
  std::size_t bandOf(double y) const noexcept;

  std::vector<Edge> edges_;
  double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
  double bandHeight_ = 1;
  // The edges of band b are bandEdges_[bandStart_[b], bandStart_[b + 1]).
  std::vector<std::uint32_t> bandStart_;
  std::vector<std::uint32_t> bandEdges_;
};

}  // namespace tabrino
