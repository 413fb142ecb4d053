// The map picture, read back: well-formed, each camera where the view
// projects it, the land where the land is, a projection and a scale bar that
// suit the extent, and a density grid where marks would pile up.
#include "core/map/camera_map.h"

#include "core/base/c_numbers.h"
#include "core/list/text_import.h"
#include "core/map/map_density.h"
#include "core/map/map_places.h"
#include "core/map/map_projection.h"
#include "core/map/world_borders.h"
#include "core/map/world_places.h"
#include "markup_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tabrino {
namespace {

using test::XmlElement;

const MapTitle kTitle{"cameras.txt", "2014-11-14"};

CameraRecord camera(double lon, double lat, std::uint8_t type = 1, std::uint8_t dirType = 0, int heading = 0) {
  return {scaleCoordinate(lat), scaleCoordinate(lon), type, 60, dirType, directionCode(heading)};
}

struct Px {
  double x, y;
};

MapView viewOf(const std::vector<CameraRecord>& cameras) { return MapView::fitted(placeOnMap(cameras).shown); }

Px at(const MapView& view, double lon, double lat) {
  const Point p = view.project({lon, lat});
  return {p.x, p.y};
}

// Along the great circle, in km.
double greatCircleKm(GeoPoint a, GeoPoint b) {
  const double r = 3.14159265358979 / 180;
  const double h = std::pow(std::sin((b.lat - a.lat) * r / 2), 2) +
                   std::cos(a.lat * r) * std::cos(b.lat * r) * std::pow(std::sin((b.lon - a.lon) * r / 2), 2);
  return 2 * 6371.0088 * std::asin(std::sqrt(h));
}

// Subpaths of a path's data as absolute points (the picture writes M and l only).
std::vector<std::vector<Px>> subpaths(const std::string& d) {
  std::vector<std::vector<Px>> out;
  std::string spaced;
  for (const char c : d) {
    if (c == 'M' || c == 'l' || c == 'z' || c == 'h' || c == 'v') {
      spaced += ' ';
      spaced += c;
      spaced += ' ';
    } else if (c == '-') {
      spaced += " -";
    } else {
      spaced += c;
    }
  }
  std::istringstream in(spaced);
  std::string token;
  char command = 'M';
  Px at{0, 0};
  while (in >> token) {
    if (token == "M" || token == "l" || token == "h" || token == "v" || token == "z") {
      command = token[0];
      if (command == 'z' && !out.empty()) out.back().push_back(out.back().front());
      continue;
    }
    const double a = atofC(token);
    if (command == 'h') {
      at.x += a;
    } else if (command == 'v') {
      at.y += a;
    } else {
      std::string second;
      in >> second;
      const double b = atofC(second);
      if (command == 'M') {
        at = {a, b};
        out.emplace_back();
      } else {
        at = {at.x + a, at.y + b};
      }
    }
    out.back().push_back(at);
  }
  return out;
}

// Even-odd, as the land is filled.
bool inside(const std::vector<std::vector<Px>>& rings, Px p) {
  bool in = false;
  for (const auto& ring : rings) {
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
      if ((ring[i].y > p.y) != (ring[j].y > p.y) &&
          p.x < (ring[j].x - ring[i].x) * (p.y - ring[i].y) / (ring[j].y - ring[i].y) + ring[i].x) {
        in = !in;
      }
    }
  }
  return in;
}

XmlElement mapOf(const std::vector<CameraRecord>& cameras) { return test::parseXml(cameraMapSvg(cameras, kTitle)); }

TEST(CameraMap, EachCameraIsAMarkWhereTheViewPutsItWithItsHeadingAndTypeCounted) {
  const std::vector<CameraRecord> cameras = {
      camera(13.40, 52.52, 1, 1, 90),  camera(13.30, 52.45, 1, 0),     camera(13.55, 52.40, 2, 1, 180),
      camera(13.10, 52.60, 5, 2, 0),   camera(13.45, 52.50, 1, 1, 270), camera(200, 52, 1),  // out of bounds
  };
  const XmlElement svg = mapOf(cameras);
  const MapView view = viewOf(cameras);
  ASSERT_EQ(view.projection(), MapProjection::equirectangular);
  const Px a = at(view, 13.3, 52.5), east = at(view, 13.4, 52.5), south = at(view, 13.3, 52.4);
  EXPECT_NEAR(east.y, a.y, 1e-9) << "parallels straight across";
  EXPECT_NEAR(south.x, a.x, 1e-9) << "meridians straight down";
  EXPECT_NEAR((east.x - a.x) / (south.y - a.y), std::cos(52.5 * 3.14159265358979 / 180), 0.01)
      << "true to scale along the middle parallel";

  const XmlElement* marks = svg.byId("cameras");
  ASSERT_NE(marks, nullptr);
  std::size_t drawn = 0;
  for (const XmlElement& group : marks->children) {
    const int type = atoiC(group.attribute("data-type"));
    std::vector<const CameraRecord*> ofType;
    for (const CameraRecord& c : cameras) {
      if (c.type == type && inBounds(c.latitude, c.longitude)) ofType.push_back(&c);
    }
    const std::vector<const XmlElement*> circles = group.all("use");
    ASSERT_EQ(circles.size(), ofType.size()) << type;
    std::vector<std::vector<Px>> ticks;
    for (const XmlElement* path : group.all("path")) ticks = subpaths(path->attribute("d"));
    std::size_t tick = 0;
    for (std::size_t i = 0; i < circles.size(); ++i, ++drawn) {
      const CameraRecord& c = *ofType[i];
      const Px expected = at(view, c.longitude / 1e4, c.latitude / 1e4);
      EXPECT_EQ(circles[i]->attribute("href"), "#mark-" + std::to_string(type)) << "each type its own shape";
      const Px mark{atofC(circles[i]->attribute("x")), atofC(circles[i]->attribute("y"))};
      EXPECT_NEAR(mark.x, expected.x, 0.2) << type << " " << i;
      EXPECT_NEAR(mark.y, expected.y, 0.2) << type << " " << i;
      EXPECT_TRUE(mark.x > 0 && mark.x < 1000 && mark.y > 40 && mark.y < 800) << "inside the plot";
      if (c.directionType == 0) continue;
      // North is up, east is right; both directions draw through the mark.
      ASSERT_LT(tick, ticks.size());
      const std::vector<Px>& t = ticks[tick++];
      const double heading = directionDegrees(c.directionCode) * 3.14159265358979 / 180;
      const Px tip = t.back();
      const Px from = c.directionType == 2 ? t.front() : mark;
      EXPECT_NEAR(tip.x - mark.x, 9 * std::sin(heading), 0.2);
      EXPECT_NEAR(tip.y - mark.y, -9 * std::cos(heading), 0.2);
      EXPECT_NEAR(from.x - mark.x, c.directionType == 2 ? -9 * std::sin(heading) : 0, 0.2);
    }
    EXPECT_EQ(tick, ticks.size());
  }
  EXPECT_EQ(drawn, 5u);

  std::map<std::string, std::string> counts;
  for (const XmlElement* text : svg.byId("legend")->all("text")) {
    if (!text->attribute("data-type").empty()) counts[text->attribute("data-type")] = text->attribute("data-count");
  }
  EXPECT_EQ(counts, (std::map<std::string, std::string>{{"1", "3"}, {"2", "1"}, {"5", "1"}}));
  EXPECT_EQ(svg.byId("heading")->text, "cameras.txt \u00B7 2014-11-14 \u00B7 5 cameras");
  EXPECT_EQ(svg.byId("density"), nullptr);
}

