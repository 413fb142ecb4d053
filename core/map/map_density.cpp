#include "core/map/map_density.h"

#include "core/map/map_paths.h"

#include <algorithm>
#include <cmath>

namespace tabrino {
namespace {

const char* const kDensityColours[] = {"#ffe680", "#fec44f", "#fe9929", "#ec7014", "#cc4c02", "#993404", "#662506"};
static_assert(std::size(kDensityColours) == kDensityClasses);

}  // namespace

Crowding crowdingOf(const std::vector<Point>& marks, double size) {
  if (marks.empty()) return {0, 0};
  std::vector<std::uint64_t> cells;
  cells.reserve(marks.size());
  for (const Point& p : marks) {
    // Off the plot's edges by a little at most; the shift keeps them positive.
    const auto column = static_cast<std::uint64_t>(std::max(0.0, p.x / size + 16));
    const auto row = static_cast<std::uint64_t>(std::max(0.0, p.y / size + 16));
    cells.push_back(row << 32 | column);
  }
  std::sort(cells.begin(), cells.end());
  const auto occupied = std::unique(cells.begin(), cells.end()) - cells.begin();
  return {static_cast<double>(marks.size()) / static_cast<double>(occupied),
          static_cast<double>(occupied) * size * size};
}

std::size_t densityClassOf(double perKm2) noexcept {
  std::size_t cls = 0;
  while (cls + 1 < kDensityClasses && perKm2 >= kDensityFrom[cls + 1]) ++cls;
  return cls;
}

const char* densityColour(std::size_t cls) noexcept { return kDensityColours[std::min(cls, kDensityClasses - 1)]; }

std::string densityFromText(std::size_t cls) {
  static const char* const kTexts[] = {"0", "0.001", "0.01", "0.1", "1", "10", "100"};
  static_assert(std::size(kTexts) == kDensityClasses);
  return kTexts[std::min(cls, kDensityClasses - 1)];
}

std::string densityRangeText(std::size_t cls) {
  if (cls == 0) return "below " + densityFromText(1);
  if (cls + 1 == kDensityClasses) return densityFromText(cls) + " or more";
  return densityFromText(cls) + " to " + densityFromText(cls + 1);
}

void drawDensity(std::string& svg, const std::vector<Point>& positions, const MapView& view) {
  const auto columns = static_cast<std::size_t>(kPlotWidth / kCellSize);
  const auto rows = static_cast<std::size_t>(std::ceil(view.plotHeight() / kCellSize));
  std::vector<std::uint64_t> counts(columns * rows, 0);
  for (const Point& p : positions) {
    const auto column = std::min(columns - 1, static_cast<std::size_t>(std::max(0.0, p.x / kCellSize)));
    const auto row = std::min(rows - 1, static_cast<std::size_t>(std::max(0.0, (p.y - kTitleHeight) / kCellSize)));
    ++counts[row * columns + column];
  }
  // The ground a cell covers: its area in px² over the projection's area
  // scale where it lies (the same everywhere in an equal-area projection).
  const LocalScale middle = view.scaleAt(GeoPoint{view.centreLon(), (view.south() + view.north()) / 2});
  auto cellKm2 = [&](std::size_t row, std::size_t column) {
    GeoPoint at{};
    const Point centre{(static_cast<double>(column) + 0.5) * kCellSize,
                       kTitleHeight + (static_cast<double>(row) + 0.5) * kCellSize};
    const LocalScale scale = view.unproject(centre, at) ? view.scaleAt(at) : middle;
    return kCellSize * kCellSize / (scale.largest * scale.smallest);
  };
  std::vector<std::uint8_t> classes(counts.size(), 0xFF);  // none: no camera
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t column = 0; column < columns; ++column) {
      const std::uint64_t count = counts[row * columns + column];
      if (count == 0) continue;
      classes[row * columns + column] =
          static_cast<std::uint8_t>(densityClassOf(static_cast<double>(count) / cellKm2(row, column)));
    }
  }

  // One path per class; neighbouring cells of a class in a row make one rectangle.
  std::vector<std::string> paths(kDensityClasses);
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t column = 0; column < columns;) {
      const std::uint8_t cls = classes[row * columns + column];
      if (cls == 0xFF) {
        ++column;
        continue;
      }
      std::size_t end = column + 1;
      while (end < columns && classes[row * columns + end] == cls) ++end;
      std::string& d = paths[cls];
      d += "M" + number(static_cast<double>(column) * kCellSize) + " " +
           number(kTitleHeight + static_cast<double>(row) * kCellSize) + "h" +
           number(static_cast<double>(end - column) * kCellSize) + "v" + number(kCellSize) + "h-" +
           number(static_cast<double>(end - column) * kCellSize) + "z";
      column = end;
    }
  }
  svg += "<g id=\"density\" fill-opacity=\"0.65\">\n";
  for (std::size_t cls = 0; cls < paths.size(); ++cls) {
    if (paths[cls].empty()) continue;
    svg += "<path data-from=\"" + densityFromText(cls) + "\" fill=\"" + kDensityColours[cls] + "\" d=\"" + paths[cls] +
           "\"/>\n";
  }
  svg += "</g>\n";
}

}  // namespace tabrino
