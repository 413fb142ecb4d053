// The world's land and the borders between countries, built into the
// program from data/borders/borders.bin (Natural Earth, public domain; see
// data/borders/README.md), for the map pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tabrino {

struct GeoPoint {
  double lon;
  double lat;
};

struct WorldBorders {
  // Closed rings of land (first point repeated last), for filling. Their
  // longitudes run on without a jump, past ±180 where land crosses the
  // 180th meridian, so a ring draws the same whatever meridian a map
  // centres on; a ring round a pole is closed over the pole.
  std::vector<std::vector<GeoPoint>> landRings;
  // For each ring point, whether the edge from it to the next is coast
  // (false for edges along the 180th meridian, over a pole or along the
  // data's southern edge, which must not be stroked).
  std::vector<std::vector<bool>> coastEdges;
  std::vector<std::vector<GeoPoint>> borderLines;
};

// Decoded once, on first use. Throws std::runtime_error when the built-in
// data is damaged (a build fault, not a user's).
const WorldBorders& worldBorders();

// Decodes the data file's layout (scripts/make-borders.mjs describes it).
WorldBorders decodeWorldBorders(const std::uint8_t* bytes, std::size_t size);

}  // namespace tabrino