// Land where land is and sea where sea is, near the 180th meridian too,
// and no coast or border line drawn across the map.
TEST(CameraMap, LandAndSeaAreInPlaceAtEveryScaleAndAcrossThe180thMeridian) {
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
    std::vector<std::pair<double, double>> land, sea;
  } cases[] = {
      {"Berlin", {camera(13.3, 52.45), camera(13.5, 52.55)}, {{13.4, 52.5}}, {}},
      {"Baltic coast", {camera(10, 53.5), camera(14, 54.5)}, {{12, 53.5}}, {{12, 54.6}}},
      {"both sides of 180", {camera(170, 60), camera(-170, 65), camera(178, -17)},
       {{172, 67}, {-150, 65}}, {{180, 40}, {-170, 30}, {175, 10}}},
      {"the world", {camera(-120, 40), camera(150, -30), camera(10, 50), camera(0, -75)},
       {{-100, 40}, {149, -27}, {-60, -10}, {0, -85}}, {{-30, 0}, {-150, 10}, {-100, -40}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const XmlElement svg = mapOf(c.cameras);
    const MapView view = viewOf(c.cameras);
    const auto land = subpaths(svg.byId("land")->attribute("d"));
    for (const auto& [lon, lat] : c.land) {
      EXPECT_TRUE(view.visible({lon, lat}) && inside(land, at(view, lon, lat))) << lon << "," << lat;
    }
    for (const auto& [lon, lat] : c.sea) {
      EXPECT_TRUE(view.visible({lon, lat}) && !inside(land, at(view, lon, lat))) << lon << "," << lat;
    }
    for (const char* id : {"coast", "borders"}) {
      for (const auto& line : subpaths(svg.byId(id)->attribute("d"))) {
        for (std::size_t i = 1; i < line.size(); ++i) {
          ASSERT_LT(std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y), 300) << id;
        }
      }
    }
  }
}

// A slip far from the rest (0,0 in a list of Germany) is named and left out
// of the view; a country's far cities, or two equal groups, are not.
TEST(CameraMap, CamerasFarFromTheRestAreLeftOutOfTheViewAndCounted) {
  std::vector<CameraRecord> germany;
  for (int i = 0; i < 40; ++i) germany.push_back(camera(6.5 + i % 8, 47.8 + (i * 7 % 40) * 0.18, static_cast<std::uint8_t>(1 + i % 2)));
  std::vector<CameraRecord> withSlips = germany;
  withSlips.insert(withSlips.begin() + 5, camera(0, 0));
  withSlips.push_back(camera(13.4, 5.25));  // a latitude a digit short
  withSlips.push_back(camera(200, 52));      // out of bounds: neither shown nor a stray

  std::vector<CameraRecord> russia;  // most near Moscow, the rest from Kaliningrad to the Pacific
  for (int i = 0; i < 40; ++i) russia.push_back(camera(36 + i % 5, 54 + i % 4));
  for (const double lon : {20.5, 60.6, 82.9, 104.3, 131.9}) {
    for (int i = 0; i < 5; ++i) russia.push_back(camera(lon + 0.1 * i, 55));
  }
  russia.push_back(camera(150.8, 59.6));
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
    std::vector<std::size_t> strays;
  } cases[] = {
      {"Germany with slips", withSlips, {5, 41}},
      {"Russia", russia, {}},
      {"two cities far apart", {camera(13.4, 52.5), camera(13.5, 52.5), camera(-74, 40.7), camera(-74.1, 40.7)}, {}},
      {"one camera", {camera(0, 0)}, {}},
      {"none", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MapPlacement placed = placeOnMap(c.cameras);
    EXPECT_EQ(placed.strays, c.strays);
    std::size_t inBoundsCount = 0;
    for (const CameraRecord& r : c.cameras) inBoundsCount += inBounds(r.latitude, r.longitude) ? 1u : 0u;
    EXPECT_EQ(placed.shown.size() + placed.strays.size(), inBoundsCount);
  }

  const XmlElement svg = mapOf(withSlips);
  const MapView view = viewOf(withSlips);
  for (const CameraRecord& c : germany) {
    const Px p = at(view, c.longitude / 1e4, c.latitude / 1e4);
    EXPECT_TRUE(p.x > 20 && p.x < 980 && p.y > 60 && p.y < 780) << "Germany fills the plot";
  }
  EXPECT_FALSE(view.visible({0, 0})) << "0,0 is beyond the frame";
  EXPECT_GT(at(view, 11, 51).x - at(view, 10, 51).x, 50) << "zoomed to Germany, not to the Gulf of Guinea";
  EXPECT_EQ(svg.byId("cameras")->all("use").size(), germany.size());
  ASSERT_NE(svg.byId("strays"), nullptr);
  EXPECT_EQ(svg.byId("strays")->attribute("data-count"), "2");
  EXPECT_EQ(mapOf(germany).byId("strays"), nullptr);
}

