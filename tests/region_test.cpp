// Region files made to hurt (shapes that defeat an index, nesting, sizes,
// wrong values), and the region's index against the plain even-odd test.
#include "core/filter/region.h"

#include "core/model/camera_record.h"
#include "core/platform/file_io.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace tabrino {
namespace {

using test::TempDir;
using test::writeText;

// Even-odd over every edge of the stored (scaled) rings, with no index.
bool plainInside(const std::vector<Region::Ring>& rings, std::int32_t latitude, std::int32_t longitude) {
  const double x = longitude, y = latitude;
  bool inside = false;
  for (const Region::Ring& ring : rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const Region::Point& a = ring[i];
      const Region::Point& b = ring[(i + 1) % ring.size()];
      const double x1 = a.longitude * kCoordinateScale, y1 = a.latitude * kCoordinateScale;
      const double x2 = b.longitude * kCoordinateScale, y2 = b.latitude * kCoordinateScale;
      if ((y1 > y) != (y2 > y) && x < x1 + (y - y1) * (x2 - x1) / (y2 - y1)) inside = !inside;
    }
  }
  return inside;
}

struct Probe {
  std::int32_t latitude, longitude;
};

std::int32_t scaled(double degrees) { return static_cast<std::int32_t>(std::lround(degrees * kCoordinateScale)); }

// Points where a test is most likely to go wrong: on the vertices and next
// to them, on edges, level with vertices, and anywhere in and around the
// rings' box.
std::vector<Probe> probesFor(const std::vector<Region::Ring>& rings, std::mt19937& random, std::size_t randomCount) {
  std::vector<Probe> probes;
  double west = 180, east = -180, south = 90, north = -90;
  std::size_t vertices = 0;
  for (const Region::Ring& ring : rings) vertices += ring.size();
  const std::size_t step = 1 + vertices / 300;  // a few hundred vertices at most
  for (const Region::Ring& ring : rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const Region::Point& a = ring[i];
      const Region::Point& b = ring[(i + 1) % ring.size()];
      west = std::min(west, a.longitude), east = std::max(east, a.longitude);
      south = std::min(south, a.latitude), north = std::max(north, a.latitude);
      if (i % step != 0) continue;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) probes.push_back({scaled(a.latitude) + dy, scaled(a.longitude) + dx});
      }
      probes.push_back({scaled((a.latitude + b.latitude) / 2), scaled((a.longitude + b.longitude) / 2)});
      probes.push_back({scaled(a.latitude), scaled(b.longitude)});
    }
  }
  std::uniform_real_distribution<double> longitude(west - 0.01, east + 0.01), latitude(south - 0.01, north + 0.01);
  std::uniform_int_distribution<std::size_t> pick(0, probes.size() - 1);
  for (std::size_t i = 0; i < randomCount; ++i) {
    probes.push_back({scaled(latitude(random)), scaled(longitude(random))});
    probes.push_back({probes[pick(random)].latitude, scaled(longitude(random))});  // level with a vertex
  }
  return probes;
}

void expectPlainResult(const Region& region, const std::vector<Region::Ring>& rings, const std::vector<Probe>& probes,
                       const std::string& what) {
  std::size_t mismatches = 0, inside = 0;
  for (const Probe& p : probes) {
    const bool expected = plainInside(rings, p.latitude, p.longitude);
    inside += expected;
    if (region.contains(p.latitude, p.longitude) != expected && ++mismatches <= 5) {
      ADD_FAILURE() << what << ": " << p.latitude << "," << p.longitude << " should be " << (expected ? "in" : "out");
    }
  }
  EXPECT_EQ(mismatches, 0u) << what;
  EXPECT_GT(inside, 0u) << what;
  EXPECT_LT(inside, probes.size()) << what;
}

