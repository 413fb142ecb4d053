// How crowded the cameras' marks would be, and the density grid that takes
// their place when they would pile on one another.
#pragma once

#include "core/map/map_projection.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
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

// The density grid's classes: cameras per km² from which each starts, a
// decade a class (the eye reads ten times as dense as one step), the first
// taking any camera at all. Fixed, so that a colour means the same density
// on every map, in every view, on the picture and the page alike.
inline constexpr double kDensityFrom[] = {0, 0.001, 0.01, 0.1, 1, 10, 100};
inline constexpr std::size_t kDensityClasses = std::size(kDensityFrom);
// The class of a density (cameras per km², above 0).
std::size_t densityClassOf(double perKm2) noexcept;
const char* densityColour(std::size_t cls) noexcept;
// "below 0.001", "0.001 to 0.01", ..., "100 or more".
std::string densityRangeText(std::size_t cls);
// The class's lower bound as data: "0", "0.001", ..., "100".
std::string densityFromText(std::size_t cls);

inline constexpr double kCellSize = 5;  // px

// Appends the grid: cameras per km² on cells of kCellSize px (each cell's
// count over the ground it covers, so that a projection that is not equal
// area does not make a place look denser), each class a colour, half
// transparent so that the land shows through.
void drawDensity(std::string& svg, const std::vector<Point>& positions, const MapView& view);

}  // namespace tabrino
