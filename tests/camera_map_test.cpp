// The map picture, read back: well-formed, each camera where the graticule
// says its coordinates are, the land where the land is, and a density grid
// past the mark limit.
#include "core/export/camera_map.h"

#include "core/base/c_numbers.h"
#include "core/list/text_import.h"
#include "core/export/map_places.h"
#include "core/export/world_borders.h"
#include "core/export/world_places.h"
#include "markup_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
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

// "37.5°E" → 37.5, "10°S" → -10, "180°" → 180.
double labelDegrees(const std::string& label) {
  const double value = atofC(label);
  return label.back() == 'W' || label.back() == 'S' ? -value : value;
}

// Where the picture puts a longitude and latitude, taken from its own
// graticule: the outermost labelled lines fix the linear scales.
class Graticule {
 public:
  explicit Graticule(const XmlElement& svg) {
    const XmlElement* graticule = svg.byId("graticule");
    EXPECT_NE(graticule, nullptr);
    std::vector<std::pair<double, double>> meridians, parallels;  // (px, degrees)
    for (const XmlElement* line : graticule->all("line")) {
      if (!line->attribute("data-lon").empty()) {
        meridians.emplace_back(atofC(line->attribute("x1")), labelDegrees(line->attribute("data-lon")));
      } else {
        parallels.emplace_back(atofC(line->attribute("y1")), labelDegrees(line->attribute("data-lat")));
      }
    }
    EXPECT_GE(meridians.size(), 2u);
    EXPECT_GE(parallels.size(), 2u);
    std::sort(meridians.begin(), meridians.end());
    // Labels east of 180 read as west: unwrap them eastwards.
    for (std::size_t i = 1; i < meridians.size(); ++i) {
      while (meridians[i].second < meridians[i - 1].second) meridians[i].second += 360;
    }
    std::sort(parallels.begin(), parallels.end());
    lon0_ = meridians.front().second;
    lonMiddle_ = (meridians.front().second + meridians.back().second) / 2;
    x0_ = meridians.front().first;
    pxPerLon_ = (meridians.back().first - x0_) / (meridians.back().second - lon0_);
    lat0_ = parallels.front().second;
    y0_ = parallels.front().first;
    pxPerLat_ = (parallels.back().first - y0_) / (parallels.back().second - lat0_);
  }

  Px at(double lon, double lat) const {
    while (lon < lonMiddle_ - 180) lon += 360;
    while (lon > lonMiddle_ + 180) lon -= 360;
    return {x0_ + (lon - lon0_) * pxPerLon_, y0_ + (lat - lat0_) * pxPerLat_};
  }
  double pxPerLon() const { return pxPerLon_; }
  double pxPerLat() const { return pxPerLat_; }

 private:
  double lon0_, lonMiddle_, x0_, pxPerLon_, lat0_, y0_, pxPerLat_;
};

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

TEST(CameraMap, EachCameraIsAMarkWhereTheGraticuleSaysWithItsHeadingAndTypeCounted) {
  const std::vector<CameraRecord> cameras = {
      camera(13.40, 52.52, 1, 1, 90),  camera(13.30, 52.45, 1, 0),     camera(13.55, 52.40, 2, 1, 180),
      camera(13.10, 52.60, 5, 2, 0),   camera(13.45, 52.50, 1, 1, 270), camera(200, 52, 1),  // out of bounds
  };
  const XmlElement svg = mapOf(cameras);
  const Graticule graticule(svg);
  EXPECT_NEAR(graticule.pxPerLon() / -graticule.pxPerLat(), std::cos(52.5 * 3.14159265358979 / 180), 0.01)
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
      const Px expected = graticule.at(c.longitude / 1e4, c.latitude / 1e4);
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
       {{-100, 40}, {145, -25}, {-60, -10}, {0, -85}}, {{-30, 0}, {-150, 10}, {-100, -40}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const XmlElement svg = mapOf(c.cameras);
    const Graticule graticule(svg);
    const auto land = subpaths(svg.byId("land")->attribute("d"));
    for (const auto& [lon, lat] : c.land) EXPECT_TRUE(inside(land, graticule.at(lon, lat))) << lon << "," << lat;
    for (const auto& [lon, lat] : c.sea) EXPECT_FALSE(inside(land, graticule.at(lon, lat))) << lon << "," << lat;
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
  for (int i = 0; i < 40; ++i) germany.push_back(camera(6.5 + i % 8, 47.8 + (i * 7 % 40) * 0.18, 1 + i % 2));
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
    for (const CameraRecord& r : c.cameras) inBoundsCount += inBounds(r.latitude, r.longitude) ? 1 : 0;
    EXPECT_EQ(placed.shown.size() + placed.strays.size(), inBoundsCount);
  }

  const XmlElement svg = mapOf(withSlips);
  const Graticule graticule(svg);
  for (const CameraRecord& c : germany) {
    const Px p = graticule.at(c.longitude / 1e4, c.latitude / 1e4);
    EXPECT_TRUE(p.x > 20 && p.x < 980 && p.y > 60 && p.y < 780) << "Germany fills the plot";
  }
  const Px slip = graticule.at(0, 0);
  EXPECT_TRUE(slip.y > 800) << "0,0 is beyond the frame";
  EXPECT_GT(graticule.pxPerLon(), 50) << "zoomed to Germany, not to the Gulf of Guinea";
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
    const Graticule graticule(svg);
    const double latitude = cameras.front().latitude / 1e4 * 3.14159265358979 / 180;
    const double kmAcross = 1000 / graticule.pxPerLon() * std::cos(latitude) * 111.2;
    const double kmDown = 760 / -graticule.pxPerLat() * 111.2;
    EXPECT_GE(std::min(kmAcross, kmDown), 50) << cameras.front().latitude;
    EXPECT_LE(std::min(kmAcross, kmDown), 60) << cameras.front().latitude;
    const Px mark{atofC(svg.byId("cameras")->all("use").front()->attribute("x")),
                  atofC(svg.byId("cameras")->all("use").front()->attribute("y"))};
    const Px expected = graticule.at(cameras.front().longitude / 1e4, cameras.front().latitude / 1e4);
    EXPECT_NEAR(mark.x, expected.x, 0.2);
    EXPECT_NEAR(mark.y, expected.y, 0.2);
  }
}