std::string polyText(const std::vector<Region::Ring>& rings) {
  std::string text = "region\n";
  char line[64];
  for (std::size_t r = 0; r < rings.size(); ++r) {
    text += (r == 0 ? "area\n" : "!hole\n");
    for (const Region::Point& p : rings[r]) {
      std::snprintf(line, sizeof line, "  %.17g  %.17g\n", p.longitude, p.latitude);
      text += line;
    }
    text += "END\n";
  }
  return text + "END\n";
}

// A ring from west to east whose every edge runs from 80 S to 80 N: each edge
// spans almost every latitude.
Region::Ring zigZag(std::size_t vertices, double west, double east, double south, double north) {
  Region::Ring ring;
  for (std::size_t i = 0; i < vertices; ++i) {
    ring.push_back({west + (east - west) * static_cast<double>(i) / static_cast<double>(vertices),
                    i % 2 ? north : south});
  }
  return ring;
}

TEST(RegionIndex, ZigZagOfAHundredThousandVerticesAcrossTheLatitudes) {
  const std::vector<Region::Ring> rings{zigZag(100000, -170, 170, -80, 80)};
  const std::string text = polyText(rings);
  TempDir dir;
  writeText(dir / "zz.poly", text);
  std::mt19937 random(3);
  std::vector<Probe> probes;
  for (int i = 0; i < 300; ++i) {
    probes.push_back({scaled(std::uniform_real_distribution<double>(-81, 81)(random)),
                      scaled(std::uniform_real_distribution<double>(-171, 171)(random))});
  }
  for (std::size_t i = 0; i < rings[0].size(); i += 997) probes.push_back({scaled(rings[0][i].latitude), scaled(rings[0][i].longitude)});
  const Region parsed = Region::parse(text, "zz.poly");
  EXPECT_EQ(parsed.edgeCount(), 100000u);
  expectPlainResult(parsed, rings, probes, "parsed");
  expectPlainResult(Region::read(dir / "zz.poly", "zz.poly"), rings, probes, "read");  // in many pieces
}

// Random regions of every shape the index must not get wrong: vertices on
// the stored grid (so that probes fall on vertices and edges exactly) or
// anywhere, zig-zags, many edges in a thin strip, rings that cross each
// other, repeated points, level and upright edges.
TEST(RegionIndex, RandomRegionsKeepThePlainEvenOddResult) {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int round = 0; round < 350; ++round) {
    const int kind = round % 7;
    const double west = -179.0 + 350.0 * unit(random), south = -89.0 + 170.0 * unit(random);
    const double size = kind == 5 ? 5.0 : std::pow(10.0, -3.0 + 3.0 * unit(random));
    std::vector<Region::Ring> rings;
    const int ringCount = 1 + static_cast<int>(random() % 3);
    for (int r = 0; r < ringCount; ++r) {
      Region::Ring ring;
      const std::size_t vertices = 3 + random() % (kind == 3 ? 2000 : 40);
      for (std::size_t i = 0; i < vertices; ++i) {
        double longitude = west + size * unit(random), latitude = south + size * unit(random);
        if (kind == 0 || kind == 5) {  // on the grid of stored coordinates, few distinct values
          longitude = west + std::round(unit(random) * 20) * size / 20;
          latitude = south + std::round(unit(random) * 20) * size / 20;
          longitude = std::round(longitude * kCoordinateScale) / kCoordinateScale;
          latitude = std::round(latitude * kCoordinateScale) / kCoordinateScale;
        } else if (kind == 6) {  // a few units of the last place off the grid, near 0: crossings rounded east
          longitude = static_cast<double>(static_cast<int>(random() % 61) - 30) / kCoordinateScale;
          for (int k = static_cast<int>(random() % 81) - 40; k != 0; k += k > 0 ? -1 : 1) {
            longitude = std::nextafter(longitude, k > 0 ? 1.0 : -1.0);
          }
          latitude = static_cast<double>(random() % 21) / kCoordinateScale;
        } else if (kind == 2 && i > 0 && random() % 3 == 0) {  // repeated, level or upright
          const Region::Point& last = ring.back();
          const int how = static_cast<int>(random() % 3);
          if (how == 0) longitude = last.longitude, latitude = last.latitude;
          if (how == 1) latitude = last.latitude;
          if (how == 2) longitude = last.longitude;
        }
        ring.push_back({longitude, latitude});
      }
      if (kind == 1) ring = zigZag(vertices + 2, west, west + size, south, south + size);
      if (kind == 3) {  // a strip of a thousandth of its width in latitude
        for (std::size_t i = 0; i < ring.size(); ++i) {
          ring[i].latitude = south + size * 1e-3 * static_cast<double>(i) / static_cast<double>(ring.size());
          ring[i].longitude = west + size * (i % 2 ? 0.9 : 1.0);
        }
        ring.push_back({west, south + size * 1e-3});
        ring.push_back({west, south});
      }
      rings.push_back(ring);
    }
    const std::vector<Probe> probes = probesFor(rings, random, kind == 6 ? 0 : 200);
    const Region region(rings);
    std::size_t mismatches = 0;
    for (const Probe& p : probes) {
      if (region.contains(p.latitude, p.longitude) != plainInside(rings, p.latitude, p.longitude) && ++mismatches <= 3) {
        ADD_FAILURE() << "round " << round << " kind " << kind << ": " << p.latitude << "," << p.longitude;
      }
    }
    ASSERT_EQ(mismatches, 0u) << "round " << round;
  }
}