// One camera, or a few close together, still show some 50 km of land and
// coast around them.
TEST(CameraMap, AFewCamerasCloseTogetherShowTheirRegion) {
  for (const auto& cameras : {std::vector<CameraRecord>{camera(13.4, 52.5)},
                              std::vector<CameraRecord>{camera(-70.6, -33.45), camera(-70.6001, -33.4501)},
                              std::vector<CameraRecord>{camera(30.3, 69.9)}}) {
    const XmlElement svg = mapOf(cameras);
    const MapView view = viewOf(cameras);
    GeoPoint west, east, top, bottom;
    ASSERT_TRUE(view.unproject({0, 420}, west) && view.unproject({1000, 420}, east));
    ASSERT_TRUE(view.unproject({500, 40}, top) && view.unproject({500, 800}, bottom));
    const double kmAcross = std::min(greatCircleKm(west, east), greatCircleKm(top, bottom));
    EXPECT_GE(kmAcross, 50) << cameras.front().latitude;
    EXPECT_LE(kmAcross, 60) << cameras.front().latitude;
    const Px mark{atofC(svg.byId("cameras")->all("use").front()->attribute("x")),
                  atofC(svg.byId("cameras")->all("use").front()->attribute("y"))};
    const Px expected = at(view, cameras.front().longitude / 1e4, cameras.front().latitude / 1e4);
    EXPECT_NEAR(mark.x, expected.x, 0.2);
    EXPECT_NEAR(mark.y, expected.y, 0.2);
  }
}

// Every graticule label lies wholly inside the plot, clear of the title
// band, and carries a halo drawn under its fill, in every projection.
TEST(CameraMap, GraticuleLabelsAreNeverCutAtTheFrame) {
  for (const auto& cameras : {std::vector<CameraRecord>{camera(13.3, 52.45), camera(13.5, 52.55)},
                              std::vector<CameraRecord>{camera(170, 60), camera(-170, 65), camera(178, -17)},
                              std::vector<CameraRecord>{camera(-120, 40), camera(150, -30), camera(0, -75)},
                              std::vector<CameraRecord>{camera(37.6, 55.75)},
                              std::vector<CameraRecord>{camera(20.5, 54.7), camera(37.6, 55.75), camera(177.5, 64.7),
                                                        camera(131.9, 43.1), camera(33, 69)}}) {
    const XmlElement svg = mapOf(cameras);
    const double bottom = viewOf(cameras).bottom();
    const XmlElement* labels = svg.byId("graticule-labels");
    ASSERT_NE(labels, nullptr);
    EXPECT_EQ(labels->attribute("paint-order"), "stroke");
    EXPECT_GE(labels->all("text").size(), 3u);
    for (const XmlElement* text : labels->all("text")) {
      const double x = atofC(text->attribute("x")), y = atofC(text->attribute("y"));
      const double width = 0.6 * 11 * static_cast<double>(text->text.size() - 1);  // the degree sign is 2 bytes
      const bool centred = text->attribute("text-anchor") == "middle";
      EXPECT_GE(centred ? x - width / 2 : x, 0) << text->text;
      EXPECT_LE(centred ? x + width / 2 : x + width, 1000) << text->text;
      EXPECT_GE(y - 11, 40) << text->text;
      EXPECT_LE(y, bottom) << text->text;
    }
  }
}

// Cameras in and round Russia's cities, from Kaliningrad to Anadyr, most of
// them in Moscow: `count` in all.
std::vector<CameraRecord> russianCities(int count) {
  const struct {
    double lon, lat, share;
  } cities[] = {{37.6, 55.75, 0.35}, {30.3, 59.9, 0.15}, {49.1, 55.8, 0.08}, {60.6, 56.8, 0.08}, {82.9, 55.0, 0.08},
                {104.3, 52.3, 0.05}, {131.9, 43.1, 0.05}, {39.7, 47.2, 0.06}, {20.5, 54.7, 0.04}, {150.8, 59.6, 0.03},
                {177.5, 64.7, 0.03}};
  std::mt19937 random(11);
  std::normal_distribution<double> lon(0, 0.5), lat(0, 0.3);
  std::vector<CameraRecord> cameras;
  for (const auto& city : cities) {
    for (int i = 0; i < static_cast<int>(city.share * count); ++i) {
      cameras.push_back(camera(city.lon + lon(random), city.lat + lat(random), static_cast<std::uint8_t>(1 + random() % 5)));
    }
  }
  return cameras;
}

std::vector<CameraRecord> germanyLattice() {
  std::vector<CameraRecord> germany;
  for (int i = 0; i < 40; ++i) germany.push_back(camera(6.5 + i % 8, 47.8 + (i * 7 % 40) * 0.18, static_cast<std::uint8_t>(1 + i % 2)));
  return germany;
}

const std::vector<CameraRecord> kWorld = {camera(-120, 40), camera(150, -30), camera(10, 50), camera(0, -75)};

// Px² per km² of a small cell at lon, lat.
double areaScale(const MapView& view, double lon, double lat) {
  constexpr double d = 0.2, r = 3.14159265358979 / 180;
  const Px a = at(view, lon, lat), b = at(view, lon + d, lat), c = at(view, lon + d, lat + d), e = at(view, lon, lat + d);
  const double quad = 0.5 * std::fabs((a.x * b.y - b.x * a.y) + (b.x * c.y - c.x * b.y) + (c.x * e.y - e.x * c.y) +
                                      (e.x * a.y - a.x * e.y));
  const double km = 6371.0088 * 6371.0088 * d * r * (std::sin((lat + d) * r) - std::sin(lat * r));
  return quad / km;
}

// A city and its region straight; a country to a continent in an equal-area
// conic; the world in Equal Earth, whose outline is 2.0547 times as wide as
// high. Equal area means any cell's px² per km² is the same everywhere.
TEST(CameraMap, TheProjectionSuitsTheExtent) {
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
    MapProjection projection;
    const char* named;
  } cases[] = {
      {"Berlin", {camera(13.3, 52.45), camera(13.5, 52.55)}, MapProjection::equirectangular, "equirectangular"},
      {"Germany", germanyLattice(), MapProjection::albersConic, "Albers equal-area conic"},
      {"Russia", russianCities(400), MapProjection::albersConic, "Albers equal-area conic"},
      {"the world", kWorld, MapProjection::equalEarth, "Equal Earth"},
      {"no camera", {}, MapProjection::equalEarth, "Equal Earth"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MapView view = viewOf(c.cameras);
    EXPECT_EQ(view.projection(), c.projection);
    EXPECT_EQ(mapOf(c.cameras).byId("scale")->attribute("data-projection"), c.named);
    if (c.projection == MapProjection::equirectangular) continue;
    const GeoPoint first = c.cameras.empty() ? GeoPoint{0, 0} : GeoPoint{c.cameras.front().longitude / 1e4, c.cameras.front().latitude / 1e4};
    const GeoPoint last = c.cameras.empty() ? GeoPoint{100, 60} : GeoPoint{c.cameras.back().longitude / 1e4, c.cameras.back().latitude / 1e4};
    EXPECT_NEAR(areaScale(view, first.lon, first.lat) / areaScale(view, last.lon, last.lat), 1, 0.01) << "equal area";
  }
  const MapView world = viewOf(kWorld);
  const Point middle = world.projectRelative(0, 0), edge = world.projectRelative(179.999, 0),
              pole = world.projectRelative(0, 90);
  EXPECT_NEAR((edge.x - middle.x) / (middle.y - pole.y), 2.7066 / 1.3173, 0.003);
  // Cropped to the Earth: no rectangle of sea beyond its outline.
  const MapView inhabited = viewOf({});
  EXPECT_LT(inhabited.plotHeight(), 760);
  const auto sea = subpaths(mapOf({}).byId("sea")->attribute("d"));
  EXPECT_TRUE(inside(sea, at(inhabited, 0, 0)));
  for (const Px corner : {Px{3, 43}, Px{997, 43}, Px{3, 37 + inhabited.plotHeight()}}) {
    EXPECT_FALSE(inside(sea, corner)) << corner.x << "," << corner.y;
  }
}

