// Lakes and place names on the map picture. The picture hands over how it
// projects (a callable from degrees to pixels), the plot's box and its
// scale, so that these layers follow whatever projection it uses.
#pragma once

#include "core/map/world_places.h"

#include <functional>
#include <string>
#include <vector>

namespace tabrino {

struct MapPoint {
  double x, y;
};

struct MapBox {
  double x0, y0, x1, y1;  // left, top, right, bottom, in px
};

// The cameras' marks, for labels to keep clear of: a label over a camera
// would hide it, and a camera near the edge is as much a camera as any.
class MarkIndex {
 public:
  MarkIndex() = default;
  // Marks centred at `centres`, each within `radius` of its centre.
  MarkIndex(std::vector<MapPoint> centres, double radius);
  // Whether any mark reaches into the box.
  bool covers(const MapBox& box) const;
  // Whether the point lies within the marks' extent (no marks: none does).
  bool inExtent(const MapPoint& at) const;

 private:
  std::vector<MapPoint> byX_;  // sorted by x
  double radius_ = 0;
  MapBox extent_{0, 0, -1, -1};
};

struct MapFrame {
  // A longitude of any turn (past ±180 too) to the pixel it is drawn at.
  std::function<MapPoint(const GeoPoint&)> project;
  MapBox plot;
  double kmPerPx;  // along the middle of the plot
  std::vector<MapBox> reserved;  // what names must keep clear of (the graticule's labels)
  const MarkIndex* marks = nullptr;  // the cameras' marks, when drawn as marks
};

inline constexpr std::size_t kMaxPlaceLabels = 40;

struct PlaceLabel {
  const Place* place;
  MapPoint at;     // the place's dot
  MapBox box;      // where its name goes, halo included
  bool leftOfDot;  // the name ends at the dot rather than starting there
  double fontSize;
};

// Which places to name: those among the cameras (within their marks'
// extent) first, then the rest, each group the most important first; those
// the scale is fine enough for, each name and dot clear of the frame, of
// every camera mark and of every name chosen before it (right of its dot,
// else left), at most kMaxPlaceLabels.
std::vector<PlaceLabel> choosePlaceLabels(const MapFrame& frame);

// The lakes, filled with `water` and outlined with `shore`, as one path
// of id "lakes"; a lake too small to see is left out.
void drawLakes(std::string& svg, const MapFrame& frame, const char* water, const char* shore);

// The labels as a group of id "places": a dot and the name with a halo.
void drawPlaceLabels(std::string& svg, const std::vector<PlaceLabel>& labels);

}  // namespace tabrino