// The crossing of the edge from (-0.618..., 100000) down to
// (0.99999999999999989, 0) in stored units with the parallel 0 is rounded to
// 1.0000000000000002: east of the edge's box, and of the point (1, 0), which
// the plain test therefore counts as inside. Mirrored, the crossing lies
// west of the box and of the point (-1, 0), which is inside by the other
// edge alone.
TEST(RegionIndex, ACrossingRoundedOutsideItsEdgesBoxCounts) {
  for (const double side : {1.0, -1.0}) {
    const std::vector<Region::Ring> rings{{{side * -6.1800690596740273e-05, 10},
                                           {side * 9.9999999999999991e-05, 0},
                                           {side * -6.1800690596740273e-05, -10}}};
    const auto x = static_cast<std::int32_t>(side);
    ASSERT_TRUE(plainInside(rings, 0, x));
    EXPECT_TRUE(Region(rings).contains(0, x)) << side;
    EXPECT_EQ(Region(rings).contains(0, 2 * x), plainInside(rings, 0, 2 * x)) << side;
  }
}

const std::string kSquareGeoJson = R"({"type":"Polygon","coordinates":[[[13,52],[14,52],[14,53],[13,53],[13,52]]]})";
const std::string kSquarePoly = "square\n1\n 13 52\n 14 52\n 14 53\n 13 53\nEND\nEND\n";

std::string nested(int depth, const std::string& prefix, const std::string& middle, const std::string& suffix) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += prefix;
  text += middle;
  for (int i = 0; i < depth; ++i) text += suffix;
  return text;
}

TEST(RegionGeoJson, NestingIsLimitedAndNamed) {
  const std::string feature = R"({"type":"Feature","geometry":)";
  const std::string polygonAt = R"({"type":"Polygon","coordinates":[[[13,52],[14,52],[14,53]]]})";
  // A Polygon takes four levels (itself, its coordinates, a ring, a point),
  // each Feature around it one more.
  const int features = Region::kMaxJsonDepth - 4;
  EXPECT_EQ(Region::parse(nested(features, feature, polygonAt, "}"), "r.json").edgeCount(), 2u);

  const std::string tooDeep = "r.json: nested deeper than " + std::to_string(Region::kMaxJsonDepth) + " levels";
  const std::string cases[] = {
      nested(features + 1, feature, polygonAt, "}"),
      nested(60000, feature, polygonAt, "}"),
      R"({"type":"Polygon","coordinates":)" + nested(100000, "[", "13", "]") + "}",
      R"({"type":"Feature","properties":)" + nested(100000, R"({"a":)", "1", "}") + R"(,"geometry":)" + polygonAt + "}",
      nested(100000, "[", "", "]"),
      nested(100000, "[", "", ""),  // never closed
  };
  for (const std::string& text : cases) {
    try {
      Region::parse(text, "r.json");
      ADD_FAILURE() << text.substr(0, 60);
    } catch (const RegionError& error) {
      EXPECT_EQ(error.messageText(), tooDeep) << text.substr(0, 60);
    }
  }
}

