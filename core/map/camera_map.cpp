#include "core/map/camera_map.h"

#include "core/model/earth.h"
#include "core/platform/file_io.h"
#include "core/export/geo_export.h"
#include "core/map/map_density.h"
#include "core/map/map_paths.h"
#include "core/map/map_places.h"
#include "core/map/map_projection.h"
#include "core/map/type_marks.h"
#include "core/map/world_borders.h"

#include <algorithm>
#include <optional>
#include <array>
#include <cmath>
#include <cstdint>

namespace tabrino {
namespace {

// Layout, in px, beside map_projection.h's plot: a panel on the right for
// the legend and the scale, so that neither hides a camera.
constexpr double kPanelWidth = 260;
constexpr double kWidth = kPlotWidth + kPanelWidth;
constexpr double kMarkRadius = 3;
// How far a mark reaches from its centre, its outline and stroke included.
constexpr double kMarkReach = 1.25 * kMarkRadius + 0.8;
constexpr double kTickLength = 9;

const char* const kLand = "#f3f0e6";
const char* const kSea = "#d3e5f1";
const char* const kCoast = "#7d9db5";

// "1,195".
std::string grouped(std::uint64_t count) {
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// The middle and the span from the 10th to the 90th percentile.
struct Spread {
  double median, span;
};

Spread spreadOf(std::vector<double> values) {
  const auto at = [&](double share) {
    const auto n = static_cast<std::ptrdiff_t>(std::llround(share * static_cast<double>(values.size() - 1)));
    std::nth_element(values.begin(), values.begin() + n, values.end());
    return values[static_cast<std::size_t>(n)];
  };
  const double median = at(0.5), low = at(0.1), high = at(0.9);
  return {median, high - low};
}

// The ground a px covers at the plot's middle (the geometric mean of the
// scales in all directions there), in km.
double kmPerPxAtMiddle(const MapView& view) {
  GeoPoint middle{0, 0};
  if (!view.unproject({kPlotWidth / 2, kTitleHeight + view.plotHeight() / 2}, middle)) return 1;
  const LocalScale scale = view.scaleAt(middle);
  return 1 / std::sqrt(scale.largest * scale.smallest);
}

// The sea where the Earth is, then the land; the coast and borders come
// separately, to go over the density grid.
void drawLand(std::string& svg, std::string& coastAndBorders, const MapView& view) {
  const WorldBorders& world = worldBorders();
  const Box box = plotBox(view);
  std::string land, coast, borders;
  PathData landPath(land), coastPath(coast), borderPath(borders);
  ClippedLines coastLines(coastPath, box), borderLines(borderPath, box);
  for (std::size_t r = 0; r < world.landRings.size(); ++r) {
    appendRing(view, world.landRings[r], landPath, &world.coastEdges[r], &coastLines);
  }
  for (const auto& line : world.borderLines) appendLine(view, line, borderLines);
  svg += "<path id=\"sea\" fill=\"" + std::string(kSea) + "\" d=\"" + earthOutline(view) + "\"/>\n";
  svg += "<path id=\"land\" fill=\"" + std::string(kLand) + "\" fill-rule=\"evenodd\" d=\"" + land + "\"/>\n";
  coastAndBorders += "<path id=\"coast\" fill=\"none\" stroke=\"" + std::string(kCoast) +
                     "\" stroke-width=\"0.7\" d=\"" + coast + "\"/>\n";
  coastAndBorders +=
      "<path id=\"borders\" fill=\"none\" stroke=\"#9a8f80\" stroke-width=\"0.9\" stroke-dasharray=\"4 2\" d=\"" +
      borders + "\"/>\n";
}

// "37.5°E", "0°", "55°N" with as many decimals as the step needs.
std::string degreeLabel(double value, int decimals, char positive, char negative) {
  const double scale = std::pow(10.0, decimals);
  const long long units = std::llround(std::fabs(value) * scale);
  std::string text = std::to_string(units / static_cast<long long>(scale));
  if (decimals > 0) {
    std::string fraction = std::to_string(units % static_cast<long long>(scale));
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    text += "." + fraction;
  }
  text += "\u00B0";
  if (units != 0 && units != 180 * static_cast<long long>(scale)) text += value > 0 ? positive : negative;
  return text;
}

// A round step giving some four to eight lines across `span` degrees.
std::pair<double, int> graticuleStep(double span) {
  static constexpr std::pair<double, int> kSteps[] = {
      {0.01, 2}, {0.02, 2}, {0.05, 2}, {0.1, 1}, {0.2, 1}, {0.25, 2}, {0.5, 1}, {1, 0},
      {2, 0},    {5, 0},    {10, 0},   {15, 0},  {20, 0},  {30, 0},   {45, 0},  {60, 0}};
  for (const auto& step : kSteps) {
    if (span / step.first <= 8) return step;
  }
  return kSteps[std::size(kSteps) - 1];
}

constexpr double kLabelSize = 11;
constexpr double kLabelInset = 2;

// A label's width, generously: its characters (the degree sign is two
// bytes) at most 0.65 of the font size each.
double labelWidth(const std::string& label) {
  std::size_t characters = 0;
  for (const char c : label) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return static_cast<double>(characters) * 0.65 * kLabelSize;
}

// Labels go where they fit whole inside the plot, clear of one another.
class LabelPlacer {
 public:
  LabelPlacer(const MapView& view, const MarkIndex* marks) : bottom_(view.bottom()), marks_(marks) {}

  bool place(const Box& box) {
    if (box.x0 < kLabelInset || box.x1 > kPlotWidth - kLabelInset || box.y0 < kTitleHeight + kLabelInset ||
        box.y1 > bottom_ - kLabelInset) {
      return false;
    }
    // A label over a camera would hide it: the line goes unlabelled there.
    if (marks_ && marks_->covers({box.x0 - 1, box.y0 - 1, box.x1 + 1, box.y1 + 1})) return false;
    for (const Box& other : placed_) {
      if (box.x0 < other.x1 + 2 && other.x0 < box.x1 + 2 && box.y0 < other.y1 + 2 && other.y0 < box.y1 + 2) {
        return false;
      }
    }
    placed_.push_back(box);
    return true;
  }

 private:
  double bottom_;
  const MarkIndex* marks_;
  std::vector<Box> placed_;
};

// One line of the graticule through at(t), t from 0 to 1, cut to the plot.
// Returns whether it reaches the plot, and in `end` its point there that
// `better` likes best, for its label.
template <typename At, typename Better>
bool drawGraticuleLine(std::string& svg, const MapView& view, const std::string& attribute, int steps, At at,
                       Better better, Point& end) {
  const Box plot{0, kTitleHeight, kPlotWidth, view.bottom()};
  bool found = false;
  const auto consider = [&](Point p) {
    if (!found || better(p, end)) {
      end = p;
      found = true;
    }
  };
  std::string d;
  PathData path(d);
  ClippedLines lines(path, plotBox(view));
  Point previous = at(0.0);
  for (int i = 1; i <= steps; ++i) {
    const Point p = at(static_cast<double>(i) / steps);
    lines.segment(previous, p);
    double t0 = 0, t1 = 1;
    if (clipSegment(previous, p, plot, t0, t1)) {
      const double dx = p.x - previous.x, dy = p.y - previous.y;
      consider({previous.x + t0 * dx, previous.y + t0 * dy});
      consider({previous.x + t1 * dx, previous.y + t1 * dy});
    }
    previous = p;
  }
  lines.breakLine();
  if (!d.empty()) svg += "<path " + attribute + " d=\"" + d + "\"/>\n";
  return found;
}

// Meridians and parallels as the projection draws them, labelled at the
// bottom and the left of the plot, or where they end on the Earth's outline.
// No line runs along the seam or the poles' line, where the Earth ends.
void drawGraticule(std::string& svg, std::string& labels, const MapView& view, const MarkIndex* marks) {
  svg += "<g id=\"graticule\" fill=\"none\" stroke=\"#6d8596\" stroke-width=\"0.5\" stroke-opacity=\"0.6\">\n";
  // A halo keeps the labels readable over land, lines and marks; a label
  // that would run past the frame is left out rather than cut.
  labels += "<g id=\"graticule-labels\" font-size=\"" + number(kLabelSize) +
            "\" fill=\"#34495e\" stroke=\"#fafafa\" stroke-width=\"3\" stroke-linejoin=\"round\" "
            "paint-order=\"stroke\">\n";
  LabelPlacer placer(view, marks);
  const bool curved = view.projection() == MapProjection::equalEarth;
  const double west = view.westRel(), east = view.eastRel(), south = view.south(), north = view.north();
  const auto [lonStep, lonDecimals] = graticuleStep(east - west);
  for (long long i = static_cast<long long>(std::ceil((view.centreLon() + west) / lonStep));
       static_cast<double>(i) * lonStep <= view.centreLon() + east; ++i) {
    const double lon = static_cast<double>(i) * lonStep, rel = lon - view.centreLon();
    if (std::fabs(rel) >= 180 - 1e-9) continue;
    const std::string label = degreeLabel(wrap180(lon), lonDecimals, 'E', 'W');
    Point end{0, 0};
    const bool shown = drawGraticuleLine(
        svg, view, "data-lon=\"" + label + "\"", curved ? 90 : 1,
        [&](double t) { return view.projectRelative(rel, south + (north - south) * t); },
        [](Point a, Point b) { return a.y > b.y; }, end);
    // A meridian that leaves by a side (a conic's fan) is not labelled
    // there, among the parallels' labels.
    const double halfWidth = labelWidth(label) / 2, baseline = std::min(end.y, view.bottom()) - 5;
    const double x = std::clamp(end.x, halfWidth + kLabelInset, kPlotWidth - halfWidth - kLabelInset);
    const bool bySide = end.y < view.bottom() - 0.5 && (end.x < 0.5 || end.x > kPlotWidth - 0.5);
    if (shown && !bySide && placer.place({x - halfWidth, baseline - kLabelSize, x + halfWidth, baseline})) {
      labels += "<text x=\"" + number(x) + "\" y=\"" + number(baseline) + "\" text-anchor=\"middle\">" + label +
                "</text>\n";
    }
  }
  const auto [latStep, latDecimals] = graticuleStep(north - south);
  for (long long i = static_cast<long long>(std::ceil(south / latStep)); static_cast<double>(i) * latStep <= north;
       ++i) {
    const double lat = static_cast<double>(i) * latStep;
    if (std::fabs(lat) >= 90) continue;
    const std::string label = degreeLabel(lat, latDecimals, 'N', 'S');
    Point end{0, 0};
    const bool shown = drawGraticuleLine(
        svg, view, "data-lat=\"" + label + "\"", view.projection() == MapProjection::equirectangular ? 1 : 180,
        [&](double t) { return view.projectRelative(west + (east - west) * t, lat); },
        [](Point a, Point b) { return a.x < b.x; }, end);
    const double x = end.x + 4, baseline = end.y - 3;
    if (shown && placer.place({x, baseline - kLabelSize, x + labelWidth(label), baseline})) {
      labels += "<text x=\"" + number(x) + "\" y=\"" + number(baseline) + "\">" + label + "</text>\n";
    }
  }
  svg += "</g>\n";
  labels += "</g>\n";
}

// The usual types take their export colour (Okabe and Ito's palette, which
// people with common colour blindness tell apart) and a shape of their own;
// others take the palette's spare colours in order of count, with a cross.
// A mark's outline around 0,0, about as large as a circle of kMarkRadius.
const char* markOutline(MarkShape shape) {
  switch (shape) {
    case MarkShape::Circle: return "<circle r=\"3.5\"/>";
    case MarkShape::Square: return "<rect x=\"-3\" y=\"-3\" width=\"6\" height=\"6\"/>";
    case MarkShape::Triangle: return "<path d=\"M0 -4.2L4 2.8H-4z\"/>";
    case MarkShape::Diamond: return "<path d=\"M0 -4.4L4.4 0L0 4.4L-4.4 0z\"/>";
    case MarkShape::TriangleDown: return "<path d=\"M0 4.2L4 -2.8H-4z\"/>";
    case MarkShape::Cross: break;
    case MarkShape::Saltire: return "<path d=\"M-4 -2L-2 -4L0 -2L2 -4L4 -2L2 0L4 2L2 4L0 2L-2 4L-4 2L-2 0z\"/>";
    case MarkShape::Hexagon: return "<path d=\"M-2 -3.8H2L4 0L2 3.8H-2L-4 0z\"/>";
  }
  return "<path d=\"M-1.4 -4.2h2.8v2.8h2.8v2.8h-2.8v2.8h-2.8v-2.8h-2.8v-2.8h2.8z\"/>";
}

struct TypeEntry {
  std::uint8_t type;
  std::uint64_t count;
  TypeMark mark;
};

std::vector<TypeEntry> typesByCount(const std::vector<CameraRecord>& cameras) {
  std::array<std::uint64_t, 256> counts{};
  for (const CameraRecord& c : cameras) ++counts[c.type];
  std::vector<TypeEntry> types;
  for (std::size_t t = 0; t < counts.size(); ++t) {
    if (counts[t] > 0) types.push_back({static_cast<std::uint8_t>(t), counts[t], {}});
  }
  std::stable_sort(types.begin(), types.end(), [](const TypeEntry& a, const TypeEntry& b) { return a.count > b.count; });
  std::vector<std::uint8_t> order;
  for (const TypeEntry& entry : types) order.push_back(entry.type);
  const std::vector<TypeMark> marks = typeMarks(order);
  for (std::size_t i = 0; i < types.size(); ++i) types[i].mark = marks[i];
  return types;
}

void drawMarks(std::string& svg, const std::vector<CameraRecord>& cameras, const std::vector<Point>& positions,
               const std::vector<TypeEntry>& types, const MapView& view) {
  svg += "<defs>";
  for (const TypeEntry& entry : types) {
    svg += "<g id=\"mark-" + std::to_string(entry.type) + "\">" + markOutline(entry.mark.shape) + "</g>";
  }
  svg += "</defs>\n<g id=\"cameras\">\n";
  // The most common type first, so that rare ones are drawn on top.
  for (const TypeEntry& entry : types) {
    std::string ticks, marks;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
      const CameraRecord& c = cameras[i];
      if (c.type != entry.type) continue;
      const double x = positions[i].x, y = positions[i].y;
      marks += "<use href=\"#mark-" + std::to_string(entry.type) + "\" x=\"" + number(x) + "\" y=\"" + number(y) + "\"/>";
      marks += '\n';
      if (c.directionType != 1 && c.directionType != 2) continue;
      // Along the heading as the projection draws it: north is up only
      // along the central meridian of a conic or of Equal Earth.
      const Point along = view.direction(geoPointOf(c), directionDegrees(c.directionCode) % 360);
      const double dx = along.x * kTickLength, dy = along.y * kTickLength;
      const bool both = c.directionType == 2;
      ticks += "M" + number(both ? x - dx : x) + " " + number(both ? y - dy : y) + "l" +
               number(both ? 2 * dx : dx) + " " + number(both ? 2 * dy : dy);
    }
    svg += "<g data-type=\"" + std::to_string(entry.type) + "\">\n";
    if (!ticks.empty()) {
      svg += "<path class=\"headings\" fill=\"none\" stroke=\"" + std::string(entry.mark.colour) +
             "\" stroke-width=\"1.6\" stroke-linecap=\"round\" d=\"" + ticks + "\"/>\n";
    }
    svg += "<g fill=\"" + std::string(entry.mark.colour) + "\" stroke=\"#fff\" stroke-width=\"0.8\">\n" + marks +
           "</g>\n</g>\n";
  }
  svg += "</g>\n";
}

// "500 m", "2 km", "1,000 km".
std::string distanceText(double km) {
  if (km < 1) return std::to_string(std::llround(km * 1000)) + " m";
  return grouped(static_cast<std::uint64_t>(std::llround(km))) + " km";
}

const char* projectionName(MapProjection projection) {
  switch (projection) {
    case MapProjection::equirectangular: return "equirectangular";
    case MapProjection::albersConic: return "Albers equal-area conic";
    case MapProjection::equalEarth: return "Equal Earth";
  }
  return "";
}

// A bar in km only where one scale holds across the plot (kScaleTolerance),
// drawn at the geometric mean of the largest and smallest: a city's or a
// country's map has one; a continent's or the world's does not, and says so.

// Returns the baseline of its last line.
double drawScaleBar(std::string& svg, const MapView& view, double top) {
  const double left = kPlotWidth + 20;
  svg += "<g id=\"scale\" data-projection=\"" + std::string(projectionName(view.projection())) + "\"><text x=\"" +
         number(left) + "\" y=\"" + number(top) + "\" font-weight=\"bold\">Scale</text>\n";
  if (!view.scaleHolds()) {
    svg += "<text x=\"" + number(left) + "\" y=\"" + number(top + 20) + "\">varies across the map</text>\n";
  } else {
    const LocalScale range = view.scaleRange();
    const double kmPerPx = 1 / std::sqrt(range.largest * range.smallest);
    constexpr double kMaxBar = 200;
    double km = 0.001;
    for (double magnitude = 0.001; magnitude <= 100000; magnitude *= 10) {
      for (const double m : {1.0, 2.0, 5.0}) {
        if (m * magnitude / kmPerPx <= kMaxBar) km = m * magnitude;
      }
    }
    const double px = km / kmPerPx;
    svg += "<path id=\"scale-bar\" fill=\"none\" stroke=\"#222\" stroke-width=\"1.5\" data-km=\"" + number(km) +
           "\" d=\"M" + number(left) + " " + number(top + 10) + "v8h" + number(px) + "v-8\"/>\n";
    svg += "<text x=\"" + number(left) + "\" y=\"" + number(top + 34) + "\">" + distanceText(km) + "</text>\n";
    top += 14;
  }
  svg += "<text x=\"" + number(left) + "\" y=\"" + number(top + 36) + "\" font-size=\"10\" fill=\"#666\">" +
         projectionName(view.projection()) + " projection</text></g>\n";
  return top + 36;
}

// The document, its title and heading, and the plot's frame.
void beginDocument(std::string& svg, const std::string& heading, double height, double plotHeight) {
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         number(kWidth) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(kWidth) + " " +
         number(height) + "\" font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"12\">\n";
  svg += "<title>" + xmlEscaped(heading) + "</title>\n";
  svg += "<rect width=\"" + number(kWidth) + "\" height=\"" + number(height) + "\" fill=\"#fafafa\"/>\n";
  svg += "<text id=\"heading\" x=\"12\" y=\"26\" font-size=\"16\" font-weight=\"bold\">" + xmlEscaped(heading) +
         "</text>\n";
  svg += "<clipPath id=\"plot\"><rect x=\"0\" y=\"" + number(kTitleHeight) + "\" width=\"" + number(kPlotWidth) +
         "\" height=\"" + number(plotHeight) + "\"/></clipPath>\n";
}

// Sea, land, lakes, graticule, then the density grid under the coast and
// borders (so that they show through it), or the marks over them, and the
// names of places above all; clipped to the plot.
void drawPlot(std::string& svg, const MapView& view, const std::vector<CameraRecord>& cameras,
                       const std::vector<Point>& positions, const std::vector<TypeEntry>& types, bool marked) {
  svg += "<g clip-path=\"url(#plot)\">\n";
  std::string coastAndBorders, labels;
  drawLand(svg, coastAndBorders, view);
  // Labels keep clear of the cameras' marks (a grid has none to hide).
  std::optional<MarkIndex> marks;
  if (marked) {
    std::vector<MapPoint> centres;
    centres.reserve(positions.size());
    for (const Point& p : positions) centres.push_back({p.x, p.y});
    marks.emplace(std::move(centres), kMarkReach);
  }
  // Lakes and place names take the view's projection; names keep clear of
  // the graticule's labels along the left and bottom edges.
  MapFrame frame{[&view](const GeoPoint& p) {
                   const Point at = view.project(p);
                   return MapPoint{at.x, at.y};
                 },
                 {0, kTitleHeight, kPlotWidth, view.bottom()},
                 kmPerPxAtMiddle(view),
                 {{0, kTitleHeight, 48, view.bottom()}, {0, view.bottom() - 20, kPlotWidth, view.bottom()}}};
  frame.marks = marks ? &*marks : nullptr;
  drawLakes(svg, frame, kSea, kCoast);
  drawGraticule(svg, labels, view, frame.marks);
  if (marked) {
    svg += coastAndBorders;
    drawMarks(svg, cameras, positions, types, view);
  } else {
    drawDensity(svg, positions, view);
    svg += coastAndBorders;
  }
  drawPlaceLabels(svg, choosePlaceLabels(frame));
  svg += labels + "</g>\n";
}

// The panel beside the plot: types with counts, then the heading tick or the
// density classes. Returns the baseline of its last line.
double drawLegend(std::string& svg, const MapView& view, const std::vector<TypeEntry>& types, bool marked) {
  const double left = kPlotWidth + 20;
  double y = kTitleHeight + 24;
  svg += "<g id=\"legend\">\n<text x=\"" + number(left) + "\" y=\"" + number(y) +
         "\" font-weight=\"bold\">Camera types</text>\n";
  constexpr std::size_t kListedTypes = 16;  // the panel's height
  std::uint64_t unlisted = 0;
  for (std::size_t i = kListedTypes; i < types.size(); ++i) unlisted += types[i].count;
  for (std::size_t i = 0; i < types.size() && i < kListedTypes; ++i) {
    const TypeEntry& entry = types[i];
    y += 20;
    if (marked) {
      svg += "<use href=\"#mark-" + std::to_string(entry.type) + "\" x=\"" + number(left + 5) + "\" y=\"" +
             number(y - 4) + "\" fill=\"" + entry.mark.colour + "\" stroke=\"#fff\" stroke-width=\"0.8\"/>";
    }
    svg += "<text x=\"" + number(marked ? left + 16 : left) + "\" y=\"" + number(y) + "\" data-type=\"" +
           std::to_string(entry.type) + "\" data-count=\"" + std::to_string(entry.count) + "\">" +
           xmlEscaped(cameraTypeName(entry.type)) + ": " + grouped(entry.count) + "</text>\n";
  }
  if (unlisted > 0) {
    y += 20;
    svg += "<text x=\"" + number(left) + "\" y=\"" + number(y) + "\">" + grouped(types.size() - kListedTypes) +
           " other types: " + grouped(unlisted) + "</text>\n";
  }
  if (marked) {
    y += 22;
    svg += "<path fill=\"none\" stroke=\"#555\" stroke-width=\"1.6\" d=\"M" + number(left + 5) + " " + number(y - 4) +
           "l0 -9\"/><circle cx=\"" + number(left + 5) + "\" cy=\"" + number(y - 4) + "\" r=\"" +
           number(kMarkRadius) + "\" fill=\"#555\"/><text x=\"" + number(left + 16) + "\" y=\"" + number(y) +
           "\">tick: one heading</text>\n";
    y += 22;
    svg += "<path fill=\"none\" stroke=\"#555\" stroke-width=\"1.6\" d=\"M" + number(left + 5) + " " + number(y - 13) +
           "l0 18\"/><circle cx=\"" + number(left + 5) + "\" cy=\"" + number(y - 4) + "\" r=\"" +
           number(kMarkRadius) + "\" fill=\"#555\"/><text x=\"" + number(left + 16) + "\" y=\"" + number(y) +
           "\">line through: both ways</text>\n";
  } else {
    y += 30;
    svg += "<text x=\"" + number(left) + "\" y=\"" + number(y) +
           "\" font-weight=\"bold\">Cameras per km\u00B2</text>\n";
    const double side = kCellSize * kmPerPxAtMiddle(view);
    y += 16;
    svg += "<text x=\"" + number(left) + "\" y=\"" + number(y) + "\">(on cells of about " + distanceText(side) +
           " \u00D7 " + distanceText(side) + ")</text>\n";
    // Every class, whether drawn or not: the same key on every map.
    svg += "<g id=\"density-legend\">\n";
    for (std::size_t cls = 0; cls < kDensityClasses; ++cls) {
      y += 20;
      svg += "<rect x=\"" + number(left) + "\" y=\"" + number(y - 11) + "\" width=\"12\" height=\"12\" fill=\"" +
             densityColour(cls) + "\" fill-opacity=\"0.65\" stroke=\"#999\" stroke-width=\"0.5\"/><text x=\"" +
             number(left + 18) + "\" y=\"" + number(y) + "\" data-from=\"" + densityFromText(cls) + "\">" +
             densityRangeText(cls) + "</text>\n";
    }
    svg += "</g>\n";
  }
  svg += "</g>\n";
  return y;
}

void drawCredit(std::string& svg, double height) {
  svg += "<text x=\"" + number(kPlotWidth + 20) + "\" y=\"" + number(height - 12) +
         "\" font-size=\"10\" fill=\"#666\">Map data: Natural Earth (public domain)</text>\n";
}

// Marks give way to the density grid when they would pile on one another
// or carpet the map. Past kMaxPileDepth marks to a mark-sized cell on
// average, a picture of dots hides most cameras and turns crowded places
// into blots: a country's real list piles under six deep (a junction's
// cameras one on another), 19,000 cameras in Russia's cities some 40 deep.
// Past kMaxCover of the plot under marks, they hide the map they are on:
// real lists cover a few percent, 30,000 cameras spread evenly over the
// world or 40,000 over Europe, half of it. Past kMaxMarks, a picture of dots
// would weigh several MB however they lie, and the grid says as much in far
// less.
constexpr double kMaxPileDepth = 8;
constexpr double kMaxCover = 1.0 / 3;
constexpr std::size_t kMaxMarks = 50000;

bool marksCrowd(const std::vector<Point>& positions, const MapView& view) {
  if (positions.size() > kMaxMarks) return true;
  const Crowding crowding = crowdingOf(positions, 2 * kMarkRadius);
  return crowding.depth > kMaxPileDepth ||
         crowding.cover > kMaxCover * kPlotWidth * view.plotHeight();
}

}  // namespace

// A camera is far from the rest when it lies further from the median, in
// latitude or in longitude, than kStrayFactor times the span of the middle
// 80 % of cameras (at least kMinStraySpan degrees): a few slips cannot move
// the median or that span, and a country's far cities stay within it.
constexpr double kStrayFactor = 3;
constexpr double kMinStraySpan = 1;

MapPlacement placeOnMap(const std::vector<CameraRecord>& cameras) {
  MapPlacement placed;
  std::vector<CameraRecord> inside;
  std::vector<std::size_t> index;
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    if (!inBounds(cameras[i].latitude, cameras[i].longitude)) continue;
    inside.push_back(cameras[i]);
    index.push_back(i);
  }
  if (inside.empty()) return placed;
  const double lon0 = centralMeridian(inside);
  placed.centralMeridian = lon0;
  std::vector<double> lats, lons;
  lats.reserve(inside.size());
  lons.reserve(inside.size());
  for (const CameraRecord& c : inside) {
    const GeoPoint p = geoPointOf(c);
    lats.push_back(p.lat);
    lons.push_back(wrap180(p.lon - lon0));
  }
  const Spread lat = spreadOf(lats), lon = spreadOf(lons);
  const double latLimit = kStrayFactor * std::max(lat.span, kMinStraySpan);
  const double lonLimit = kStrayFactor * std::max(lon.span, kMinStraySpan);
  placed.shown.reserve(inside.size());
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (std::fabs(lats[i] - lat.median) > latLimit || std::fabs(lons[i] - lon.median) > lonLimit) {
      placed.strays.push_back(index[i]);
    } else {
      placed.shown.push_back(inside[i]);
    }
  }
  return placed;
}

