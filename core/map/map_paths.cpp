#include "core/map/map_paths.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tabrino {
namespace {

// Points of lines closer than this to the last one drawn are left out: a
// world map would otherwise carry detail no screen shows.
constexpr double kMinStep = 0.7;

long long tenthsOf(double value) { return std::llround(value * 10); }

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

// A ring's point relative to the centre, and whether the edge from it to
// the next is stroked.
struct Vertex {
  double lon, lat;
  bool stroked;
};

// Sutherland-Hodgman against the seam on either side: the cut runs along
// the seam and is never stroked.
std::vector<Vertex> clipAtSeam(std::vector<Vertex> ring) {
  for (const double seam : {-180.0, 180.0}) {
    const auto inside = [seam](const Vertex& v) { return seam < 0 ? v.lon >= seam : v.lon <= seam; };
    std::vector<Vertex> out;
    if (ring.empty()) break;
    bool firstArrival = false;
    const auto emit = [&](Vertex v, bool arriving) {
      (out.empty() ? firstArrival : out.back().stroked) = arriving;
      out.push_back(v);
    };
    const auto cross = [seam](const Vertex& a, const Vertex& b) {
      return Vertex{seam, a.lat + (b.lat - a.lat) * (seam - a.lon) / (b.lon - a.lon), false};
    };
    const Vertex* previous = &ring.back();
    for (const Vertex& v : ring) {
      if (inside(v)) {
        if (!inside(*previous)) emit(cross(*previous, v), false);
        emit(v, previous->stroked);
      } else if (inside(*previous)) {
        emit(cross(*previous, v), previous->stroked);
      }
      previous = &v;
    }
    if (!out.empty()) out.back().stroked = firstArrival;
    ring.swap(out);
  }
  return ring;
}

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

// Straight in degrees is curved in a conic or in Equal Earth: long edges
// are drawn through points at most this far apart.
double maxStepDegrees(const MapView& view) {
  return view.projection() == MapProjection::equirectangular ? 360 : 1;
}

// Calls visit(a, b, t0, t1) for the stretch of the edge a-b inside the seams.
template <typename Visit>
void alongEdge(const MapView& view, GeoPoint a, GeoPoint b, Visit visit) {
  const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::fabs(b.lon - a.lon), std::fabs(b.lat - a.lat)) /
                                                           maxStepDegrees(view))));
  Point from = view.projectRelative(a.lon, a.lat);
  for (int i = 1; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    const Point to = view.projectRelative(a.lon + (b.lon - a.lon) * t, a.lat + (b.lat - a.lat) * t);
    visit(from, to);
    from = to;
  }
}

// The shifts, in whole turns, that bring a run of longitudes (absolute)
// into the strip round the centre and the plot's part of it.
template <typename Visit>
void forEachCopy(const MapView& view, const std::vector<GeoPoint>& points, Visit visit) {
  double minLon = 1e9, maxLon = -1e9, minLat = 1e9, maxLat = -1e9;
  for (const GeoPoint& p : points) {
    minLon = std::min(minLon, p.lon);
    maxLon = std::max(maxLon, p.lon);
    minLat = std::min(minLat, p.lat);
    maxLat = std::max(maxLat, p.lat);
  }
  if (maxLat < view.south() || minLat > view.north()) return;
  for (const double shift : {-720.0, -360.0, 0.0, 360.0, 720.0}) {
    const double from = minLon - view.centreLon() + shift, to = maxLon - view.centreLon() + shift;
    if (to < view.westRel() || from > view.eastRel()) continue;
    visit(shift - view.centreLon());
  }
}

}  // namespace

std::string number(double value) {
  std::string out;
  appendTenths(out, tenthsOf(value));
  return out;
}

