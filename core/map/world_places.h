// Place names and lakes, built into the program from
// data/places/places.bin (Natural Earth, public domain; see
// data/places/README.md), for the map pictures and the map page.
#pragma once

#include "core/map/world_borders.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabrino {

struct Place {
  std::string name;  // UTF-8
  GeoPoint at;
  std::uint8_t rank;     // Natural Earth's scale rank: 0 for a world map, 10 for a close one
  double minZoom;        // the web map zoom from which the place is worth a label
};

struct WorldPlaces {
  std::vector<Place> places;  // the most important first
  // Lakes' outlines and their islands, closed (first point repeated last),
  // to be filled even-odd.
  std::vector<std::vector<GeoPoint>> lakeRings;
};

// Decoded once, on first use. Throws std::runtime_error when the built-in
// data is damaged (a build fault, not a user's).
const WorldPlaces& worldPlaces();

// Decodes the data file's layout (scripts/make-places.mjs describes it).
WorldPlaces decodeWorldPlaces(const std::uint8_t* bytes, std::size_t size);

}  // namespace tabrino