// Where a bar is drawn, any distance across the plot is its length in bar
// lengths within 2 %; where none is, the scale does vary by more than 4 %.
TEST(CameraMap, AScaleBarOnlyWhereOneScaleHoldsAndThenTrue) {
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
    bool bar;
  } cases[] = {
      {"Berlin", {camera(13.3, 52.45), camera(13.5, 52.55)}, true},
      {"near the North Cape", {camera(25.8, 71.0)}, true},
      {"Germany", germanyLattice(), true},
      {"Scandinavia", {camera(5, 55), camera(30, 70)}, true},
      {"Europe", {camera(-10, 36), camera(30, 60)}, false},  // 6 % between north and south
      {"Russia", russianCities(400), false},
      {"the world", kWorld, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const XmlElement svg = mapOf(c.cameras);
    const MapView view = viewOf(c.cameras);
    const XmlElement* bar = svg.byId("scale-bar");
    ASSERT_EQ(bar != nullptr, c.bar);
    const auto kmPerPxAlong = [&](Px from, Px to, double& kmPerPx) {
      GeoPoint a, b;
      if (!view.unproject({from.x, from.y}, a) || !view.unproject({to.x, to.y}, b)) return false;
      kmPerPx = greatCircleKm(a, b) / std::hypot(to.x - from.x, to.y - from.y);
      return true;
    };
    const double top = 40, height = view.plotHeight();
    if (bar) {
      const auto points = subpaths(bar->attribute("d")).front();
      const double barKmPerPx = atofC(bar->attribute("data-km")) / (points[2].x - points[1].x);
      const std::pair<Px, Px> across[] = {{{50, top + height / 2}, {950, top + height / 2}},
                                          {{500, top + 20}, {500, top + height - 20}},
                                          {{30, top + 30}, {970, top + height - 30}},
                                          {{30, top + height - 30}, {970, top + 30}},
                                          {{50, top + 20}, {950, top + 20}}};
      for (const auto& [from, to] : across) {
        double kmPerPx = 0;
        ASSERT_TRUE(kmPerPxAlong(from, to, kmPerPx));
        EXPECT_NEAR(barKmPerPx / kmPerPx, 1, 0.02) << from.x << "," << from.y << " to " << to.x << "," << to.y;
      }
    } else {
      EXPECT_NE(svg.byId("scale")->all("text").at(1)->text.find("varies"), std::string::npos);
      double least = 1e9, most = 0;
      for (int i = 0; i <= 4; ++i) {
        for (int j = 0; j <= 4; ++j) {
          const Px from{50 + 220.0 * i, top + 20 + (height - 40) / 4 * j};
          for (const Px to : {Px{from.x + 10, from.y}, Px{from.x, from.y + 10}}) {
            double kmPerPx = 0;
            if (!kmPerPxAlong(from, to, kmPerPx)) continue;
            least = std::min(least, kmPerPx);
            most = std::max(most, kmPerPx);
          }
        }
      }
      EXPECT_GT(most / least, 1.04);
    }
  }
}

// North is up only along a conic's or Equal Earth's central meridian: a
// tick follows the meridian or the parallel through its camera.
TEST(CameraMap, HeadingTicksFollowTheProjectionsNorthAndEast) {
  for (std::vector<CameraRecord> cameras : {russianCities(200), kWorld}) {
    const GeoPoint far = cameras == kWorld ? GeoPoint{150, -30} : GeoPoint{177.5, 64.7};
    cameras.push_back(camera(far.lon, far.lat, 3, 1, 0));
    cameras.push_back(camera(far.lon, far.lat, 4, 1, 90));
    const XmlElement svg = mapOf(cameras);
    const MapView view = viewOf(cameras);
    const Px mark = at(view, far.lon, far.lat);
    for (const auto& [type, toward] : {std::pair<int, GeoPoint>{3, {far.lon, far.lat + 0.01}},
                                       std::pair<int, GeoPoint>{4, {far.lon + 0.01, far.lat}}}) {
      SCOPED_TRACE(type);
      std::vector<std::vector<Px>> ticks;
      for (const XmlElement& group : svg.byId("cameras")->children) {
        if (group.attribute("data-type") != std::to_string(type)) continue;
        for (const XmlElement* path : group.all("path")) ticks = subpaths(path->attribute("d"));
      }
      ASSERT_EQ(ticks.size(), 1u);
      const Px tip = ticks[0].back(), along = at(view, toward.lon, toward.lat);
      const double tx = tip.x - mark.x, ty = tip.y - mark.y, ax = along.x - mark.x, ay = along.y - mark.y;
      EXPECT_NEAR(std::hypot(tx, ty), 9, 0.2);
      EXPECT_NEAR(std::atan2(ty, tx), std::atan2(ay, ax), 0.03);
    }
    const Px north = at(view, far.lon, far.lat + 1);
    EXPECT_GT(std::fabs(north.x - mark.x), 0.1 * std::fabs(north.y - mark.y)) << "this north is not up";
  }
}