TEST(RegionFile, AByteOrderMarkIsSkipped) {
  const std::string bom = "\xEF\xBB\xBF";
  const Region plain = Region::parse(kSquarePoly, "r");
  for (const std::string& text : {bom + kSquareGeoJson, bom + " \r\n\t" + kSquareGeoJson, bom + kSquarePoly,
                                   bom + R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":)" +
                                       kSquareGeoJson + "}]}"}) {
    const Region region = Region::parse(text, "r");
    for (const Probe p : {Probe{525000, 135000}, Probe{515000, 135000}, Probe{525000, 145000}}) {
      EXPECT_EQ(region.contains(p.latitude, p.longitude), plain.contains(p.latitude, p.longitude)) << text;
    }
    EXPECT_EQ(region.edgeCount(), plain.edgeCount());
  }
}

// Every file that is no region, each read the three ways: the messages agree.
TEST(RegionFile, WhatIsWrongIsNamed) {
  const std::string polygonTail = R"(,"coordinates":[[[13,52],[14,52],[14,53]]]})";
  const std::string longLine(100000, '7');
  const struct {
    std::string text, message;
  } cases[] = {
      {R"({"type":"Polygon","coordinates":[[[1e999,0],[1,0],[1,1]]]})", "r.json: a number out of range (1e999)"},
      {R"({"type":"Polygon","coordinates":[[[1,-1e999],[1,0],[1,1]]]})", "r.json: a number out of range (-1e999)"},
      {R"({"type":"Feature","properties":{"area":1e400},"geometry":{"type":"Polygon")" + polygonTail + "}",
       "r.json: a number out of range (1e400)"},
      {R"({"type":5)" + polygonTail, "r.json: \"type\" is not a string"},
      {R"({"type":null)" + polygonTail, "r.json: \"type\" is not a string"},
      {R"({"type":"Feature","geometry":{"type":["Polygon"])" + polygonTail + "}", "r.json: \"type\" is not a string"},
      {R"({"type":"Polygon","coordinates":[[[123456789012345678901234567890,0],[1,0],[1,1]]]})",
       "r.json: a point out of range (longitude -180 to 180, latitude -90 to 90)"},
      {R"({"type":"Polygon","coordinates":[[[1,"0"],[1,0],[1,1]]]})", "r.json: a point is not [longitude, latitude]"},
      {"[1,2]", "r.json: expected a GeoJSON object"},
      {R"({"type":"Polygon","coordinates":[[[1,0],[1,0],[1,1]]],"name":"\xFF"})", "r.json: not valid JSON (byte 64)"},
      {"  \n" R"({"type":"Polygon",)", "r.json: not valid JSON (byte 22)"},
      {std::string(R"({"type":"Polygon")") + '\0' + "}", "r.json: not text (a zero byte at byte 18)"},
      {std::string("name\n1\n 1 1\n 2 1\n 2 2\n") + '\0', "r.json line 6: not text (a zero byte)"},
      {std::string("na") + '\0' + "me\n1\n 1 1\n 2 1\n 2 2\nEND\nEND\n", "r.json line 1: not text (a zero byte)"},
      {"name\n1\n 1 1\n 1 " + longLine + "x\nEND\nEND\n",
       "r.json line 4: expected a longitude and a latitude, got \"1 " + longLine.substr(0, 58) + "...\""},
      {"\xEF\xBB" + kSquareGeoJson, "r.json: the .poly file ends without END"},  // no mark: text of a name line
  };
  TempDir dir;
  for (const auto& c : cases) {
    writeText(dir / "r.json", c.text);
    for (int way = 0; way < 3; ++way) {
      try {
        if (way == 0) Region::parse(c.text, "r.json");
        if (way == 1) Region::read(dir / "r.json", "r.json");
        if (way == 2) {
          const UniqueFile file = openFile(dir / "r.json", "rb");
          ASSERT_TRUE(file);
          Region::read(file.get(), "r.json");
        }
        ADD_FAILURE() << c.text.substr(0, 80) << " way " << way;
      } catch (const RegionError& error) {
        EXPECT_EQ(error.messageText(), c.message) << " way " << way;
      }
    }
  }
}

