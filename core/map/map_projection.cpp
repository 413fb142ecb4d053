#include "core/map/map_projection.h"

#include "core/model/earth.h"

#include <algorithm>
#include <cmath>

namespace tabrino {
namespace {

constexpr double kRadius = kEarthRadiusMetres / 1000;            // km
constexpr double kKmPerDegree = kRadius * kPi / 180;             // along a meridian
constexpr double kPlotPadding = 24;  // keeps the outermost marks clear of the edges
constexpr double kMinSpanKm = 50;    // a single camera shows its region, with land and coast
// The legend panel beside a short plot (the world is twice as wide as high)
// still needs this much height.
constexpr double kMinPlotHeight = 600;

// Equal Earth (Šavrič, Patterson and Jenny, 2018).
constexpr double kA1 = 1.340264, kA2 = -0.081106, kA3 = 0.000893, kA4 = 0.003796;
const double kM = std::sqrt(3.0) / 2;

double equalEarthY(double t) {
  const double t2 = t * t, t6 = t2 * t2 * t2;
  return t * (kA1 + kA2 * t2 + t6 * (kA3 + kA4 * t2));
}
double equalEarthDy(double t) {
  const double t2 = t * t, t6 = t2 * t2 * t2;
  return kA1 + 3 * kA2 * t2 + t6 * (7 * kA3 + 9 * kA4 * t2);
}

// Where the extent's edges go, to fit the frame round it: the bounding box
// of a projected region is that of its projected outline.
template <typename Visit>
void forEachEdgePoint(double west, double east, double south, double north, Visit visit) {
  constexpr int kSteps = 64;
  for (int i = 0; i <= kSteps; ++i) {
    const double lon = west + (east - west) * i / kSteps, lat = south + (north - south) * i / kSteps;
    visit(lon, south);
    visit(lon, north);
    visit(west, lat);
    visit(east, lat);
  }
}

}  // namespace

double wrap180(double degrees) {
  double d = std::fmod(degrees + 180, 360);
  if (d < 0) d += 360;
  return d - 180;
}

GeoPoint geoPointOf(const CameraRecord& camera) {
  return {static_cast<double>(camera.longitude) / kCoordinateScale,
          static_cast<double>(camera.latitude) / kCoordinateScale};
}

double centralMeridian(const std::vector<CameraRecord>& cameras) {
  constexpr int kColumns = 3600;  // tenths of a degree
  std::vector<bool> used(kColumns, false);
  // Every column asked for is at least 0: clamped, or a remainder of one.
  const auto column = [&](int at) { return used[static_cast<std::size_t>(at % kColumns)]; };
  for (const CameraRecord& c : cameras) {
    column(std::clamp(static_cast<int>(std::floor((geoPointOf(c).lon + 180) * 10)), 0, kColumns - 1)) = true;
  }
  int bestStart = 0, bestLength = 0;
  for (int start = 0; start < kColumns; ++start) {
    if (column(start) || !column(start + kColumns - 1)) continue;
    int length = 0;
    while (length < kColumns && !column(start + length)) ++length;
    if (length > bestLength) bestStart = start, bestLength = length;
  }
  return bestLength > 0 ? wrap180((bestStart + bestLength / 2.0) / 10) : 0;
}

// Up to some 500 km across, an equirectangular picture's scale along the
// parallels strays by a few percent (4 % at 45°, 7 % at 60° at the extent's
// edges), less than the eye sees, and a graticule of straight lines reads
// best for a city or a region (fitted() keeps it only where a scale bar
// holds in it). Up to a hemisphere (180° of longitude, 90° of
// latitude: Russia, Europe, Asia), Albers' conic keeps areas true, so that
// density cells compare, and its scale close to true between its standard
// parallels. Beyond that a conic's fan folds the far meridians in, and
// Equal Earth shows the whole world with areas still true.
MapProjection projectionForExtent(double latSpan, double lonSpan, double kmAcross) {
  if (kmAcross < 500) return MapProjection::equirectangular;
  if (lonSpan <= 180 && latSpan <= 90) return MapProjection::albersConic;
  return MapProjection::equalEarth;
}

MapView MapView::fitted(const std::vector<CameraRecord>& cameras) {
  MapView view;
  double lon0 = 0, minRel = -180, maxRel = 180, minLat = -60, maxLat = 80;  // no camera: the inhabited world
  if (!cameras.empty()) {
    lon0 = centralMeridian(cameras);
    minRel = minLat = 1e9;
    maxRel = maxLat = -1e9;
    for (const CameraRecord& c : cameras) {
      const GeoPoint p = geoPointOf(c);
      const double rel = wrap180(p.lon - lon0);
      minRel = std::min(minRel, rel);
      maxRel = std::max(maxRel, rel);
      minLat = std::min(minLat, p.lat);
      maxLat = std::max(maxLat, p.lat);
    }
  }
  const double midRel = (minRel + maxRel) / 2, midLat = (minLat + maxLat) / 2;
  const double cosine = std::cos(std::clamp(midLat, -80.0, 80.0) * kRadiansPerDegree);
  // At least kMinSpanKm across, so that one camera shows its surroundings.
  const double minSpanLat = kMinSpanKm / kKmPerDegree, minSpanLon = std::min(360.0, minSpanLat / cosine);
  const double spanLon = std::max(maxRel - minRel, minSpanLon), spanLat = std::max(maxLat - minLat, minSpanLat);
  Extent extent{std::max(-90.0, midLat - spanLat / 2), std::min(90.0, midLat + spanLat / 2), spanLon,
                std::max(-90.0, midLat - minSpanLat / 2), std::min(90.0, midLat + minSpanLat / 2), minSpanLon};
  if (cameras.empty()) extent.minSpanLon = 360, extent.minSouth = extent.south, extent.minNorth = extent.north;
  view.centreLon_ = wrap180(lon0 + midRel);
  view.cosStandard_ = cosine;
  view.fit(projectionForExtent(spanLat, spanLon, std::max(spanLat, spanLon * cosine) * kKmPerDegree), extent,
           cameras);
  // The straight graticule of the equirectangular projection is kept while
  // it costs nothing: while one scale holds across the plot. Past that (a
  // region far from the equator), the conic is true to scale.
  if (view.projection_ == MapProjection::equirectangular && !view.scaleHolds()) {
    view.fit(MapProjection::albersConic, extent, cameras);
  }
  return view;
}

void MapView::fit(MapProjection projection, const Extent& extent, const std::vector<CameraRecord>& cameras) {
  projection_ = projection;
  const double south = extent.south, north = extent.north;
  if (projection_ == MapProjection::albersConic) {
    // Standard parallels at a sixth of the span from either edge keep the
    // scale's error about even between the middle and the edges.
    const double phi1 = (south + (north - south) / 6) * kRadiansPerDegree;
    const double phi2 = (north - (north - south) / 6) * kRadiansPerDegree;
    double n = (std::sin(phi1) + std::sin(phi2)) / 2;
    // About the equator the cone opens into a cylinder; a slight cone draws
    // the same and keeps the formulas finite.
    if (std::fabs(n) < 1e-3) n = n < 0 ? -1e-3 : 1e-3;
    n_ = n;
    c_ = std::cos(phi1) * std::cos(phi1) + 2 * n * std::sin(phi1);
    rho0_ = std::sqrt(c_ - 2 * n * std::sin((south + north) / 2 * kRadiansPerDegree)) / n;
  }

  // The frame fits the cameras, and the least extent round their middle.
  double uMin = 1e300, uMax = -1e300, vMin = 1e300, vMax = -1e300;
  const auto cover = [&](double rel, double lat) {
    const Plane p = forward(rel * kRadiansPerDegree, lat * kRadiansPerDegree);
    uMin = std::min(uMin, p.u);
    uMax = std::max(uMax, p.u);
    vMin = std::min(vMin, p.v);
    vMax = std::max(vMax, p.v);
  };
  for (const CameraRecord& c : cameras) {
    const GeoPoint p = geoPointOf(c);
    cover(wrap180(p.lon - centreLon_), p.lat);
  }
  forEachEdgePoint(-extent.minSpanLon / 2, extent.minSpanLon / 2, extent.minSouth, extent.minNorth, cover);
  k_ = std::min((kPlotWidth - 2 * kPlotPadding) / (uMax - uMin), (kPlotHeight - 2 * kPlotPadding) / (vMax - vMin));
  plotHeight_ = kPlotHeight;
  if (projection_ == MapProjection::equalEarth) {
    // Cropped to the Earth: no band of sea beyond the poles.
    plotHeight_ = std::clamp((vMax - vMin) * k_ + 2 * kPlotPadding, kMinPlotHeight, kPlotHeight);
  }
  u0_ = (uMin + uMax) / 2 - kPlotWidth / 2 / k_;
  v1_ = (vMin + vMax) / 2 + plotHeight_ / 2 / k_;
  findBounds();
}

bool MapView::scaleHolds() const {
  const LocalScale range = scaleRange();
  return range.largest <= range.smallest * (1 + kScaleTolerance);
}

MapView::Plane MapView::forward(double lambda, double phi) const {
  switch (projection_) {
    case MapProjection::equirectangular:
      return {lambda * cosStandard_, phi};
    case MapProjection::albersConic: {
      const double rho = std::sqrt(std::max(0.0, c_ - 2 * n_ * std::sin(phi))) / n_;
      return {rho * std::sin(n_ * lambda), rho0_ - rho * std::cos(n_ * lambda)};
    }
    case MapProjection::equalEarth: {
      const double t = std::asin(kM * std::sin(phi));
      return {2 * std::sqrt(3.0) * lambda * std::cos(t) / (3 * equalEarthDy(t)), equalEarthY(t)};
    }
  }
  return {0, 0};
}

bool MapView::inverse(Plane p, double& lambda, double& phi) const {
  switch (projection_) {
    case MapProjection::equirectangular:
      lambda = p.u / cosStandard_;
      phi = p.v;
      break;
    case MapProjection::albersConic: {
      const double sign = n_ < 0 ? -1 : 1;
      const double rho = std::hypot(p.u, rho0_ - p.v);
      lambda = std::atan2(p.u * sign, (rho0_ - p.v) * sign) / n_;
      const double sine = (c_ - rho * rho * n_ * n_) / (2 * n_);
      if (std::fabs(sine) > 1) return false;
      phi = std::asin(sine);
      break;
    }
    case MapProjection::equalEarth: {
      if (std::fabs(p.v) > equalEarthY(std::asin(kM))) return false;
      double t = p.v / kA1;
      for (int i = 0; i < 12; ++i) t -= (equalEarthY(t) - p.v) / equalEarthDy(t);
      lambda = 3 * p.u * equalEarthDy(t) / (2 * std::sqrt(3.0) * std::cos(t));
      phi = std::asin(std::clamp(std::sin(t) / kM, -1.0, 1.0));
      break;
    }
  }
  return std::fabs(lambda) <= kPi + 1e-9 && std::fabs(phi) <= kPi / 2 + 1e-9;
}

void MapView::findBounds() {
  if (projection_ == MapProjection::equalEarth) return;  // the whole Earth, in any crop
  double west = 1e9, east = -1e9, south = 1e9, north = -1e9;
  constexpr int kColumns = 40, kRows = 30;
  for (int i = 0; i <= kColumns; ++i) {
    for (int j = 0; j <= kRows; ++j) {
      double rel = 0, lat = 0;
      if (!inverseAt({kPlotWidth * i / kColumns, kTitleHeight + plotHeight_ * j / kRows}, rel, lat)) continue;
      west = std::min(west, rel);
      east = std::max(east, rel);
      south = std::min(south, lat);
      north = std::max(north, lat);
    }
  }
  // Between the samples a parallel's arc may bulge a little further.
  const double marginLon = (east - west) / kColumns, marginLat = (north - south) / kRows;
  westRel_ = std::max(-180.0, west - marginLon);
  eastRel_ = std::min(180.0, east + marginLon);
  south_ = std::max(-90.0, south - marginLat);
  north_ = std::min(90.0, north + marginLat);
  for (const double pole : {-90.0, 90.0}) {
    const Point at = projectRelative(0, pole);
    if (at.x >= 0 && at.x <= kPlotWidth && at.y >= kTitleHeight && at.y <= bottom()) {
      westRel_ = -180;
      eastRel_ = 180;
      (pole < 0 ? south_ : north_) = pole;
    }
  }
}

bool MapView::inverseAt(Point at, double& relativeLon, double& lat) const {
  double lambda = 0, phi = 0;
  if (!inverse({u0_ + at.x / k_, v1_ - (at.y - kTitleHeight) / k_}, lambda, phi)) return false;
  relativeLon = lambda / kRadiansPerDegree;
  lat = phi / kRadiansPerDegree;
  return true;
}

bool MapView::unproject(Point at, GeoPoint& point) const {
  double rel = 0, lat = 0;
  if (!inverseAt(at, rel, lat)) return false;
  point = {wrap180(centreLon_ + rel), lat};
  return true;
}

Point MapView::projectRelative(double relativeLon, double lat) const {
  return toPicture(forward(relativeLon * kRadiansPerDegree, lat * kRadiansPerDegree));
}

Point MapView::project(const GeoPoint& point) const {
  return projectRelative(wrap180(point.lon - centreLon_), point.lat);
}

bool MapView::visible(const GeoPoint& point) const {
  const Point at = project(point);
  return at.x >= 0 && at.x <= kPlotWidth && at.y >= kTitleHeight && at.y <= bottom();
}

Point MapView::direction(const GeoPoint& point, double bearing) const {
  constexpr double kStep = 0.005;  // degrees: some 500 m
  const double rel = wrap180(point.lon - centreLon_);
  const double lat = std::clamp(point.lat, -89.9, 89.9);
  const double b = bearing * kRadiansPerDegree;
  const double dLat = kStep * std::cos(b), dLon = kStep * std::sin(b) / std::cos(lat * kRadiansPerDegree);
  const Point a = projectRelative(rel - dLon, lat - dLat), z = projectRelative(rel + dLon, lat + dLat);
  const double length = std::hypot(z.x - a.x, z.y - a.y);
  return {(z.x - a.x) / length, (z.y - a.y) / length};
}

LocalScale MapView::scaleAt(const GeoPoint& point) const {
  constexpr double kStepKm = 1;
  const double rel = wrap180(point.lon - centreLon_);
  const double dLat = kStepKm / kKmPerDegree;
  const double dLon = dLat / std::cos(point.lat * kRadiansPerDegree);
  const Point w = projectRelative(rel - dLon / 2, point.lat), e = projectRelative(rel + dLon / 2, point.lat);
  const Point s = projectRelative(rel, point.lat - dLat / 2), n = projectRelative(rel, point.lat + dLat / 2);
  // The Jacobian's columns, px per km east and north; its singular values
  // are the largest and smallest scale in any direction.
  const double ex = (e.x - w.x) / kStepKm, ey = (e.y - w.y) / kStepKm;
  const double nx = (n.x - s.x) / kStepKm, ny = (n.y - s.y) / kStepKm;
  const double sum = ex * ex + ey * ey + nx * nx + ny * ny, det = std::fabs(ex * ny - ey * nx);
  const double root = std::sqrt(std::max(0.0, sum * sum - 4 * det * det));
  return {std::sqrt((sum + root) / 2), std::sqrt(std::max(0.0, (sum - root) / 2))};
}

LocalScale MapView::scaleRange() const {
  LocalScale range{0, 1e300};
  constexpr int kColumns = 20, kRows = 15;
  for (int i = 0; i <= kColumns; ++i) {
    for (int j = 0; j <= kRows; ++j) {
      GeoPoint p;
      if (!unproject({kPlotWidth * i / kColumns, kTitleHeight + plotHeight_ * j / kRows}, p)) continue;
      if (std::fabs(p.lat) > 89) continue;
      const LocalScale here = scaleAt(p);
      range.largest = std::max(range.largest, here.largest);
      range.smallest = std::min(range.smallest, here.smallest);
    }
  }
  return range;
}

}  // namespace tabrino