// The seam (the central meridian's opposite, where the picture cuts the
// Earth) and the poles' line are where the drawing ends, not coast: no
// coast, border or graticule line runs along them.
TEST(CameraMap, NoLineIsStrokedAlongTheSeam) {
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
  } cases[] = {
      {"the world", kWorld},
      {"the world round the Pacific", {camera(150, -30), camera(-70, -40), camera(100, 50), camera(-100, 50)}},
      {"Russia to Chukotka", russianCities(200)},
      {"both sides of 180", {camera(170, 60), camera(-170, 65), camera(178, -17)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const XmlElement svg = mapOf(c.cameras);
    const MapView view = viewOf(c.cameras);
    std::vector<std::pair<Point, Point>> seam;
    for (double t = 0; t < 1; t += 1.0 / 720) {
      const double lat = -90 + 180 * t, next = lat + 180.0 / 720, lon = -180 + 360 * t, nextLon = lon + 0.5;
      for (const double side : {-179.9999, 179.9999}) {
        seam.emplace_back(view.projectRelative(side, lat), view.projectRelative(side, next));
      }
      for (const double pole : {-90.0, 90.0}) {
        seam.emplace_back(view.projectRelative(lon, pole), view.projectRelative(nextLon, pole));
      }
    }
    const auto offSeam = [&](Px p) {
      double nearest = 1e9;
      for (const auto& [a, b] : seam) {
        const double dx = b.x - a.x, dy = b.y - a.y, length = dx * dx + dy * dy;
        const double t = length == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0, 1.0);
        nearest = std::min(nearest, std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy));
      }
      return nearest;
    };
    std::vector<const XmlElement*> lines = svg.byId("graticule")->all("path");
    lines.push_back(svg.byId("coast"));
    lines.push_back(svg.byId("borders"));
    std::size_t segments = 0;
    for (const XmlElement* line : lines) {
      for (const auto& path : subpaths(line->attribute("d"))) {
        for (std::size_t i = 1; i < path.size(); ++i, ++segments) {
          const Px a = path[i - 1], b = path[i];
          if (std::hypot(b.x - a.x, b.y - a.y) < 2) continue;
          const Px middle{(a.x + b.x) / 2, (a.y + b.y) / 2};
          ASSERT_FALSE(offSeam(a) < 0.6 && offSeam(b) < 0.6 && offSeam(middle) < 0.6)
              << line->attribute("id") << " " << a.x << "," << a.y << " to " << b.x << "," << b.y;
        }
      }
    }
    EXPECT_GT(segments, 100u);
  }
}

// Marks give way to the grid by how they would crowd, not by their number:
// 19,000 cameras in Russia's cities, or 3,000 piling up in one city on a
// country's map, get the grid, and so do 30,000 spread evenly over the globe
// (a carpet of marks hiding the map); 21,000 at 5,000 junctions across
// Europe stay dots.
TEST(CameraMap, CrowdedMarksGiveWayToAGridAndSpreadOnesStayDots) {
  std::mt19937 random(3);
  std::vector<CameraRecord> globe;
  std::uniform_real_distribution<double> anyLon(-180, 180), sine(-0.97, 0.97);
  for (int i = 0; i < 30000; ++i) globe.push_back(camera(anyLon(random), std::asin(sine(random)) * 180 / 3.14159265358979));
  std::vector<CameraRecord> oneCity{camera(6.9, 50.9), camera(13.4, 52.5), camera(11.6, 48.1), camera(10, 53.6)};
  std::uniform_real_distribution<double> near(-0.03, 0.03);
  for (int i = 0; i < 3000; ++i) oneCity.push_back(camera(13.4 + near(random), 52.5 + near(random)));
  std::vector<CameraRecord> junctions;
  std::uniform_real_distribution<double> europeLon(-10, 30), europeLat(36, 60), metres(-0.0005, 0.0005);
  for (int spot = 0; spot < 5000; ++spot) {
    const double lon = europeLon(random), lat = europeLat(random);
    for (int i = 0; i < (spot % 5 == 0 ? 5 : 4); ++i) junctions.push_back(camera(lon + metres(random), lat + metres(random)));
  }
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
    bool grid;
  } cases[] = {{"Russia", russianCities(19000), true},
               {"one city", oneCity, true},
               {"the globe", globe, true},
               {"junctions across Europe", junctions, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool grid = false;
    const std::string text = cameraMapSvg(c.cameras, kTitle, &grid);
    EXPECT_EQ(grid, c.grid);
    const XmlElement svg = test::parseXml(text);
    if (!c.grid) {
      ASSERT_NE(svg.byId("cameras"), nullptr);
      EXPECT_EQ(svg.byId("cameras")->all("use").size(), c.cameras.size());
      continue;
    }
    EXPECT_EQ(svg.byId("cameras"), nullptr);
    EXPECT_LT(text.size(), 1u << 20) << "no hairball of marks";
    const XmlElement* density = svg.byId("density");
    ASSERT_NE(density, nullptr);
    EXPECT_LT(atofC(density->attribute("fill-opacity")), 1) << "the land shows through";
    EXPECT_LT(text.find("id=\"density\""), text.find("id=\"coast\"")) << "coast and borders over the grid";
    EXPECT_LT(text.find("id=\"density\""), text.find("id=\"borders\""));
    // Every class in the legend, the same on every map, with its colour.
    std::map<std::string, std::string> legend;
    for (const XmlElement* label : svg.byId("density-legend")->all("text")) legend[label->attribute("data-from")] = label->text;
    EXPECT_EQ(legend, (std::map<std::string, std::string>{{"0", "below 0.001"},
                                                          {"0.001", "0.001 to 0.01"},
                                                          {"0.01", "0.01 to 0.1"},
                                                          {"0.1", "0.1 to 1"},
                                                          {"1", "1 to 10"},
                                                          {"10", "10 to 100"},
                                                          {"100", "100 or more"}}));
    for (const XmlElement* path : density->all("path")) EXPECT_EQ(legend.count(path->attribute("data-from")), 1u);
    EXPECT_EQ(svg.byId("density-legend")->all("rect").size(), legend.size());
  }
}

