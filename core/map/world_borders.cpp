#include "core/map/world_borders.h"

#include "core/map/packed_reader.h"

#include <cmath>

// Generated at build time from data/borders/borders.bin.
extern const unsigned char kTabrinoBorderData[];
extern const std::size_t kTabrinoBorderDataSize;

namespace tabrino {
namespace {

struct Grid {
  double lonScale, lonOrigin, latScale, latOrigin;
  std::int64_t maxX;
};

// Lines as grid points; the caller turns them into degrees.
template <typename Visit>
void readLayer(PackedReader& in, Visit visit) {
  const std::uint64_t lines = in.varint();
  std::vector<std::pair<std::int64_t, std::int64_t>> points;
  for (std::uint64_t line = 0; line < lines; ++line) {
    const std::uint64_t count = in.varint();
    points.clear();
    std::int64_t x = static_cast<std::int64_t>(in.varint());
    std::int64_t y = static_cast<std::int64_t>(in.varint());
    points.emplace_back(x, y);
    for (std::uint64_t i = 1; i < count; ++i) {
      x += in.zigzag();
      y += in.zigzag();
      points.emplace_back(x, y);
    }
    visit(points);
  }
}

}  // namespace

WorldBorders decodeWorldBorders(const std::uint8_t* bytes, std::size_t size) {
  PackedReader in(bytes, size, "border data");
  if (in.byte() != 'T' || in.byte() != 'B' || in.byte() != 'R' || in.byte() != 'B' || in.byte() != 1) {
    in.fail("has an unknown layout");
  }
  Grid grid{};
  grid.lonScale = in.f64();
  grid.lonOrigin = in.f64();
  grid.latScale = in.f64();
  grid.latOrigin = in.f64();
  grid.maxX = static_cast<std::int64_t>(in.littleEndian(4));
  auto degrees = [&](const std::pair<std::int64_t, std::int64_t>& p) {
    return GeoPoint{grid.lonOrigin + grid.lonScale * static_cast<double>(p.first),
                    grid.latOrigin + grid.latScale * static_cast<double>(p.second)};
  };

  // TopoJSON joins land across the 180th meridian, so a ring may jump from
  // +180 to -180 between neighbours. Longitudes are unwrapped to run on
  // without a jump (Chukotka lies east of 180), and a ring that goes round
  // the Earth (Antarctica) is closed over its pole.
  auto unwrapped = [&](const auto& points, std::vector<GeoPoint>& line) {
    line.clear();
    for (const auto& p : points) {
      GeoPoint point = degrees(p);
      // Whole turns only, so that a ring that returns comes back to the
      // very same value.
      if (!line.empty()) point.lon += 360.0 * std::round((line.back().lon - point.lon) / 360.0);
      line.push_back(point);
    }
  };

  WorldBorders borders;
  std::vector<GeoPoint> ring;
  readLayer(in, [&](const auto& points) {
    unwrapped(points, ring);
    std::vector<bool> coast;
    coast.reserve(points.size() + 2);
    for (std::size_t i = 0; i < points.size(); ++i) {
      // Natural Earth's own cut along the meridian, where a ring keeps it,
      // and the edge at the data's lowest latitude, where world-atlas cut
      // Antarctica off.
      const auto& a = points[i];
      const auto& b = points[i + 1 < points.size() ? i + 1 : i];
      coast.push_back(!(a.first == b.first && (a.first == 0 || a.first == grid.maxX)) &&
                      !(a.second == 0 && b.second == 0));
    }
    const double turn = ring.back().lon - ring.front().lon;
    if (std::fabs(turn) > 180) {
      const double pole = ring.front().lat < 0 ? -90.0 : 90.0;
      coast.back() = false;
      ring.push_back({ring.back().lon, pole});
      coast.push_back(false);
      ring.push_back({ring.front().lon, pole});
      coast.push_back(false);
      ring.push_back(ring.front());
      coast.push_back(false);
    }
    borders.landRings.push_back(ring);
    borders.coastEdges.push_back(std::move(coast));
  });
  std::vector<GeoPoint> line;
  readLayer(in, [&](const auto& points) {
    unwrapped(points, line);
    borders.borderLines.push_back(line);
  });
  if (!in.atEnd()) in.fail("has bytes past its end");
  return borders;
}

const WorldBorders& worldBorders() {
  static const WorldBorders borders = decodeWorldBorders(kTabrinoBorderData, kTabrinoBorderDataSize);
  return borders;
}

}  // namespace tabrino