// Every graticule label lies wholly inside the plot, clear of the title
// band, and carries a halo drawn under its fill.
TEST(CameraMap, GraticuleLabelsAreNeverCutAtTheFrame) {
  for (const auto& cameras : {std::vector<CameraRecord>{camera(13.3, 52.45), camera(13.5, 52.55)},
                              std::vector<CameraRecord>{camera(170, 60), camera(-170, 65), camera(178, -17)},
                              std::vector<CameraRecord>{camera(-120, 40), camera(150, -30), camera(0, -75)},
                              std::vector<CameraRecord>{camera(37.6, 55.75)}}) {
    const XmlElement svg = mapOf(cameras);
    const XmlElement* labels = svg.byId("graticule-labels");
    ASSERT_NE(labels, nullptr);
    EXPECT_EQ(labels->attribute("paint-order"), "stroke");
    EXPECT_FALSE(labels->all("text").empty());
    for (const XmlElement* text : labels->all("text")) {
      const double x = atofC(text->attribute("x")), y = atofC(text->attribute("y"));
      const double width = 0.6 * 11 * static_cast<double>(text->text.size() - 1);  // the degree sign is 2 bytes
      const bool centred = text->attribute("text-anchor") == "middle";
      EXPECT_GE(centred ? x - width / 2 : x, 0) << text->text;
      EXPECT_LE(centred ? x + width / 2 : x + width, 1000) << text->text;
      EXPECT_GE(y - 11, 40) << text->text;
      EXPECT_LE(y, 800) << text->text;
    }
  }
}

TEST(CameraMap, PastTheMarkLimitCellsCountTheCamerasInsteadAndTheFileStaysSmall) {
  // Two crowded cities and a lone camera between them.
  std::mt19937 random(3);
  std::uniform_real_distribution<double> spread(-0.03, 0.03);
  std::vector<CameraRecord> cameras;
  for (int i = 0; i < 12500; ++i) {
    cameras.push_back(camera(13.4 + spread(random), 52.5 + spread(random), 1));
    cameras.push_back(camera(11.6 + spread(random), 48.1 + spread(random), 5));
  }
  cameras.push_back(camera(12.0, 50.0, 2));
  ASSERT_GT(cameras.size(), kMaxMarkedCameras);
  const XmlElement svg = mapOf(cameras);
  EXPECT_EQ(svg.byId("cameras"), nullptr);
  const XmlElement* density = svg.byId("density");
  ASSERT_NE(density, nullptr);
  const Graticule graticule(svg);

  auto cellsAt = [&](double lon, double lat) {
    const Px p = graticule.at(lon, lat);
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
  EXPECT_EQ(cellsAt(12.0, 50.0), (std::vector<std::string>{"1"})) << "a lone camera is the lowest class";
  EXPECT_GT(atoiC(berlin[0]), 100);
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
  for (int i = 0; i < 1000000; ++i) cameras.push_back(camera(lon(random), lat(random), 1 + random() % 5));
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

// Place names: each named place's dot where the graticule puts it, the
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
    const Graticule graticule(svg);
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
      const Px expected = graticule.at(found->at.lon, found->at.lat);
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
    const Graticule graticule(svg);
    const XmlElement* lakes = svg.byId("lakes");
    ASSERT_NE(lakes, nullptr);
    EXPECT_EQ(lakes->attribute("fill"), "#d3e5f1") << "the sea's colour";
    const auto rings = subpaths(lakes->attribute("d"));
    for (const auto& [lon, lat] : c.water) EXPECT_TRUE(inside(rings, graticule.at(lon, lat))) << lon << "," << lat;
    for (const auto& [lon, lat] : c.land) EXPECT_FALSE(inside(rings, graticule.at(lon, lat))) << lon << "," << lat;
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