// No label hides a camera: the graticule's labels, the place names and
// their dots keep clear of every mark, at the edges of the data as well
// (Madrid at the picture's foot, Fiji at the seam, a world list), and the
// places among the cameras are named before the world's others.
TEST(CameraMap, LabelsAndPlaceDotsKeepClearOfEveryCameraAndNameThePlacesAmongThem) {
  const std::vector<std::pair<double, double>> europe = {
      {-3.70, 40.42}, {-3.69, 40.45}, {2.35, 48.86}, {13.40, 52.52}, {12.50, 41.90}, {-9.14, 38.72},
      {16.37, 48.21}, {4.90, 52.37},  {18.07, 59.33}, {24.94, 60.17}, {21.01, 52.23}, {-0.13, 51.51},
      {-6.26, 53.35}, {23.73, 37.98}, {26.10, 44.43}, {19.04, 47.50}, {14.42, 50.09}, {10.75, 59.91}};
  const std::vector<std::pair<double, double>> fiji = {
      {177.42, -17.80}, {178.44, -18.14}, {179.99, -16.50}, {-179.99, -16.60}, {-178.90, -17.20}, {178.00, -17.60}};  // few places
  const std::vector<std::pair<double, double>> world = {
      {-77.04, 38.91}, {-99.13, 19.43}, {-47.93, -15.78}, {-58.38, -34.60}, {-0.13, 51.51}, {2.35, 48.86},
      {37.62, 55.76},  {31.24, 30.04},  {28.05, -26.20}, {77.21, 28.61},   {116.40, 39.90}, {139.69, 35.69},
      {151.21, -33.87}, {174.78, -41.29}, {-123.12, 49.28}, {103.82, 1.35}, {36.82, -1.29}, {-70.65, -33.45}};
  const std::vector<std::pair<double, double>> russia = {
      {37.62, 55.76}, {30.32, 59.94}, {82.92, 55.03}, {60.60, 56.84}, {49.11, 55.80}, {131.89, 43.12},
      {104.28, 52.29}, {92.87, 56.01}, {73.37, 54.99}, {39.72, 47.22}, {44.00, 56.33}, {135.07, 48.48}};
  const struct {
    const char* name;
    std::vector<std::pair<double, double>> places;
  } lists[] = {{"Europe", europe}, {"Fiji", fiji}, {"world", world}, {"Russia", russia}};
  auto textBox = [](const XmlElement& text, double charWidth) {
    const double size = text.attribute("font-size").empty() ? 11 : atofC(text.attribute("font-size"));
    std::size_t characters = 0;
    for (const char c : text.text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    const double width = static_cast<double>(characters) * charWidth * size;
    const std::string anchor = text.attribute("text-anchor");
    const double x = atofC(text.attribute("x")), y = atofC(text.attribute("y"));
    const double left = anchor == "middle" ? x - width / 2 : anchor == "end" ? x - width : x;
    return std::array<double, 4>{left, y - 0.8 * size, left + width, y + 0.25 * size};
  };
  for (const auto& list : lists) {
    SCOPED_TRACE(list.name);
    std::vector<CameraRecord> cameras;
    for (const auto& [lon, lat] : list.places) cameras.push_back(camera(lon, lat, 1, 1, 45));
    const XmlElement svg = mapOf(cameras);
    ASSERT_NE(svg.byId("cameras"), nullptr);
    std::vector<std::array<double, 4>> boxes;
    for (const XmlElement* text : svg.byId("graticule-labels")->all("text")) boxes.push_back(textBox(*text, 0.62));
    const XmlElement* places = svg.byId("places");
    ASSERT_NE(places, nullptr);
    for (const XmlElement* text : places->all("text")) boxes.push_back(textBox(*text, 0.55));
    for (const XmlElement* dot : places->all("circle")) {
      const double x = atofC(dot->attribute("cx")), y = atofC(dot->attribute("cy")), r = atofC(dot->attribute("r"));
      boxes.push_back({x - r, y - r, x + r, y + r});
    }
    const std::vector<const XmlElement*> marks = svg.byId("cameras")->all("use");
    ASSERT_EQ(marks.size(), cameras.size());
    for (const XmlElement* mark : marks) {
      const double x = atofC(mark->attribute("x")), y = atofC(mark->attribute("y")), reach = 3;
      for (const auto& [x0, y0, x1, y1] : boxes) {
        const double dx = std::max({x0 - x, 0.0, x - x1}), dy = std::max({y0 - y, 0.0, y - y1});
        EXPECT_GE(dx * dx + dy * dy, reach * reach) << "a label or dot over the camera at " << x << "," << y
                                                    << ": box " << x0 << "," << y0 << " " << x1 << "," << y1;
      }
    }
    // Named: the places among the cameras before any other.
    double west = 1e9, east = -1e9, north = 1e9, south = -1e9;
    for (const XmlElement* mark : marks) {
      west = std::min(west, atofC(mark->attribute("x")));
      east = std::max(east, atofC(mark->attribute("x")));
      north = std::min(north, atofC(mark->attribute("y")));
      south = std::max(south, atofC(mark->attribute("y")));
    }
    bool outsideSeen = false;
    std::size_t inside = 0;
    for (const XmlElement* dot : places->all("circle")) {
      const double x = atofC(dot->attribute("cx")), y = atofC(dot->attribute("cy"));
      const bool in = x >= west && x <= east && y >= north && y <= south;
      if (!in) outsideSeen = true;
      EXPECT_FALSE(in && outsideSeen) << "a place among the cameras named after one outside them";
      inside += in ? 1u : 0u;
    }
    if (list.places.size() > 10) {
      EXPECT_GE(inside, 5u);
    }
  }
}

TEST(CameraMap, GridClassesAreFixedDecadesOfCamerasPerSquareKilometre) {
  const struct {
    double perKm2;
    std::size_t cls;
  } cases[] = {{1e-9, 0}, {0.000999, 0}, {0.001, 1}, {0.05, 2}, {0.1, 3}, {0.99, 3}, {1, 4}, {99, 5}, {100, 6}, {1e9, 6}};
  for (const auto& c : cases) EXPECT_EQ(densityClassOf(c.perKm2), c.cls) << c.perKm2;
}

// Cells count the cameras: two crowded cities and a lone camera between.
TEST(CameraMap, GridCellsCountTheCamerasWhereTheyAre) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> spread(-0.03, 0.03);
  std::vector<CameraRecord> cameras;
  for (int i = 0; i < 12500; ++i) {
    cameras.push_back(camera(13.4 + spread(random), 52.5 + spread(random), 1));
    cameras.push_back(camera(11.6 + spread(random), 48.1 + spread(random), 5));
  }
  cameras.push_back(camera(12.0, 50.0, 2));
  const XmlElement svg = mapOf(cameras);
  EXPECT_EQ(svg.byId("cameras"), nullptr);
  const XmlElement* density = svg.byId("density");
  ASSERT_NE(density, nullptr);
  const MapView view = viewOf(cameras);

  auto cellsAt = [&](double lon, double lat) {
    const Px p = at(view, lon, lat);
    std::vector<std::string> classes;
    for (const XmlElement* path : density->all("path")) {
      for (const auto& cell : subpaths(path->attribute("d"))) {
        if (inside({cell}, p)) classes.push_back(path->attribute("data-from"));
      }
    }
    return classes;
  };
  const std::vector<std::string> berlin = cellsAt(13.4, 52.5), munich = cellsAt(11.6, 48.1);
  ASSERT_EQ(berlin.size(), 1u);
  ASSERT_EQ(munich.size(), 1u);
  // A cell's count over the ground it covers.
  const LocalScale scale = view.scaleAt(GeoPoint{12.0, 50.0});
  const double cellKm2 = kCellSize * kCellSize / (scale.largest * scale.smallest);
  EXPECT_EQ(cellsAt(12.0, 50.0), (std::vector<std::string>{densityFromText(densityClassOf(1 / cellKm2))}))
      << "a lone camera in a cell of " << cellKm2 << " km²";
  EXPECT_EQ(berlin[0], "100") << "thousands in a few cells";
  EXPECT_TRUE(cellsAt(12.7, 51.3).empty()) << "no camera, no cell";
  EXPECT_LE(density->all("path").size(), 7u);
  EXPECT_EQ(svg.byId("heading")->text, "cameras.txt \u00B7 2014-11-14 \u00B7 25,001 cameras");
}

