// How crowded the cameras' marks would be, and the density grid that takes
// their place when they would pile on one another.
#pragma once

#include "core/map/map_projection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tabrino {

// How marks at these positions would crowd, on cells of `size` px (a
// mark's width): how deep they pile (their number over that of the cells
// they fall in: one is every mark clear of the others, eight is seven in
// eight hidden under another), and how much they cover (those cells' area,
// in px²).
struct Crowding {
  double depth, cover;
};
Crowding crowdingOf(const std::vector<Point>& marks, double size);

// Lower bounds of the grid's classes of cell counts: 1 alone, then powers
// of a base (2, √10, 10, …) chosen from the fullest cell so that at most
// seven classes cover it: 1, 2–3, 4–9, 10–31, … The eye reads a count of
// ten times more as one step, whatever the list.
std::vector<std::uint64_t> densityClasses(std::uint64_t fullest);

struct DensityLegend {
  std::vector<std::uint64_t> bounds;
  std::uint64_t fullest = 0;
  const char* colour(std::size_t cls) const;
};

inline constexpr double kCellSize = 5;  // px

// Appends the grid (cameras per cell of kCellSize px, each class a colour,
// half transparent so that the land shows through) and says its classes.
DensityLegend drawDensity(std::string& svg, const std::vector<Point>& positions, const MapView& view);

}  // namespace tabrino