std::string cameraMapSvg(const std::vector<CameraRecord>& allCameras, const MapTitle& title, bool* densityGrid) {
  const MapPlacement placed = placeOnMap(allCameras);
  const std::vector<CameraRecord>& cameras = placed.shown;
  const MapView view = MapView::fitted(cameras);
  std::vector<Point> positions;
  positions.reserve(cameras.size());
  for (const CameraRecord& c : cameras) positions.push_back(view.project(geoPointOf(c)));
  const std::vector<TypeEntry> types = typesByCount(cameras);
  const bool marked = !marksCrowd(positions, view);
  if (densityGrid) *densityGrid = !marked;

  std::string body;
  body.reserve(marked ? 64 * cameras.size() + (1 << 20) : (2 << 20));
  drawPlot(body, view, cameras, positions, types, marked);
  double legendEnd = drawLegend(body, view, types, marked);
  if (!placed.strays.empty()) {
    legendEnd += 30;
    body += "<text id=\"strays\" x=\"" + number(kPlotWidth + 20) + "\" y=\"" + number(legendEnd) +
            "\" data-count=\"" + std::to_string(placed.strays.size()) + "\">Left out: " +
            grouped(placed.strays.size()) + (placed.strays.size() == 1 ? " camera" : " cameras") +
            " far from the rest</text>\n";
  }
  // The panel may run below a short plot (the world's): the page grows.
  const double height = std::max(view.bottom(), drawScaleBar(body, view, legendEnd + 40) + 40);
  drawCredit(body, height);

  std::string svg;
  svg.reserve(body.size() + 2048);
  beginDocument(svg, title.fileName + " \u00B7 " + title.date + " \u00B7 " + grouped(cameras.size()) +
                         (cameras.size() == 1 ? " camera" : " cameras"),
                height, view.plotHeight());
  svg += body;
  svg += "</svg>\n";
  return svg;
}

void writeCameraMap(const std::filesystem::path& path, const std::vector<CameraRecord>& cameras,
                    const MapTitle& title) {
  AtomicFileWriter out(path);
  out.write(cameraMapSvg(cameras, title));
  out.commit();
}

}  // namespace tabrino
