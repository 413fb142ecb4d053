#include "core/map/world_places.h"

#include "core/map/packed_reader.h"

// Generated at build time from data/places/places.bin.
extern const unsigned char kTabrinoPlaceData[];
extern const std::size_t kTabrinoPlaceDataSize;

namespace tabrino {
namespace {

constexpr double kUnitsPerDegree = 10000;

double degreesOf(std::int64_t units) { return static_cast<double>(units) / kUnitsPerDegree; }

}  // namespace

WorldPlaces decodeWorldPlaces(const std::uint8_t* bytes, std::size_t size) {
  PackedReader in(bytes, size, "place data");
  if (in.byte() != 'T' || in.byte() != 'B' || in.byte() != 'R' || in.byte() != 'P' || in.byte() != 1) {
    in.fail("has an unknown layout");
  }
  WorldPlaces world;
  const std::uint64_t places = in.count();
  world.places.reserve(static_cast<std::size_t>(places));
  for (std::uint64_t i = 0; i < places; ++i) {
    Place place;
    place.rank = in.byte();
    place.minZoom = in.byte() / 10.0;
    place.name = in.text(in.varint());
    const double lon = degreesOf(in.zigzag()), lat = degreesOf(in.zigzag());
    if (lon < -180 || lon > 180 || lat < -90 || lat > 90) in.fail("holds a place off the Earth");
    place.at = {lon, lat};
    world.places.push_back(std::move(place));
  }
  const std::uint64_t rings = in.count();
  world.lakeRings.reserve(static_cast<std::size_t>(rings));
  for (std::uint64_t r = 0; r < rings; ++r) {
    const std::uint64_t points = in.count();
    if (points < 3) in.fail("holds a lake of fewer than three points");
    std::vector<GeoPoint> ring;
    ring.reserve(static_cast<std::size_t>(points) + 1);
    std::int64_t x = 0, y = 0;
    for (std::uint64_t i = 0; i < points; ++i) {
      x += in.zigzag();
      y += in.zigzag();
      ring.push_back({degreesOf(x), degreesOf(y)});
    }
    ring.push_back(ring.front());
    world.lakeRings.push_back(std::move(ring));
  }
  if (!in.atEnd()) in.fail("has bytes past its end");
  return world;
}

const WorldPlaces& worldPlaces() {
  static const WorldPlaces world = decodeWorldPlaces(kTabrinoPlaceData, kTabrinoPlaceDataSize);
  return world;
}

}  // namespace tabrino