void PathData::moveTo(Point p) {
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

void PathData::lineTo(Point p) {
  if (std::hypot(p.x - last_.x, p.y - last_.y) < kMinStep) {
    pendingPoint_ = p;
    pending_ = true;
    return;
  }
  emit(p);
}

void PathData::close() {
  pending_ = false;  // the closing point is the first
  out_ += 'z';
}

void PathData::flush() {
  if (pending_) emit(pendingPoint_);
  pending_ = false;
}

void PathData::emit(Point p) {
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

Box plotBox(const MapView& view) { return {-2, kTitleHeight - 2, kPlotWidth + 2, view.bottom() + 2}; }

// Liang-Barsky.
bool clipSegment(Point a, Point b, const Box& box, double& t0, double& t1) {
  t0 = 0;
  t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const std::array<std::pair<double, double>, 4> sides = {
      {{-dx, a.x - box.x0}, {dx, box.x1 - a.x}, {-dy, a.y - box.y0}, {dy, box.y1 - a.y}}};
  for (const auto& [p, q] : sides) {
    if (p == 0) {
      if (q < 0) return false;
    } else {
      const double t = q / p;
      if (p < 0) {
        if (t > t1) return false;
        t0 = std::max(t0, t);
      } else {
        if (t < t0) return false;
        t1 = std::min(t1, t);
      }
    }
  }
  return true;
}

void ClippedLines::segment(Point a, Point b) {
  double t0 = 0, t1 = 1;
  if (!clipSegment(a, b, box_, t0, t1)) return breakLine();
  const double dx = b.x - a.x, dy = b.y - a.y;
  if (!open_ || t0 > 0) path_.moveTo({a.x + t0 * dx, a.y + t0 * dy});
  path_.lineTo({a.x + t1 * dx, a.y + t1 * dy});
  open_ = t1 >= 1;
  if (!open_) path_.flush();
}

void ClippedLines::breakLine() {
  path_.flush();
  open_ = false;
}

void appendRing(const MapView& view, const std::vector<GeoPoint>& ring, PathData& fill,
                const std::vector<bool>* stroked, ClippedLines* stroke) {
  if (ring.size() < 4) return;
  const Box box = plotBox(view);
  std::vector<Vertex> relative;
  std::vector<Point> projected;
  forEachCopy(view, ring, [&](double offset) {
    relative.clear();
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
      relative.push_back({ring[i].lon + offset, ring[i].lat, stroked != nullptr && (*stroked)[i]});
    }
    const std::vector<Vertex> cut = clipAtSeam(relative);
    if (cut.size() < 3) return;
    projected.clear();
    for (std::size_t i = 0; i < cut.size(); ++i) {
      const Vertex& a = cut[i];
      const Vertex& b = cut[(i + 1) % cut.size()];
      alongEdge(view, {a.lon, a.lat}, {b.lon, b.lat}, [&](Point from, Point to) {
        if (projected.empty()) projected.push_back(from);
        projected.push_back(to);
        if (stroke == nullptr) return;
        if (a.stroked) {
          stroke->segment(from, to);
        } else {
          stroke->breakLine();
        }
      });
    }
    if (stroke != nullptr) stroke->breakLine();
    projected.pop_back();  // the first again
    const std::vector<Point> clipped = clipRing(projected, box);
    if (clipped.size() < 3) return;
    fill.moveTo(clipped.front());
    for (std::size_t i = 1; i < clipped.size(); ++i) fill.lineTo(clipped[i]);
    fill.close();
  });
}

void appendLine(const MapView& view, const std::vector<GeoPoint>& line, ClippedLines& stroke) {
  forEachCopy(view, line, [&](double offset) {
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
      GeoPoint a{line[i].lon + offset, line[i].lat}, b{line[i + 1].lon + offset, line[i + 1].lat};
      // The part of the segment between the seams, if any.
      const double lo = std::min(a.lon, b.lon), hi = std::max(a.lon, b.lon);
      if (hi < -180 || lo > 180) {
        stroke.breakLine();
        continue;
      }
      const auto at = [&](double lon) {
        return GeoPoint{lon, a.lat + (b.lat - a.lat) * (lon - a.lon) / (b.lon - a.lon)};
      };
      const GeoPoint from = a.lon < -180 ? at(-180) : a.lon > 180 ? at(180) : a;
      const GeoPoint to = b.lon < -180 ? at(-180) : b.lon > 180 ? at(180) : b;
      if (from.lon != a.lon) stroke.breakLine();
      alongEdge(view, from, to, [&](Point p, Point q) { stroke.segment(p, q); });
      if (to.lon != b.lon) stroke.breakLine();
    }
    stroke.breakLine();
  });
}

std::string earthOutline(const MapView& view) {
  std::string d;
  PathData path(d);
  if (view.projection() != MapProjection::equalEarth) {
    // The plot is all Earth, but for the hole a conic leaves round a pole:
    // the Arctic's sea, or what a southern cone leaves of Antarctica.
    const Box box = plotBox(view);
    path.moveTo({box.x0, box.y0});
    for (const Point p : {Point{box.x1, box.y0}, Point{box.x1, box.y1}, Point{box.x0, box.y1}}) path.lineTo(p);
    path.close();
    return d;
  }
  const std::vector<GeoPoint> corners = {{-180, -90}, {-180, 90}, {180, 90}, {180, -90}};
  std::vector<Point> ring;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    alongEdge(view, corners[i], corners[(i + 1) % corners.size()], [&](Point, Point to) { ring.push_back(to); });
  }
  const std::vector<Point> clipped = clipRing(ring, plotBox(view));
  if (clipped.size() < 3) return d;
  path.moveTo(clipped.front());
  for (std::size_t i = 1; i < clipped.size(); ++i) path.lineTo(clipped[i]);
  path.close();
  return d;
}

}  // namespace tabrino