TEST(RegionFile, ReadingStopsAtTheSizeLimit) {
  TempDir dir;
  std::string poly = kSquarePoly;
  const std::size_t regionEnd = poly.size();
  poly += std::string(5000, '#');  // after the last END: never read
  writeText(dir / "r.poly", poly);
  writeText(dir / "r.json", kSquareGeoJson);
  EXPECT_EQ(Region::read(dir / "r.poly", "r.poly", regionEnd).edgeCount(), 2u);
  EXPECT_EQ(Region::read(dir / "r.json", "r.json", kSquareGeoJson.size()).edgeCount(), 2u);
  const struct {
    std::string file;
    std::size_t limit;
    std::string message;
  } cases[] = {
      {"r.poly", regionEnd - 1, "r.poly: larger than " + std::to_string(regionEnd - 1) + " bytes, more than a region file may hold"},
      {"r.json", kSquareGeoJson.size() - 1,
       "r.json: larger than " + std::to_string(kSquareGeoJson.size() - 1) + " bytes, more than a region file may hold"},
      {"r.json", 0, "r.json: larger than 0 bytes, more than a region file may hold"},
  };
  for (const auto& c : cases) {
    try {
      Region::read(dir / c.file, c.file, c.limit);
      ADD_FAILURE() << c.file << " " << c.limit;
    } catch (const RegionError& error) {
      EXPECT_EQ(error.messageText(), c.message);
    }
  }
  // Nothing but blanks stops at the limit too.
  writeText(dir / "blank", std::string(300000, '\n'));
  try {
    Region::read(dir / "blank", "blank", 200000);
    ADD_FAILURE();
  } catch (const RegionError& error) {
    EXPECT_EQ(error.messageText(), "blank: larger than 200000 bytes, more than a region file may hold");
  }
}

TEST(RegionFile, AStreamIsReadFromWhereItStands) {
  for (const std::string& region : {kSquarePoly, kSquareGeoJson}) {
    const UniqueFile file = openTemporaryFile();
    ASSERT_TRUE(file);
    const std::string before = "not the region\n";
    ASSERT_EQ(std::fwrite(before.data(), 1, before.size(), file.get()), before.size());
    ASSERT_EQ(std::fwrite(region.data(), 1, region.size(), file.get()), region.size());
    ASSERT_TRUE(seekTo(file.get(), before.size()));
    const Region read = Region::read(file.get(), "-");
    EXPECT_EQ(read.edgeCount(), 2u);
    EXPECT_TRUE(read.contains(525000, 135000));
    EXPECT_FALSE(read.contains(535000, 135000));
  }
}

#ifndef _WIN32
// An endless device is refused at its first bytes, not read to the limit.
TEST(RegionFile, DevZeroIsNoRegion) {
  for (const bool asStream : {false, true}) {
    try {
      if (asStream) {
        const UniqueFile file = openFile("/dev/zero", "rb");
        ASSERT_TRUE(file);
        Region::read(file.get(), "/dev/zero");
      } else {
        Region::read("/dev/zero", "/dev/zero");
      }
      ADD_FAILURE();
    } catch (const RegionError& error) {
      EXPECT_EQ(error.messageText(), "/dev/zero line 1: not text (a zero byte)");
    }
  }
}
#endif

}  // namespace
}  // namespace tabrino