TEST(CameraMap, AMillionCamerasMakeAtMostFiveMegabytes) {
  // Spread over Europe, every cell of the grid filled and most differing
  // from their neighbours: the largest file the grid can make.
  std::mt19937 random(5);
  std::uniform_real_distribution<double> lon(-10, 40), lat(35, 70);
  std::vector<CameraRecord> cameras;
  cameras.reserve(1000000);
  for (int i = 0; i < 1000000; ++i) cameras.push_back(camera(lon(random), lat(random), static_cast<std::uint8_t>(1 + random() % 5)));
  const std::string svg = cameraMapSvg(cameras, kTitle);
  EXPECT_LE(svg.size(), 5u << 20);
  EXPECT_NO_THROW(test::parseXml(svg));
}

TEST(CameraMap, RealListsAndEmptyInputMakeWellFormedPictures) {
  EXPECT_NO_THROW(mapOf({}));
  EXPECT_NO_THROW(mapOf({camera(0, 0)}));
  for (const auto& list : test::realLists()) {
    SCOPED_TRACE(list.string());
    CameraTable table;
    ASSERT_TRUE(importCameraList(list, table).loaded());
    std::vector<CameraRecord> cameras;
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (const auto record = table.record(i)) cameras.push_back(*record);
    }
    const XmlElement svg = mapOf(cameras);
    EXPECT_EQ(svg.byId("cameras")->all("use").size(), cameras.size());
  }
}

// Every type is told apart by its colour and shape together: the known
// types by their own, the others (as many as fit the legend's spare pairs)
// by pairs no other type has.
TEST(CameraMap, TypesHaveMarksOfTheirOwn) {
  std::vector<CameraRecord> cameras;
  const int types[] = {1, 2, 3, 4, 5, 192, 194, 199, 215, 7, 8, 9, 10, 11};
  for (std::size_t i = 0; i < std::size(types); ++i) {
    // Fewer of each later type, so the legend lists them in this order.
    for (std::size_t k = 0; k < 20 - i; ++k) {
      cameras.push_back(camera(13 + 0.01 * static_cast<double>(i), 52.4 + 0.005 * static_cast<double>(k),
                               static_cast<std::uint8_t>(types[i])));
    }
  }
  const XmlElement svg = mapOf(cameras);
  std::set<std::pair<std::string, std::string>> seen;
  for (const XmlElement& ofType : svg.byId("cameras")->children) {
    const std::string type = ofType.attribute("data-type");
    const XmlElement& group = *ofType.all("g").front();  // the marks, with their fill
    const XmlElement* mark = svg.byId("mark-" + type);
    ASSERT_NE(mark, nullptr) << type;
    ASSERT_FALSE(mark->children.empty()) << type;
    const XmlElement& shape = mark->children.front();
    const std::string outline = shape.name + shape.attribute("d") + shape.attribute("r") + shape.attribute("width");
    EXPECT_TRUE(seen.insert({group.attribute("fill"), outline}).second) << "type " << type << " looks like another";
  }
  EXPECT_EQ(seen.size(), std::size(types));
}

// Place names: each named place's dot where the view projects it, the
// most important places of the view among them, a town named on a map of
// one camera, and no two names over each other or over the frame.
TEST(MapPlaces, PlacesAreNamedWhereTheyAreByImportanceAndNeverOverlap) {
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
    std::vector<const char*> named;
  } cases[] = {
      {"Berlin", {camera(13.3, 52.45), camera(13.5, 52.55)}, {"Berlin"}},
      {"one camera near Bregenz", {camera(9.72, 47.48)}, {"Bregenz"}},
      {"Europe", {camera(-9, 38.7), camera(30, 60), camera(23.7, 38)}, {"Paris", "London", "Berlin", "Rome"}},
      {"both sides of 180", {camera(170, 60), camera(-170, 65), camera(178, -17)}, {"Magadan", "Anchorage"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const XmlElement svg = mapOf(c.cameras);
    const MapView view = viewOf(c.cameras);
    const XmlElement* places = svg.byId("places");
    ASSERT_NE(places, nullptr);
    std::map<std::string, Px> dots;
    for (const XmlElement* group : places->all("g")) {
      const XmlElement* dot = group->all("circle").front();
      dots[group->all("text").front()->text] = {atofC(dot->attribute("cx")), atofC(dot->attribute("cy"))};
    }
    EXPECT_LE(dots.size(), kMaxPlaceLabels);
    for (const char* name : c.named) {
      const auto found = std::find_if(worldPlaces().places.begin(), worldPlaces().places.end(),
                                      [&](const Place& p) { return p.name == name; });
      ASSERT_NE(found, worldPlaces().places.end()) << name;
      ASSERT_EQ(dots.count(name), 1u) << name;
      const Px expected = at(view, found->at.lon, found->at.lat);
      EXPECT_NEAR(dots[name].x, expected.x, 0.2) << name;
      EXPECT_NEAR(dots[name].y, expected.y, 0.2) << name;
    }
  }

  // The boxes the names take, for a crowded view: inside the frame, clear
  // of what is reserved and of each other.
  const MapFrame frame{[](const GeoPoint& p) { return MapPoint{(p.lon - 5) * 40, (55 - p.lat) * 64}; },
                       {0, 0, 1000, 760}, 2.5, {{0, 0, 48, 760}}};
  const std::vector<PlaceLabel> labels = choosePlaceLabels(frame);
  ASSERT_EQ(labels.size(), kMaxPlaceLabels) << "a crowded view takes as many names as it may";
  EXPECT_EQ(labels.front().place->name, "Berlin") << "the most important place in view comes first";
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const MapBox& a = labels[i].box;
    EXPECT_TRUE(a.x0 >= 48 && a.y0 >= 0 && a.x1 <= 1000 && a.y1 <= 760) << labels[i].place->name;
    EXPECT_LE(labels[i].place->minZoom, std::log2(156.543 / 2.5) + 1) << "too fine for the scale";
    for (std::size_t j = 0; j < i; ++j) {
      const MapBox& b = labels[j].box;
      EXPECT_TRUE(a.x1 <= b.x0 || b.x1 <= a.x0 || a.y1 <= b.y0 || b.y1 <= a.y0)
          << labels[i].place->name << " over " << labels[j].place->name;
    }
  }
}

