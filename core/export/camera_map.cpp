#include "core/export/camera_map.h"

#include "core/model/earth.h"
#include "core/platform/file_io.h"
#include "core/export/geo_export.h"
#include "core/export/map_places.h"
#include "core/export/world_borders.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>

namespace tabrino {
namespace {

// Layout, in px: a title band, the plot below it, and a panel on the right
// for the legend and the scale bar, so that neither hides a camera.
constexpr double kTitleHeight = 40;
constexpr double kPlotWidth = 1000;
constexpr double kPlotHeight = 760;
constexpr double kPanelWidth = 260;
constexpr double kWidth = kPlotWidth + kPanelWidth;
constexpr double kHeight = kTitleHeight + kPlotHeight;
constexpr double kPlotPadding = 24;  // keeps the outermost marks clear of the edges
constexpr double kKmPerDegree = kEarthRadiusMetres / 1000 * kPi / 180;  // along a meridian
constexpr double kMarkRadius = 3;
constexpr double kTickLength = 9;
constexpr double kCellSize = 5;
constexpr double kMinSpanKm = 50;  // a single camera shows its region, with land and coast
// Points of border lines closer than this to the last one drawn are left
// out: a world map would otherwise carry detail no screen shows.
constexpr double kMinStep = 0.7;

const char* const kLand = "#f3f0e6";
const char* const kSea = "#d3e5f1";
const char* const kCoast = "#7d9db5";

struct Point {
  double x, y;
};

double wrap180(double degrees) {
  double d = std::fmod(degrees + 180, 360);
  if (d < 0) d += 360;
  return d - 180;
}

// Locale-free numbers, to a tenth: "12.3", "-4", "0".
void appendTenths(std::string& out, long long tenths) {
  if (tenths < 0) {
    out += '-';
    tenths = -tenths;
  }
  out += std::to_string(tenths / 10);
  if (tenths % 10 != 0) {
    out += '.';
    out += static_cast<char>('0' + tenths % 10);
  }
}

long long tenthsOf(double value) { return std::llround(value * 10); }

std::string number(double value) {
  std::string out;
  appendTenths(out, tenthsOf(value));
  return out;
}

// "1,195".
std::string grouped(std::uint64_t count) {
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// Which part of the Earth the plot shows, and how. An equirectangular
// projection true to scale along the middle parallel: simple, and at the
// scale of a country or a city as good as any. Longitudes are taken
// relative to lon0, the meridian opposite the widest stretch without
// cameras, so cameras on both sides of the 180th meridian sit together.
struct View {
  double lon0 = 0;
  double west = -180, east = 180;  // relative to lon0
  double south = -90, north = 90;
  double kx = 1, ky = 1;  // px per degree

  double x(double relativeLon) const { return (relativeLon - west) * kx; }
  double y(double lat) const { return kTitleHeight + (north - lat) * ky; }
  double relative(double lon) const { return wrap180(lon - lon0); }
};

double degrees(std::int32_t scaled) { return static_cast<double>(scaled) / kCoordinateScale; }

// The meridian opposite the widest run of empty tenth-degree columns
// around the globe, so that cameras on both sides of the 180th meridian sit
// together when longitudes are taken relative to it.
double centralMeridian(const std::vector<CameraRecord>& cameras) {
  constexpr int kColumns = 3600;
  std::vector<bool> used(kColumns, false);
  for (const CameraRecord& c : cameras) {
    used[std::clamp(static_cast<int>(std::floor((degrees(c.longitude) + 180) * 10)), 0, kColumns - 1)] = true;
  }
  int bestStart = 0, bestLength = 0;
  for (int start = 0; start < kColumns; ++start) {
    if (used[start] || !used[(start + kColumns - 1) % kColumns]) continue;
    int length = 0;
    while (length < kColumns && !used[(start + length) % kColumns]) ++length;
    if (length > bestLength) bestStart = start, bestLength = length;
  }
  return bestLength > 0 ? wrap180((bestStart + bestLength / 2.0) / 10) : 0;
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

View viewFor(const std::vector<CameraRecord>& cameras) {
  View view;
  double minRel = -180, maxRel = 180, minLat = -60, maxLat = 80;  // no camera: the inhabited world
  if (!cameras.empty()) {
    view.lon0 = centralMeridian(cameras);
    minRel = minLat = 1e9;
    maxRel = maxLat = -1e9;
    for (const CameraRecord& c : cameras) {
      const double rel = view.relative(degrees(c.longitude));
      minRel = std::min(minRel, rel);
      maxRel = std::max(maxRel, rel);
      minLat = std::min(minLat, degrees(c.latitude));
      maxLat = std::max(maxLat, degrees(c.latitude));
    }
  }
  const double midRel = (minRel + maxRel) / 2, midLat = (minLat + maxLat) / 2;
  const double cosine = std::cos(std::clamp(midLat, -80.0, 80.0) * kPi / 180);
  // At least kMinSpanKm across, so that one camera shows its surroundings.
  const double spanLon = std::max(maxRel - minRel, kMinSpanKm / kKmPerDegree / cosine);
  const double spanLat = std::max(maxLat - minLat, kMinSpanKm / kKmPerDegree);
  const double k = std::min((kPlotWidth - 2 * kPlotPadding) / (spanLon * cosine),
                            (kPlotHeight - 2 * kPlotPadding) / spanLat);
  view.kx = k * cosine;
  view.ky = k;
  view.west = midRel - kPlotWidth / 2 / view.kx;
  view.east = midRel + kPlotWidth / 2 / view.kx;
  view.north = midLat + kPlotHeight / 2 / view.ky;
  view.south = midLat - kPlotHeight / 2 / view.ky;
  return view;
}

// An SVG path's data in relative steps of tenths of a px, leaving out points
// too close to the last one drawn (but never a line's last point).
class PathData {
 public:
  explicit PathData(std::string& out) : out_(out) {}

  void moveTo(Point p) {
    flush();
    x_ = tenthsOf(p.x);
    y_ = tenthsOf(p.y);
    last_ = p;
    out_ += 'M';
    appendTenths(out_, x_);
    out_ += ' ';
    appendTenths(out_, y_);
    afterLetter_ = false;
    pending_ = false;
  }
  void lineTo(Point p) {
    if (std::hypot(p.x - last_.x, p.y - last_.y) < kMinStep) {
      pendingPoint_ = p;
      pending_ = true;
      return;
    }
    emit(p);
  }
  void close() {
    pending_ = false;  // the closing point is the first
    out_ += 'z';
  }
  void flush() {
    if (pending_) emit(pendingPoint_);
    pending_ = false;
  }

 private:
  void emit(Point p) {
    pending_ = false;
    const long long x = tenthsOf(p.x), y = tenthsOf(p.y);
    last_ = p;
    if (x == x_ && y == y_) return;
    if (!afterLetter_) {
      out_ += 'l';
      afterLetter_ = true;
    } else if (x - x_ >= 0) {
      out_ += ' ';
    }
    appendTenths(out_, x - x_);
    if (y - y_ >= 0) out_ += ' ';
    appendTenths(out_, y - y_);
    x_ = x;
    y_ = y;
  }

  std::string& out_;
  long long x_ = 0, y_ = 0;
  Point last_{0, 0};
  Point pendingPoint_{0, 0};
  bool pending_ = false;
  bool afterLetter_ = false;
};

struct Box {
  double x0, y0, x1, y1;
};

// Sutherland-Hodgman against each side of the box in turn; a ring that
// leaves the box runs along its side, which the fill does not stroke.
std::vector<Point> clipRing(std::vector<Point> ring, const Box& box) {
  auto clipSide = [&](auto inside, auto cross) {
    std::vector<Point> out;
    if (ring.empty()) return;
    out.reserve(ring.size() + 4);
    Point previous = ring.back();
    for (const Point& p : ring) {
      if (inside(p)) {
        if (!inside(previous)) out.push_back(cross(previous, p));
        out.push_back(p);
      } else if (inside(previous)) {
        out.push_back(cross(previous, p));
      }
      previous = p;
    }
    ring.swap(out);
  };
  auto atX = [](double x) {
    return [x](Point a, Point b) { return Point{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
  };
  auto atY = [](double y) {
    return [y](Point a, Point b) { return Point{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
  };
  clipSide([&](Point p) { return p.x >= box.x0; }, atX(box.x0));
  clipSide([&](Point p) { return p.x <= box.x1; }, atX(box.x1));
  clipSide([&](Point p) { return p.y >= box.y0; }, atY(box.y0));
  clipSide([&](Point p) { return p.y <= box.y1; }, atY(box.y1));
  return ring;
}

// Lines cut to the box (Liang-Barsky per segment), joined where they go on.
class ClippedLines {
 public:
  ClippedLines(PathData& path, const Box& box) : path_(path), box_(box) {}

  void segment(Point a, Point b) {
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const std::array<std::pair<double, double>, 4> sides = {
        {{-dx, a.x - box_.x0}, {dx, box_.x1 - a.x}, {-dy, a.y - box_.y0}, {dy, box_.y1 - a.y}}};
    for (const auto& [p, q] : sides) {
      if (p == 0) {
        if (q < 0) return breakLine();
      } else {
        const double t = q / p;
        if (p < 0) {
          if (t > t1) return breakLine();
          t0 = std::max(t0, t);
        } else {
          if (t < t0) return breakLine();
          t1 = std::min(t1, t);
        }
      }
    }
    if (!open_ || t0 > 0) path_.moveTo({a.x + t0 * dx, a.y + t0 * dy});
    path_.lineTo({a.x + t1 * dx, a.y + t1 * dy});
    open_ = t1 >= 1;
    if (!open_) path_.flush();
  }
  void breakLine() {
    path_.flush();
    open_ = false;
  }

 private:
  PathData& path_;
  Box box_;
  bool open_ = false;
};

// Each ring or line is drawn once for each copy of the world (a full turn
// apart) that reaches into the view: near the 180th meridian that is the
// copy east or west of the usual one.
template <typename Draw>
void forEachCopy(const std::vector<GeoPoint>& points, const View& view, Draw draw) {
  double minLon = 1e9, maxLon = -1e9, minLat = 1e9, maxLat = -1e9;
  for (const GeoPoint& p : points) {
    minLon = std::min(minLon, p.lon);
    maxLon = std::max(maxLon, p.lon);
    minLat = std::min(minLat, p.lat);
    maxLat = std::max(maxLat, p.lat);
  }
  if (maxLat < view.south || minLat > view.north) return;
  for (const double shift : {-720.0, -360.0, 0.0, 360.0, 720.0}) {
    const double from = minLon - view.lon0 + shift, to = maxLon - view.lon0 + shift;
    if (to < view.west || from > view.east) continue;
    draw([&](const GeoPoint& p) { return Point{view.x(p.lon - view.lon0 + shift), view.y(p.lat)}; });
  }
}

void drawBorders(std::string& svg, const View& view) {
  const WorldBorders& world = worldBorders();
  const Box box{-2, kTitleHeight - 2, kPlotWidth + 2, kHeight + 2};

  std::string land, coast, borders;
  PathData landPath(land), coastPath(coast), borderPath(borders);
  ClippedLines coastLines(coastPath, box), borderLines(borderPath, box);
  std::vector<Point> ring;
  for (std::size_t r = 0; r < world.landRings.size(); ++r) {
    const auto& points = world.landRings[r];
    const auto& isCoast = world.coastEdges[r];
    forEachCopy(points, view, [&](auto project) {
      ring.clear();
      for (const GeoPoint& p : points) ring.push_back(project(p));
      for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        if (isCoast[i]) {
          coastLines.segment(ring[i], ring[i + 1]);
        } else {
          coastLines.breakLine();
        }
      }
      coastLines.breakLine();
      const std::vector<Point> clipped = clipRing(ring, box);
      if (clipped.size() < 3) return;
      landPath.moveTo(clipped.front());
      for (std::size_t i = 1; i < clipped.size(); ++i) landPath.lineTo(clipped[i]);
      landPath.close();
    });
  }
  for (const auto& line : world.borderLines) {
    forEachCopy(line, view, [&](auto project) {
      for (std::size_t i = 0; i + 1 < line.size(); ++i) borderLines.segment(project(line[i]), project(line[i + 1]));
      borderLines.breakLine();
    });
  }
  svg += "<path id=\"land\" fill=\"" + std::string(kLand) + "\" fill-rule=\"evenodd\" d=\"" + land + "\"/>\n";
  svg += "<path id=\"coast\" fill=\"none\" stroke=\"" + std::string(kCoast) + "\" stroke-width=\"0.7\" d=\"" + coast + "\"/>\n";
  svg += "<path id=\"borders\" fill=\"none\" stroke=\"#a27f95\" stroke-width=\"0.9\" stroke-dasharray=\"4 2\" d=\"" +
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

void drawGraticule(std::string& svg, std::string& labels, const View& view) {
  svg += "<g id=\"graticule\" stroke=\"#6d8596\" stroke-width=\"0.5\" stroke-opacity=\"0.6\">\n";
  // A halo keeps the labels readable over land, lines and marks; a label
  // that would run past the frame is left out rather than cut.
  labels += "<g id=\"graticule-labels\" font-size=\"" + number(kLabelSize) +
            "\" fill=\"#34495e\" stroke=\"#fafafa\" stroke-width=\"3\" stroke-linejoin=\"round\" "
            "paint-order=\"stroke\">\n";
  const auto [lonStep, lonDecimals] = graticuleStep(view.east - view.west);
  for (long long i = static_cast<long long>(std::ceil((view.lon0 + view.west) / lonStep));
       i * lonStep <= view.lon0 + view.east; ++i) {
    const double lon = static_cast<double>(i) * lonStep;
    const std::string x = number(view.x(lon - view.lon0));
    const std::string label = degreeLabel(wrap180(lon), lonDecimals, 'E', 'W');
    svg += "<line x1=\"" + x + "\" y1=\"" + number(kTitleHeight) + "\" x2=\"" + x + "\" y2=\"" + number(kHeight) +
           "\" data-lon=\"" + label + "\"/>\n";
    const double halfWidth = labelWidth(label) / 2, at = view.x(lon - view.lon0);
    if (at - halfWidth < kLabelInset || at + halfWidth > kPlotWidth - kLabelInset) continue;
    labels += "<text x=\"" + x + "\" y=\"" + number(kHeight - 5) + "\" text-anchor=\"middle\">" + label + "</text>\n";
  }
  const auto [latStep, latDecimals] = graticuleStep(view.north - view.south);
  for (long long i = static_cast<long long>(std::ceil(std::max(view.south, -90.0) / latStep));
       i * latStep <= std::min(view.north, 90.0); ++i) {
    const double lat = static_cast<double>(i) * latStep;
    const std::string y = number(view.y(lat));
    const std::string label = degreeLabel(lat, latDecimals, 'N', 'S');
    svg += "<line x1=\"0\" y1=\"" + y + "\" x2=\"" + number(kPlotWidth) + "\" y2=\"" + y + "\" data-lat=\"" +
           label + "\"/>\n";
    // Clear of the title band above and of the longitudes' row below.
    const double baseline = view.y(lat) - 3;
    if (baseline - kLabelSize < kTitleHeight + kLabelInset || baseline > kHeight - 5 - kLabelSize - kLabelInset) {
      continue;
    }
    labels += "<text x=\"4\" y=\"" + number(baseline) + "\">" + label + "</text>\n";
  }
  svg += "</g>\n";
  labels += "</g>\n";
}

// The usual types take their export colour (Okabe and Ito's palette, which
// people with common colour blindness tell apart) and a shape of their own;
// others take the palette's spare colours in order of count, with a cross.
const char* const kSpareColours[] = {"#56b4e9", "#f0e442", "#000000"};

const char* typeColour(std::uint8_t type, std::size_t& sparesUsed) {
  if (type >= 1 && type <= 5) return cameraTypeStyle(type).colour;
  return kSpareColours[sparesUsed++ % std::size(kSpareColours)];
}

// A mark's outline around 0,0, about as large as a circle of kMarkRadius.
std::string markShape(std::uint8_t type) {
  switch (type) {
    case 1: return "<circle r=\"3.5\"/>";
    case 2: return "<rect x=\"-3\" y=\"-3\" width=\"6\" height=\"6\"/>";
    case 3: return "<path d=\"M0 -4.2L4 2.8H-4z\"/>";
    case 4: return "<path d=\"M0 -4.4L4.4 0L0 4.4L-4.4 0z\"/>";
    case 5: return "<path d=\"M0 4.2L4 -2.8H-4z\"/>";
    default: return "<path d=\"M-1.4 -4.2h2.8v2.8h2.8v2.8h-2.8v2.8h-2.8v-2.8h-2.8v-2.8h2.8z\"/>";
  }
}

struct TypeEntry {
  std::uint8_t type;
  std::uint64_t count;
  const char* colour;
};

std::vector<TypeEntry> typesByCount(const std::vector<CameraRecord>& cameras) {
  std::array<std::uint64_t, 256> counts{};
  for (const CameraRecord& c : cameras) ++counts[c.type];
  std::vector<TypeEntry> types;
  for (int t = 0; t < 256; ++t) {
    if (counts[t] > 0) types.push_back({static_cast<std::uint8_t>(t), counts[t], nullptr});
  }
  std::stable_sort(types.begin(), types.end(), [](const TypeEntry& a, const TypeEntry& b) { return a.count > b.count; });
  std::size_t sparesUsed = 0;
  for (TypeEntry& entry : types) entry.colour = typeColour(entry.type, sparesUsed);
  return types;
}

void drawMarks(std::string& svg, const std::vector<CameraRecord>& cameras, const std::vector<TypeEntry>& types,
               const View& view) {
  svg += "<defs>";
  for (const TypeEntry& entry : types) {
    svg += "<g id=\"mark-" + std::to_string(entry.type) + "\">" + markShape(entry.type) + "</g>";
  }
  svg += "</defs>\n<g id=\"cameras\">\n";
  // The most common type first, so that rare ones are drawn on top.
  for (const TypeEntry& entry : types) {
    std::string ticks, marks;
    for (const CameraRecord& c : cameras) {
      if (c.type != entry.type) continue;
      const double x = view.x(view.relative(degrees(c.longitude))), y = view.y(degrees(c.latitude));
      marks += "<use href=\"#mark-" + std::to_string(entry.type) + "\" x=\"" + number(x) + "\" y=\"" + number(y) + "\"/>";
      marks += '\n';
      if (c.directionType != 1 && c.directionType != 2) continue;
      // 0 is north, up; 90 is east, right.
      const double heading = (directionDegrees(c.directionCode) % 360) * kPi / 180;
      const double dx = std::sin(heading) * kTickLength, dy = -std::cos(heading) * kTickLength;
      const bool both = c.directionType == 2;
      ticks += "M" + number(both ? x - dx : x) + " " + number(both ? y - dy : y) + "l" +
               number(both ? 2 * dx : dx) + " " + number(both ? 2 * dy : dy);
    }
    svg += "<g data-type=\"" + std::to_string(entry.type) + "\">\n";
    if (!ticks.empty()) {
      svg += "<path class=\"headings\" fill=\"none\" stroke=\"" + std::string(entry.colour) +
             "\" stroke-width=\"1.6\" stroke-linecap=\"round\" d=\"" + ticks + "\"/>\n";
    }
    svg += "<g fill=\"" + std::string(entry.colour) + "\" stroke=\"#fff\" stroke-width=\"0.8\">\n" + marks +
           "</g>\n</g>\n";
  }
  svg += "</g>\n";
}

// Lower bounds of up to seven classes of cell counts, at even quantiles of
// the cells that hold cameras: each colour then covers about as many cells,
// whether the cameras crowd into cities or spread evenly.
std::vector<std::uint64_t> densityClasses(const std::vector<std::uint32_t>& counts) {
  std::vector<std::uint32_t> filled;
  for (const std::uint32_t count : counts) {
    if (count > 0) filled.push_back(count);
  }
  std::sort(filled.begin(), filled.end());
  std::vector<std::uint64_t> bounds{filled.empty() ? 1u : filled.front()};
  constexpr std::size_t kClasses = 7;
  for (std::size_t i = 1; i < kClasses && !filled.empty(); ++i) {
    const std::uint64_t bound = filled[filled.size() * i / kClasses];
    if (bound > bounds.back()) bounds.push_back(bound);
  }
  return bounds;
}

const char* const kDensityColours[] = {"#fff3b0", "#fed976", "#feb24c", "#fd8d3c", "#f03b20", "#bd0026", "#67000d"};

struct DensityLegend {
  std::vector<std::uint64_t> bounds;
  std::uint64_t fullest = 0;
};

DensityLegend drawDensity(std::string& svg, const std::vector<CameraRecord>& cameras, const View& view) {
  const auto columns = static_cast<std::size_t>(kPlotWidth / kCellSize);
  const auto rows = static_cast<std::size_t>(kPlotHeight / kCellSize);
  std::vector<std::uint32_t> counts(columns * rows, 0);
  for (const CameraRecord& c : cameras) {
    const double x = view.x(view.relative(degrees(c.longitude))), y = view.y(degrees(c.latitude)) - kTitleHeight;
    const auto column = std::min(columns - 1, static_cast<std::size_t>(std::max(0.0, x / kCellSize)));
    const auto row = std::min(rows - 1, static_cast<std::size_t>(std::max(0.0, y / kCellSize)));
    ++counts[row * columns + column];
  }
  DensityLegend legend;
  legend.fullest = *std::max_element(counts.begin(), counts.end());
  legend.bounds = densityClasses(counts);
  auto classOf = [&](std::uint32_t count) {
    return static_cast<std::size_t>(std::upper_bound(legend.bounds.begin(), legend.bounds.end(), count) -
                                    legend.bounds.begin()) - 1;
  };

  // One path per class; neighbouring cells of a class in a row make one rectangle.
  std::vector<std::string> paths(legend.bounds.size());
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t column = 0; column < columns;) {
      const std::uint32_t count = counts[row * columns + column];
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
  svg += "<g id=\"density\" fill-opacity=\"0.85\">\n";
  for (std::size_t cls = 0; cls < paths.size(); ++cls) {
    if (paths[cls].empty()) continue;
    svg += "<path data-from=\"" + std::to_string(legend.bounds[cls]) + "\" fill=\"" + kDensityColours[cls] +
           "\" d=\"" + paths[cls] + "\"/>\n";
  }
  svg += "</g>\n";
  return legend;
}

// "500 m", "2 km", "1,000 km".
std::string distanceText(double km) {
  if (km < 1) return std::to_string(std::llround(km * 1000)) + " m";
  return grouped(static_cast<std::uint64_t>(std::llround(km))) + " km";
}

void drawScaleBar(std::string& svg, const View& view, double top) {
  const double kmPerPx = kKmPerDegree / view.ky;
  constexpr double kMaxBar = 200;
  double km = 0.001;
  for (double magnitude = 0.001; magnitude <= 100000; magnitude *= 10) {
    for (const double m : {1.0, 2.0, 5.0}) {
      if (m * magnitude / kmPerPx <= kMaxBar) km = m * magnitude;
    }
  }
  const double px = km / kmPerPx, left = kPlotWidth + 20;
  svg += "<g id=\"scale\"><text x=\"" + number(left) + "\" y=\"" + number(top) + "\" font-weight=\"bold\">Scale</text>\n";
  svg += "<path fill=\"none\" stroke=\"#222\" stroke-width=\"1.5\" d=\"M" + number(left) + " " + number(top + 10) +
         "v8h" + number(px) + "v-8\"/>\n";
  svg += "<text x=\"" + number(left) + "\" y=\"" + number(top + 34) + "\">" + distanceText(km) +
         "</text>\n<text x=\"" + number(left) + "\" y=\"" + number(top + 50) +
         "\" font-size=\"10\" fill=\"#666\">true along the middle parallel</text></g>\n";
}


// The document, its title and heading, and the plot's frame and sea.
void beginDocument(std::string& svg, const std::string& heading) {
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         number(kWidth) + "\" height=\"" + number(kHeight) + "\" viewBox=\"0 0 " + number(kWidth) + " " +
         number(kHeight) + "\" font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"12\">\n";
  svg += "<title>" + xmlEscaped(heading) + "</title>\n";
  svg += "<rect width=\"" + number(kWidth) + "\" height=\"" + number(kHeight) + "\" fill=\"#fafafa\"/>\n";
  svg += "<text id=\"heading\" x=\"12\" y=\"26\" font-size=\"16\" font-weight=\"bold\">" + xmlEscaped(heading) +
         "</text>\n";
  svg += "<clipPath id=\"plot\"><rect x=\"0\" y=\"" + number(kTitleHeight) + "\" width=\"" + number(kPlotWidth) +
         "\" height=\"" + number(kPlotHeight) + "\"/></clipPath>\n";
}

// Land, borders, graticule and the cameras (marks, or density when there are
// too many to mark), clipped to the plot.
DensityLegend drawPlot(std::string& svg, const View& view, const std::vector<CameraRecord>& cameras,
                       const std::vector<TypeEntry>& types, bool marked) {
  svg += "<g clip-path=\"url(#plot)\">\n<rect x=\"0\" y=\"" + number(kTitleHeight) + "\" width=\"" +
         number(kPlotWidth) + "\" height=\"" + number(kPlotHeight) + "\" fill=\"" + kSea + "\"/>\n";
  drawBorders(svg, view);
  // Lakes and place names take the view's projection; names keep clear of
  // the graticule's labels along the left and bottom edges.
  const MapFrame frame{[&view](const GeoPoint& p) { return MapPoint{view.x(view.relative(p.lon)), view.y(p.lat)}; },
                       {0, kTitleHeight, kPlotWidth, kHeight},
                       kKmPerDegree / view.ky,
                       {{0, kTitleHeight, 48, kHeight}, {0, kHeight - 20, kPlotWidth, kHeight}}};
  drawLakes(svg, frame, kSea, kCoast);
  std::string labels;
  drawGraticule(svg, labels, view);
  DensityLegend density;
  if (marked) {
    drawMarks(svg, cameras, types, view);
  } else {
    density = drawDensity(svg, cameras, view);
  }
  drawPlaceLabels(svg, choosePlaceLabels(frame));
  svg += labels + "</g>\n";
  return density;
}

// The panel beside the plot: types with counts, then the heading tick or the
// density classes. Returns the baseline of its last line.
double drawLegend(std::string& svg, const View& view, const std::vector<TypeEntry>& types, bool marked,
                  const DensityLegend& density) {
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
             number(y - 4) + "\" fill=\"" + entry.colour + "\" stroke=\"#fff\" stroke-width=\"0.8\"/>";
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
           "\">tick: one heading (north up)</text>\n";
    y += 22;
    svg += "<path fill=\"none\" stroke=\"#555\" stroke-width=\"1.6\" d=\"M" + number(left + 5) + " " + number(y - 13) +
           "l0 18\"/><circle cx=\"" + number(left + 5) + "\" cy=\"" + number(y - 4) + "\" r=\"" +
           number(kMarkRadius) + "\" fill=\"#555\"/><text x=\"" + number(left + 16) + "\" y=\"" + number(y) +
           "\">line through: both ways</text>\n";
  } else {
    y += 30;
    svg += "<text x=\"" + number(left) + "\" y=\"" + number(y) + "\" font-weight=\"bold\">Cameras per cell</text>\n";
    y += 16;
    svg += "<text x=\"" + number(left) + "\" y=\"" + number(y) + "\">(cell: " + number(kCellSize) + " px, about " +
           distanceText(kCellSize * kKmPerDegree / view.ky) + ")</text>\n";
    for (std::size_t cls = 0; cls < density.bounds.size(); ++cls) {
      y += 20;
      const std::uint64_t to = cls + 1 < density.bounds.size() ? density.bounds[cls + 1] - 1 : density.fullest;
      const std::string range = to == density.bounds[cls]
                                    ? grouped(to)
                                    : grouped(density.bounds[cls]) + "\u2013" + grouped(to);
      svg += "<rect x=\"" + number(left) + "\" y=\"" + number(y - 11) + "\" width=\"12\" height=\"12\" fill=\"" +
             kDensityColours[cls] + "\" stroke=\"#999\" stroke-width=\"0.5\"/><text x=\"" + number(left + 18) +
             "\" y=\"" + number(y) + "\">" + range + "</text>\n";
    }
  }
  svg += "</g>\n";
  return y;
}

void drawCredit(std::string& svg) {
  svg += "<text x=\"" + number(kPlotWidth + 20) + "\" y=\"" + number(kHeight - 12) +
         "\" font-size=\"10\" fill=\"#666\">Map data: Natural Earth (public domain)</text>\n";
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
    lats.push_back(degrees(c.latitude));
    lons.push_back(wrap180(degrees(c.longitude) - lon0));
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

std::string cameraMapSvg(const std::vector<CameraRecord>& allCameras, const MapTitle& title) {
  const MapPlacement placed = placeOnMap(allCameras);
  const std::vector<CameraRecord>& cameras = placed.shown;
  const View view = viewFor(cameras);
  const std::vector<TypeEntry> types = typesByCount(cameras);
  const bool marked = cameras.size() <= kMaxMarkedCameras;

  std::string svg;
  svg.reserve(marked ? 64 * cameras.size() + (1 << 20) : (2 << 20));
  beginDocument(svg, title.fileName + " \u00B7 " + title.date + " \u00B7 " + grouped(cameras.size()) +
                         (cameras.size() == 1 ? " camera" : " cameras"));
  const DensityLegend density = drawPlot(svg, view, cameras, types, marked);
  double legendEnd = drawLegend(svg, view, types, marked, density);
  if (!placed.strays.empty()) {
    legendEnd += 30;
    svg += "<text id=\"strays\" x=\"" + number(kPlotWidth + 20) + "\" y=\"" + number(legendEnd) +
           "\" data-count=\"" + std::to_string(placed.strays.size()) + "\">Left out: " +
           grouped(placed.strays.size()) + (placed.strays.size() == 1 ? " camera" : " cameras") +
           " far from the rest</text>\n";
  }
  drawScaleBar(svg, view, legendEnd + 40);
  drawCredit(svg);
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
