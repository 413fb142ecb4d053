// Where a point of the Earth goes in the map picture. The view is chosen
// from the cameras' extent: a city or a region in an equirectangular
// projection (straight graticule, true to scale along the middle parallel),
// a country or a continent in Albers' equal-area conic, the world in Equal
// Earth, cropped to the Earth's outline. Everything the picture draws (land,
// coasts, borders, graticule, cameras, the density grid) goes through the
// one view, so it all lines up.
#pragma once

#include "core/database/camera_db_format.h"
#include "core/map/world_borders.h"

#include <vector>

namespace tabrino {

// A position in the picture, in px; y grows downwards.
struct Point {
  double x, y;
};

// The picture's layout: a title band, the plot below it, a panel on the
// right for the legend and the scale. The plot's height may be less than
// kPlotHeight when the world's outline is wider than the plot's shape.
inline constexpr double kTitleHeight = 40;
inline constexpr double kPlotWidth = 1000;
inline constexpr double kPlotHeight = 760;

enum class MapProjection { equirectangular, albersConic, equalEarth };

// Tissot's indicatrix at a point: the largest and smallest scale, in px per
// km, over all directions.
struct LocalScale {
  double largest, smallest;
};

// One scale holds across a plot when its largest and smallest (over the
// plot and every direction) differ by no more than this: a scale bar at
// their geometric mean is then within half of it, 2 %, of any distance.
inline constexpr double kScaleTolerance = 0.04;

class MapView {
 public:
  // The view of these cameras (placeOnMap's shown ones): the projection that
  // suits their extent, fitted to it with a margin, at least some 50 km
  // across. No camera: the inhabited world.
  static MapView fitted(const std::vector<CameraRecord>& cameras);

  // The picture's position of a point (lon, lat in degrees); longitudes may
  // be given any number of turns off, they are taken round the centre.
  Point project(const GeoPoint& point) const;
  // Whether the point falls on the plot.
  bool visible(const GeoPoint& point) const;
  // The point at a position of the plot; false off the Earth's outline.
  bool unproject(Point at, GeoPoint& point) const;
  // As project, with the longitude already taken from the central meridian
  // and not wrapped: the seam lies at -180 and 180.
  Point projectRelative(double relativeLon, double lat) const;

  MapProjection projection() const noexcept { return projection_; }
  // The central meridian: the seam runs along its opposite.
  double centreLon() const noexcept { return centreLon_; }
  double plotHeight() const noexcept { return plotHeight_; }
  double bottom() const noexcept { return kTitleHeight + plotHeight_; }
  // The unit vector, in px, of a small step from the point along a bearing
  // (degrees clockwise from north): a heading as the projection shows it.
  Point direction(const GeoPoint& point, double bearing) const;
  LocalScale scaleAt(const GeoPoint& point) const;
  // The smallest and largest scale over the Earth the plot shows, sampled
  // on a grid across it, in px per km.
  LocalScale scaleRange() const;
  bool scaleHolds() const;
  // The parts of the Earth the plot shows, in degrees: longitudes relative
  // to the centre.
  double westRel() const noexcept { return westRel_; }
  double eastRel() const noexcept { return eastRel_; }
  double south() const noexcept { return south_; }
  double north() const noexcept { return north_; }

 private:
  struct Plane {
    double u, v;  // the projection's own units, v up
  };
  Plane forward(double lambda, double phi) const;  // radians, lambda relative
  bool inverse(Plane p, double& lambda, double& phi) const;
  bool inverseAt(Point at, double& relativeLon, double& lat) const;  // degrees
  Point toPicture(Plane p) const { return {(p.u - u0_) * k_, kTitleHeight + (v1_ - p.v) * k_}; }
  // The cameras' latitudes and span of longitudes, and the least extent
  // round their middle.
  struct Extent {
    double south, north, spanLon;
    double minSouth, minNorth, minSpanLon;
  };
  void fit(MapProjection projection, const Extent& extent, const std::vector<CameraRecord>& cameras);
  void findBounds();

  MapProjection projection_ = MapProjection::equirectangular;
  double centreLon_ = 0;
  double cosStandard_ = 1;           // equirectangular
  double n_ = 0, c_ = 0, rho0_ = 0;  // Albers
  double u0_ = 0, v1_ = 0, k_ = 1;   // the plot's top left corner, and px per unit
  double plotHeight_ = kPlotHeight;
  double westRel_ = -180, eastRel_ = 180, south_ = -90, north_ = 90;
};

// A camera's place in degrees.
GeoPoint geoPointOf(const CameraRecord& camera);

// The meridian opposite the widest stretch of longitudes without cameras,
// so that cameras on both sides of the 180th meridian sit together when
// longitudes are taken relative to it.
double centralMeridian(const std::vector<CameraRecord>& cameras);

// Which projection suits an extent of these sizes (degrees of latitude and
// of longitude, relative, and km across at its middle).
MapProjection projectionForExtent(double latSpan, double lonSpan, double kmAcross);

double wrap180(double degrees);

}  // namespace tabrino
