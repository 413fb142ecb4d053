#include "core/export/map_density.h"

#include "core/export/map_paths.h"

#include <algorithm>
#include <cmath>

namespace tabrino {
namespace {

const char* const kDensityColours[] = {"#ffe680", "#fec44f", "#fe9929", "#ec7014", "#cc4c02", "#993404", "#662506"};

// Cells of a square grid over the plot, and the points in each, sorted by cell.
class CellIndex {
 public:
  CellIndex(const std::vector<Point>& points, double size, double height)
      : size_(size),
        columns_(static_cast<std::size_t>(std::ceil(kPlotWidth / size)) + 1),
        rows_(static_cast<std::size_t>(std::ceil(height / size)) + 1),
        start_(columns_ * rows_ + 1, 0) {
    cells_.reserve(points.size());
    for (const Point& p : points) {
      cells_.push_back(cellOf(p));
      ++start_[cells_.back() + 1];
    }
    for (std::size_t i = 1; i < start_.size(); ++i) start_[i] += start_[i - 1];
    order_.resize(points.size());
    std::vector<std::size_t> next(start_.begin(), start_.end() - 1);
    for (std::size_t i = 0; i < points.size(); ++i) order_[next[cells_[i]]++] = i;
  }

  std::size_t column(double x) const {
    return std::min(columns_ - 1, static_cast<std::size_t>(std::max(0.0, x / size_)));
  }
  std::size_t row(double y) const {
    return std::min(rows_ - 1, static_cast<std::size_t>(std::max(0.0, (y - kTitleHeight) / size_)));
  }
  std::size_t cellOf(Point p) const { return row(p.y) * columns_ + column(p.x); }
  std::size_t cellOfPoint(std::size_t i) const { return cells_[i]; }
  std::size_t count(std::size_t cell) const { return start_[cell + 1] - start_[cell]; }
  // The points in a cell, as indexes.
  const std::size_t* begin(std::size_t cell) const { return order_.data() + start_[cell]; }
  const std::size_t* end(std::size_t cell) const { return order_.data() + start_[cell + 1]; }
  std::size_t columns() const { return columns_; }
  std::size_t rows() const { return rows_; }

 private:
  double size_;
  std::size_t columns_, rows_;
  std::vector<std::size_t> start_;
  std::vector<std::size_t> cells_;
  std::vector<std::size_t> order_;
};

}  // namespace

double crowdedShare(const std::vector<Point>& marks, double distance) {
  if (marks.empty()) return 0;
  // Two marks in a cell this small are always within the distance; a mark
  // alone in its cell is checked against those up to two cells away.
  const double size = distance / std::sqrt(2.0);
  double bottom = kTitleHeight;
  for (const Point& p : marks) bottom = std::max(bottom, p.y);
  const CellIndex index(marks, size, bottom - kTitleHeight);
  std::size_t crowded = 0;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const std::size_t cell = index.cellOfPoint(i);
    if (index.count(cell) > 1) {
      ++crowded;
      continue;
    }
    const auto row = static_cast<long long>(cell / index.columns()), column = static_cast<long long>(cell % index.columns());
    bool near = false;
    for (long long r = std::max(0LL, row - 2); !near && r <= std::min<long long>(index.rows() - 1, row + 2); ++r) {
      for (long long c = std::max(0LL, column - 2); !near && c <= std::min<long long>(index.columns() - 1, column + 2); ++c) {
        const auto other = static_cast<std::size_t>(r) * index.columns() + static_cast<std::size_t>(c);
        if (other == cell) continue;
        for (const std::size_t* j = index.begin(other); j != index.end(other); ++j) {
          if (std::hypot(marks[*j].x - marks[i].x, marks[*j].y - marks[i].y) < distance) {
            near = true;
            break;
          }
        }
      }
    }
    crowded += near ? 1 : 0;
  }
  return static_cast<double>(crowded) / static_cast<double>(marks.size());
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
  svg += "<g id=\"density\" fill-opacity=\"0.75\">\n";
  for (std::size_t cls = 0; cls < paths.size(); ++cls) {
    if (paths[cls].empty()) continue;
    svg += "<path data-from=\"" + std::to_string(legend.bounds[cls]) + "\" fill=\"" + kDensityColours[cls] +
           "\" d=\"" + paths[cls] + "\"/>\n";
  }
  svg += "</g>\n";
  return legend;
}

}  // namespace tabrino
