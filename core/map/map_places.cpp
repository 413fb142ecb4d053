#include "core/map/map_places.h"

#include "core/export/geo_export.h"

#include <algorithm>
#include <cmath>

namespace tabrino {
namespace {

constexpr double kDotRadius = 2.2;
constexpr double kDotGap = 5;       // from the dot's centre to its name
constexpr double kHalo = 1.5;       // half the halo's stroke
constexpr double kFrameInset = 2;
constexpr double kMinStep = 0.7;    // px between lake points drawn
constexpr double kMinLake = 1.5;    // px: a smaller lake is not drawn
// At web zoom 0 a pixel spans this many km along the equator.
constexpr double kKmPerPxAtZoom0 = 156.543;
// How much finer than its web zoom a place may still be named: a still
// picture has room for more names than a map one pans.
constexpr double kZoomAllowance = 1;

// Locale-free, to a tenth: "12.3", "-4".
std::string number(double value) {
  long long tenths = std::llround(value * 10);
  std::string out;
  if (tenths < 0) {
    out += '-';
    tenths = -tenths;
  }
  out += std::to_string(tenths / 10);
  if (tenths % 10 != 0) out += "." + std::to_string(tenths % 10);
  return out;
}

// A name's width, generously: 0.62 of the font size per character.
double textWidth(const std::string& text, double fontSize) {
  std::size_t characters = 0;
  for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return static_cast<double>(characters) * 0.62 * fontSize;
}

bool overlap(const MapBox& a, const MapBox& b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

bool within(const MapBox& inner, const MapBox& outer) {
  return inner.x0 >= outer.x0 && inner.x1 <= outer.x1 && inner.y0 >= outer.y0 && inner.y1 <= outer.y1;
}

}  // namespace

MarkIndex::MarkIndex(std::vector<MapPoint> centres, double radius) : byX_(std::move(centres)), radius_(radius) {
  std::sort(byX_.begin(), byX_.end(), [](const MapPoint& a, const MapPoint& b) { return a.x < b.x; });
  if (byX_.empty()) return;
  extent_ = {byX_.front().x, byX_.front().y, byX_.back().x, byX_.front().y};
  for (const MapPoint& p : byX_) {
    extent_.y0 = std::min(extent_.y0, p.y);
    extent_.y1 = std::max(extent_.y1, p.y);
  }
}

bool MarkIndex::covers(const MapBox& box) const {
  auto from = std::lower_bound(byX_.begin(), byX_.end(), box.x0 - radius_,
                               [](const MapPoint& p, double x) { return p.x < x; });
  for (; from != byX_.end() && from->x <= box.x1 + radius_; ++from) {
    // The distance from the mark's centre to the box.
    const double dx = std::max({box.x0 - from->x, 0.0, from->x - box.x1});
    const double dy = std::max({box.y0 - from->y, 0.0, from->y - box.y1});
    if (dx * dx + dy * dy < radius_ * radius_) return true;
  }
  return false;
}

bool MarkIndex::inExtent(const MapPoint& at) const {
  return at.x >= extent_.x0 && at.x <= extent_.x1 && at.y >= extent_.y0 && at.y <= extent_.y1;
}

std::vector<PlaceLabel> choosePlaceLabels(const MapFrame& frame) {
  const double zoom = std::log2(kKmPerPxAtZoom0 / frame.kmPerPx);
  const MapBox inside{frame.plot.x0 + kFrameInset, frame.plot.y0 + kFrameInset, frame.plot.x1 - kFrameInset,
                      frame.plot.y1 - kFrameInset};
  // The places among the cameras first: a map of Russia names Russia's
  // towns before the world's greatest cities at its edge.
  std::vector<const Place*> candidates;
  for (const Place& place : worldPlaces().places) candidates.push_back(&place);
  if (frame.marks) {
    std::stable_partition(candidates.begin(), candidates.end(), [&](const Place* place) {
      return frame.marks->inExtent(frame.project(place->at));
    });
  }
  std::vector<PlaceLabel> labels;
  for (const Place* candidate : candidates) {
    const Place& place = *candidate;
    if (labels.size() == kMaxPlaceLabels) break;
    if (place.minZoom > zoom + kZoomAllowance) continue;
    const MapPoint at = frame.project(place.at);
    if (at.x < inside.x0 || at.x > inside.x1 || at.y < inside.y0 || at.y > inside.y1) continue;
    const double size = place.rank <= 4 ? 12 : 11;
    const double width = textWidth(place.name, size);
    // The baseline puts the letters' middle level with the dot.
    const double top = at.y + 0.35 * size - 0.8 * size - kHalo, bottom = at.y + 0.35 * size + 0.25 * size + kHalo;
    const MapBox right{at.x - kDotRadius - 1, top, at.x + kDotGap + width + kHalo, bottom};
    const MapBox left{at.x - kDotGap - width - kHalo, top, at.x + kDotRadius + 1, bottom};
    for (const bool toLeft : {false, true}) {
      const MapBox& box = toLeft ? left : right;
      const auto clashes = [&](const MapBox& other) { return overlap(box, other); };
      if (!within(box, inside) || std::any_of(frame.reserved.begin(), frame.reserved.end(), clashes) ||
          (frame.marks && frame.marks->covers(box)) ||
          std::any_of(labels.begin(), labels.end(), [&](const PlaceLabel& l) { return clashes(l.box); })) {
        continue;
      }
      labels.push_back({&place, at, box, toLeft, size});
      break;
    }
  }
  return labels;
}

void drawLakes(std::string& svg, const MapFrame& frame, const char* water, const char* shore) {
  std::string d;
  std::vector<MapPoint> ring;
  const double maxJump = (frame.plot.x1 - frame.plot.x0) / 2;
  for (const auto& lake : worldPlaces().lakeRings) {
    ring.clear();
    MapBox bounds{1e18, 1e18, -1e18, -1e18};
    bool broken = false;
    for (const GeoPoint& p : lake) {
      const MapPoint at = frame.project(p);
      // A ring cut by the meridian the view wraps at (on a world map only)
      // would run across the map.
      if (!ring.empty() && std::fabs(at.x - ring.back().x) > maxJump) broken = true;
      ring.push_back(at);
      bounds = {std::min(bounds.x0, at.x), std::min(bounds.y0, at.y), std::max(bounds.x1, at.x),
                std::max(bounds.y1, at.y)};
    }
    if (broken || !overlap(bounds, frame.plot)) continue;
    if (bounds.x1 - bounds.x0 < kMinLake && bounds.y1 - bounds.y0 < kMinLake) continue;
    // Relative steps in tenths of a px; a point too close to the last one
    // drawn is left out.
    long long x = std::llround(ring.front().x * 10), y = std::llround(ring.front().y * 10);
    d += "M" + number(static_cast<double>(x) / 10) + " " + number(static_cast<double>(y) / 10) + "l";
    MapPoint last = ring.front();
    bool first = true;
    for (std::size_t i = 1; i + 1 < ring.size(); ++i) {
      if (std::hypot(ring[i].x - last.x, ring[i].y - last.y) < kMinStep) continue;
      last = ring[i];
      const long long nx = std::llround(last.x * 10), ny = std::llround(last.y * 10);
      if (!first) d += ' ';
      d += number(static_cast<double>(nx - x) / 10) + " " + number(static_cast<double>(ny - y) / 10);
      x = nx;
      y = ny;
      first = false;
    }
    if (first) d += "0 0";
    d += "z";
  }
  if (d.empty()) return;
  svg += "<path id=\"lakes\" fill=\"" + std::string(water) + "\" fill-rule=\"evenodd\" stroke=\"" + shore +
         "\" stroke-width=\"0.6\" d=\"" + d + "\"/>\n";
}

void drawPlaceLabels(std::string& svg, const std::vector<PlaceLabel>& labels) {
  if (labels.empty()) return;
  svg += "<g id=\"places\" fill=\"#222\" font-size=\"11\">\n";
  for (const PlaceLabel& label : labels) {
    const double size = label.fontSize;
    svg += "<g class=\"place\"><circle cx=\"" + number(label.at.x) + "\" cy=\"" + number(label.at.y) + "\" r=\"" +
           number(kDotRadius) + "\" fill=\"#333\" stroke=\"#fafafa\" stroke-width=\"1\"/><text x=\"" +
           number(label.leftOfDot ? label.at.x - kDotGap : label.at.x + kDotGap) + "\" y=\"" +
           number(label.at.y + 0.35 * size) + "\"" + (label.leftOfDot ? " text-anchor=\"end\"" : "") +
           (size != 11 ? " font-size=\"" + number(size) + "\"" : "") +
           " stroke=\"#fafafa\" stroke-width=\"3\" stroke-linejoin=\"round\" paint-order=\"stroke\">" +
           xmlEscaped(label.place->name) + "</text></g>\n";
  }
  svg += "</g>\n";
}

}  // namespace tabrino