// Lakes are water over the land, islands in them land again.
TEST(MapPlaces, LakesAreFilledWhereTheyAre) {
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
    std::vector<std::pair<double, double>> water, land;
  } cases[] = {
      {"Bodensee", {camera(9.1, 47.7), camera(9.7, 47.5)}, {{9.4, 47.6}, {9.25, 47.65}}, {{9.4, 47.45}, {9.0, 47.55}}},
      {"Lake Ladoga and its islands", {camera(30, 60), camera(33, 62)}, {{31.5, 60.8}}, {{30.3, 59.9}, {34.5, 62}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const XmlElement svg = mapOf(c.cameras);
    const MapView view = viewOf(c.cameras);
    const XmlElement* lakes = svg.byId("lakes");
    ASSERT_NE(lakes, nullptr);
    EXPECT_EQ(lakes->attribute("fill"), "#d3e5f1") << "the sea's colour";
    const auto rings = subpaths(lakes->attribute("d"));
    for (const auto& [lon, lat] : c.water) EXPECT_TRUE(inside(rings, at(view, lon, lat))) << lon << "," << lat;
    for (const auto& [lon, lat] : c.land) EXPECT_FALSE(inside(rings, at(view, lon, lat))) << lon << "," << lat;
  }
}

// The built-in places and lakes decode whole; damaged data of any kind is
// refused with a message, never read past its end.
TEST(WorldPlaces, DecodeTheBuiltInDataAndRefuseDamagedData) {
  const WorldPlaces& world = worldPlaces();
  ASSERT_GT(world.places.size(), 5000u);
  ASSERT_GT(world.lakeRings.size(), 1000u);
  for (std::size_t i = 1; i < world.places.size(); ++i) {
    ASSERT_LE(world.places[i - 1].rank, world.places[i].rank) << "the most important first";
    ASSERT_FALSE(world.places[i].name.empty());
  }
  for (const auto& ring : world.lakeRings) {
    ASSERT_GE(ring.size(), 4u);
    ASSERT_EQ(ring.front().lon, ring.back().lon);
    ASSERT_EQ(ring.front().lat, ring.back().lat);
  }

  // One place (Zürich, 8.5417 47.3769, rank 1, from zoom 4) and one lake
  // of three points.
  const std::vector<std::uint8_t> good = {'T', 'B', 'R', 'P', 1, 1, 1, 40, 7, 'Z', 0xC3, 0xBC, 'r', 'i', 'c', 'h',
                                          0xD2, 0xB6, 0x0A, 0xD2, 0xEA, 0x39, 1, 3, 0, 0, 20, 0, 0, 20};
  const WorldPlaces decoded = decodeWorldPlaces(good.data(), good.size());
  ASSERT_EQ(decoded.places.size(), 1u);
  EXPECT_EQ(decoded.places[0].name, "Z\u00FCrich");
  EXPECT_DOUBLE_EQ(decoded.places[0].at.lon, 8.5417);
  EXPECT_DOUBLE_EQ(decoded.places[0].at.lat, 47.3769);
  EXPECT_EQ(decoded.places[0].minZoom, 4.0);
  ASSERT_EQ(decoded.lakeRings.size(), 1u);
  EXPECT_EQ(decoded.lakeRings[0].size(), 4u) << "closed";

  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_THROW(decodeWorldPlaces(good.data(), cut), std::runtime_error) << "cut at " << cut;
  }
  const auto changed = [&](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> bytes = good;
    bytes[at] = value;
    return bytes;
  };
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } damaged[] = {
      {"another layout", changed(4, 2)},
      {"a count past the end", changed(5, 0x7F)},
      {"a name past the end", changed(8, 0x7F)},
      {"a place off the Earth", changed(21, 0x7F)},
      {"a lake of two points", changed(23, 2)},
      {"bytes past the end", [&] { auto b = good; b.push_back(0); return b; }()},
  };
  for (const auto& d : damaged) {
    EXPECT_THROW(decodeWorldPlaces(d.bytes.data(), d.bytes.size()), std::runtime_error) << d.what;
  }
}

TEST(WorldBorders, RingsAreClosedAndRunOnWithoutAJumpAndBrokenDataIsRefused) {
  const WorldBorders& world = worldBorders();
  ASSERT_GT(world.landRings.size(), 1000u);
  ASSERT_GT(world.borderLines.size(), 100u);
  for (std::size_t r = 0; r < world.landRings.size(); ++r) {
    const auto& ring = world.landRings[r];
    ASSERT_EQ(ring.size(), world.coastEdges[r].size());
    ASSERT_EQ(ring.front().lon, ring.back().lon) << r;
    ASSERT_EQ(ring.front().lat, ring.back().lat) << r;
    for (std::size_t i = 1; i < ring.size(); ++i) {
      const bool overPole = std::fabs(ring[i].lat) == 90 && ring[i].lat == ring[i - 1].lat;
      if (!overPole) {
        ASSERT_LT(std::fabs(ring[i].lon - ring[i - 1].lon), 180) << r;
      }
    }
  }
  const std::uint8_t wrongMagic[] = {'T', 'B', 'R', 'X', 1};
  EXPECT_THROW(decodeWorldBorders(wrongMagic, sizeof wrongMagic), std::runtime_error);
  const std::uint8_t cutShort[] = {'T', 'B', 'R', 'B', 1, 0, 0};
  EXPECT_THROW(decodeWorldBorders(cutShort, sizeof cutShort), std::runtime_error);
}

}  // namespace
}  // namespace tabrino
