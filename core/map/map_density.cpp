#include "core/map/map_density.h"

#include "core/map/map_paths.h"

#include <algorithm>
#include <cmath>

namespace tabrino {
namespace {

const char* const kDensityColours[] = {"#ffe680", "#fec44f", "#fe9929", "#ec7014", "#cc4c02", "#993404", "#662506"};

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

std::vector<std::uint64_t> densityClasses(std::uint64_t fullest) {
  constexpr std::size_t kClasses = std::size(kDensityColours);
  std::vector<std::uint64_t> bounds;
  for (const double base : {2.0, std::sqrt(10.0), 10.0, std::sqrt(1000.0), 100.0, 1000.0}) {
    bounds = {1};
    if (fullest >= 2) bounds.push_back(2);
    for (double power = base; std::ceil(power - 1e-9) <= static_cast<double>(fullest); power *= base) {
      const auto bound = static_cast<std::uint64_t>(std::ceil(power - 1e-9));
      if (bound > bounds.back()) bounds.push_back(bound);
    }
    if (bounds.size() <= kClasses) break;
  }
  return bounds;
}

const char* DensityLegend::colour(std::size_t cls) const { return kDensityColours[cls]; }

DensityLegend drawDensity(std::string& svg, const std::vector<Point>& positions, const MapView& view) {
  const auto columns = static_cast<std::size_t>(kPlotWidth / kCellSize);
  const auto rows = static_cast<std::size_t>(std::ceil(view.plotHeight() / kCellSize));
  std::vector<std::uint64_t> counts(columns * rows, 0);
  for (const Point& p : positions) {
    const auto column = std::min(columns - 1, static_cast<std::size_t>(std::max(0.0, p.x / kCellSize)));
    const auto row = std::min(rows - 1, static_cast<std::size_t>(std::max(0.0, (p.y - kTitleHeight) / kCellSize)));
    ++counts[row * columns + column];
  }
  DensityLegend legend;
  legend.fullest = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
  legend.bounds = densityClasses(legend.fullest);
  auto classOf = [&](std::uint64_t count) {
    return static_cast<std::size_t>(std::upper_bound(legend.bounds.begin(), legend.bounds.end(), count) -
                                    legend.bounds.begin()) - 1;
  };

  // One path per class; neighbouring cells of a class in a row make one rectangle.
  std::vector<std::string> paths(legend.bounds.size());
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t column = 0; column < columns;) {
      const std::uint64_t count = counts[row * columns + column];
      if (count == 0) {
        ++column;
        continue;
      }
      const std::size_t cls = classOf(count);
      std::size_t end = column + 1;
      while (end < columns && counts[row * columns + end] != 0 && classOf(counts[row * columns + end]) == cls) ++end;
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
    svg += "<path data-from=\"" + std::to_string(legend.bounds[cls]) + "\" fill=\"" + kDensityColours[cls] +
           "\" d=\"" + paths[cls] + "\"/>\n";
  }
  svg += "</g>\n";
  return legend;
}

}  // namespace tabrino
