// The map picture's lines and areas as SVG path data: rings and lines of
// the Earth cut at the seam (the central meridian's opposite, which no
// stroke follows), projected through the view and cut to the plot.
#pragma once

#include "core/map/map_projection.h"

#include <string>
#include <vector>

namespace tabrino {

// "12.3", "-4", "0": locale-free, to a tenth.
std::string number(double value);

// An SVG path's data in relative steps of tenths of a px, leaving out points
// too close to the last one drawn (but never a line's last point).
class PathData {
 public:
  explicit PathData(std::string& out) : out_(out) {}

  void moveTo(Point p);
  void lineTo(Point p);
  void close();
  void flush();

 private:
  void emit(Point p);

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

// The plot with a little room, so that strokes along its edges are cut off.
Box plotBox(const MapView& view);

// The stretch [t0, t1] of the segment a-b inside the box; false if none.
bool clipSegment(Point a, Point b, const Box& box, double& t0, double& t1);

// Lines cut to the box, joined where they go on.
class ClippedLines {
 public:
  ClippedLines(PathData& path, const Box& box) : path_(path), box_(box) {}

  void segment(Point a, Point b);
  void breakLine();

 private:
  PathData& path_;
  Box box_;
  bool open_ = false;
};

// A closed ring of the Earth (first point repeated last, longitudes running
// on without a jump, as WorldBorders keeps them) filled into `fill`, once
// for each copy of the world that reaches the plot. When `stroke` is given,
// the edges marked in `stroked` go there too; edges along the seam never do.
void appendRing(const MapView& view, const std::vector<GeoPoint>& ring, PathData& fill,
                const std::vector<bool>* stroked = nullptr, ClippedLines* stroke = nullptr);

// An open line of the Earth, cut at the seam and at the plot.
void appendLine(const MapView& view, const std::vector<GeoPoint>& line, ClippedLines& stroke);

// Where the sea goes: the Earth's outline in Equal Earth, whose world does
// not fill the plot; the whole plot in the others.
std::string earthOutline(const MapView& view);

}  // namespace tabrino
