// The filters against their plain definitions, and the region files.
#include "core/filter/camera_filter.h"
#include "core/base/errors.h"
#include "core/filter/region.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace tabrino {
namespace {

// A square of 13..14 E, 52..53 N with a hole of 13.4..13.6 E, 52.4..52.6 N.
const std::string kSquarePoly =
    "square\n1\n 13.0 52.0\n 14.0 52.0\n 14.0 53.0\n 13.0 53.0\nEND\n"
    "!hole\n 13.4 52.4\n 13.6 52.4\n 13.6 52.6\n 13.4 52.6\n 13.4 52.4\nEND\nEND\n";
const std::string kSquareGeoJson =
    R"({"type":"Feature","geometry":{"type":"MultiPolygon","coordinates":[[)"
    R"([[13,52],[14,52],[14,53],[13,53],[13,52]],[[13.4,52.4],[13.6,52.4],[13.6,52.6],[13.4,52.6],[13.4,52.4]]]]}})";

TEST(Region, SquareWithAHoleReadsAlikeFromPolyAndGeoJson) {
  const struct {
    double longitude, latitude;
    bool inside;
  } points[] = {{13.2, 52.2, true}, {13.5, 52.5, false}, {13.7, 52.5, true}, {12.9, 52.5, false},
                {13.5, 53.1, false}, {13.39, 52.5, true}, {13.999, 52.999, true}};
  for (const std::string& text : {kSquarePoly, kSquareGeoJson}) {
    const Region region = Region::parse(text, "region");
    for (const auto& p : points) {
      EXPECT_EQ(region.contains(static_cast<std::int32_t>(std::lround(p.latitude * 1e4)),
                                static_cast<std::int32_t>(std::lround(p.longitude * 1e4))),
                p.inside)
          << p.longitude << "," << p.latitude << " in " << text.substr(0, 10);
    }
  }
}

TEST(Region, FilesThatAreNoRegionAreNamedWithTheirLine) {
  const struct {
    std::string text, message;
  } cases[] = {
      {"r\n1\n 1 1\n 2 1\n 2 2\nEND\n", "r.poly: the .poly file ends without END"},
      {"r\n1\n 1 1\n 2 1\n 1 1\nEND\nEND\n", "r.poly line 2: a ring of fewer than three points"},
      {"r\n1\n 1 1\n 2 x\nEND\nEND\n", "r.poly line 4: expected a longitude and a latitude, got \"2 x\""},
      {"r\n1\n 1 1\n 2 91\n 3 1\nEND\nEND\n", "r.poly line 4: a point out of range (longitude -180 to 180, latitude -90 to 90)"},
      {R"({"type":"Point","coordinates":[1,2]})", "r.poly: expected a GeoJSON Polygon or MultiPolygon, got a Point"},
      {R"({"type":"Polygon","coordinates":[[[1,1],[2,2],[1,1]]]})", "r.poly (ring 1): a ring of fewer than three points"},
      {R"({"type":"Polygon",)", "r.poly: not valid JSON (byte 19)"},
  };
  for (const auto& c : cases) {
    try {
      Region::parse(c.text, "r.poly");
      ADD_FAILURE() << c.text;
    } catch (const RegionError& error) {
      EXPECT_EQ(error.messageText(), c.message);
    }
  }
}

TEST(FilterOptions, TextsThatAreNoFilterSayWhy) {
  std::string problem;
  const std::pair<std::string, std::string> boxes[] = {
      {"1,2,3", "expected W,S,E,N in degrees, got \"1,2,3\""},
      {"1,53,3,52", "S is above N in \"1,53,3,52\""},
      {"-181,1,3,2", "a longitude out of range (-180 to 180) in \"-181,1,3,2\""},
      {"1,-91,3,2", "a latitude out of range (-90 to 90) in \"1,-91,3,2\""},
  };
  for (const auto& [text, message] : boxes) {
    EXPECT_FALSE(parseBoundingBox(text, problem));
    EXPECT_EQ(problem, message);
  }
  EXPECT_TRUE(parseBoundingBox("170,-10,-170,10", problem));  // across the 180th meridian
  EXPECT_FALSE(parseTypes("1,256", problem));
  EXPECT_EQ(problem, "unknown type \"256\" (types are whole numbers from 0 to 255)");
  EXPECT_FALSE(parseSpeedRange("80-50", problem));
  EXPECT_EQ(problem, "MIN is above MAX in \"80-50\"");
  EXPECT_FALSE(parseSpeedRange("50", problem));
  EXPECT_TRUE(parseSpeedRange("0-255", problem));
}

// A generated table whose rows cluster around a few places, with copies.
CameraTable generatedTable(std::mt19937& random) {
  CameraTable table;
  std::uniform_int_distribution<int> lat(520000, 530500), lon(-1800000, 1800000), near(129000, 141000), pick(0, 9),
      type(1, 6), speed(0, 13), dir(0, 2);
  std::vector<CameraRow> rows;
  for (std::uint64_t line = 1; line <= 20000; ++line) {
    CameraRow row{};
    if (pick(random) < 2 && !rows.empty()) {
      row = rows[static_cast<std::size_t>(random() % rows.size())];
    } else {
      row = {lat(random) / 1e4, pick(random) < 5 ? near(random) : lon(random), static_cast<std::uint8_t>(type(random)),
             static_cast<std::uint8_t>(speed(random) * 10), static_cast<std::uint8_t>(dir(random)),
             static_cast<std::uint8_t>(random() % 4)};
    }
    if (pick(random) == 0) row.latitude = 95.0;  // becomes no record
    rows.push_back(row);
    table.appendRow(row, line + line / 7);  // lines with gaps
  }
  return table;
}

// Even-odd over every edge, with no index.
bool plainInside(const std::vector<Region::Ring>& rings, double x, double y) {
  bool inside = false;
  for (const Region::Ring& ring : rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const auto& a = ring[i];
      const auto& b = ring[(i + 1) % ring.size()];
      const double x1 = a.longitude * 1e4, y1 = a.latitude * 1e4, x2 = b.longitude * 1e4, y2 = b.latitude * 1e4;
      if ((y1 > y) != (y2 > y) && x < x1 + (y - y1) * (x2 - x1) / (y2 - y1)) inside = !inside;
    }
  }
  return inside;
}

TEST(CameraFilter, KeepsWhatEachPlainDefinitionKeeps) {
  std::mt19937 random(11);
  const CameraTable original = generatedTable(random);
  // A star-shaped ring of many points around 13.5 E 52.5 N, with a hole.
  std::vector<Region::Ring> rings(2);
  for (int i = 0; i < 4000; ++i) {
    const double angle = 2 * 3.14159265358979 * i / 4000, r = (i % 2 ? 0.2 : 0.5) + 0.05 * std::sin(i * 0.37);
    rings[0].push_back({13.5 + r * std::cos(angle), 52.5 + r * std::sin(angle)});
  }
  rings[1] = {{13.45, 52.45}, {13.55, 52.45}, {13.55, 52.55}, {13.45, 52.55}};
  CameraTable excludedTable;
  for (std::size_t i = 0; i < original.size(); i += 97) excludedTable.appendRow(original.row(i), i + 1);
  ListSources excludedSources;
  excludedSources.add("ignore.txt", original.size() + 1);

  std::set<std::tuple<std::int32_t, std::int32_t, int, int>> excludedKeys;
  for (std::size_t i = 0; i < excludedTable.size(); ++i) {
    if (const auto r = excludedTable.record(i)) excludedKeys.insert({r->latitude, r->longitude, r->directionType, r->directionCode});
  }
  const BoundingBox boxes[] = {{13.2, 52.3, 13.8, 52.7}, {170.0, 52.1, -170.0, 52.9}, {13.4, 52.5, 13.4, 52.5}};

  struct Case {
    const char* name;
    std::function<void(CameraFilter&)> set;
    std::function<bool(const CameraRecord&)> keeps;
  };
  std::vector<Case> cases;
  for (const BoundingBox& b : boxes) {
    cases.push_back({"bbox", [b](CameraFilter& f) { f.keepBox(b); }, [b](const CameraRecord& r) {
                       const double lat = r.latitude / 1e4, lon = r.longitude / 1e4;
                       const bool inLon = b.west <= b.east ? lon >= b.west && lon <= b.east : lon >= b.west || lon <= b.east;
                       return lat >= b.south && lat <= b.north && inLon;
                     }});
  }
  cases.push_back({"polygon", [&](CameraFilter& f) { f.keepRegion(Region(rings)); },
                   [&](const CameraRecord& r) { return plainInside(rings, r.longitude, r.latitude); }});
  cases.push_back({"types", [](CameraFilter& f) { f.keepTypes(std::bitset<256>("1010")); },
                   [](const CameraRecord& r) { return r.type == 1 || r.type == 3; }});
  cases.push_back({"speed", [](CameraFilter& f) { f.keepSpeeds({30, 80}); },
                   [](const CameraRecord& r) { return r.speed >= 30 && r.speed <= 80; }});
  cases.push_back({"exclude", [&](CameraFilter& f) { f.leaveOut(ExcludedCameras(excludedTable, excludedSources)); },
                   [&](const CameraRecord& r) {
                     return !excludedKeys.count({r.latitude, r.longitude, r.directionType, r.directionCode});
                   }});

  for (const Case& c : cases) {
    CameraFilter filter;
    c.set(filter);
    CameraTable table = original;
    const FilterCounts counts = filterTable(table, filter);
    std::size_t kept = 0, leftOut = 0;
    for (std::size_t i = 0; i < original.size(); ++i) {
      const auto record = original.record(i);
      if (record && !c.keeps(*record)) {
        ++leftOut;
        continue;
      }
      ASSERT_LT(kept, table.size()) << c.name;
      EXPECT_EQ(table.tag(kept), original.tag(i)) << c.name << " row " << i;
      EXPECT_EQ(table.row(kept).longitude, original.row(i).longitude) << c.name;
      ++kept;
    }
    EXPECT_EQ(kept, table.size()) << c.name;
    EXPECT_GT(leftOut, 0u) << c.name;
    std::uint64_t counted = 0;
    for (const std::uint64_t n : counts) counted += n;
    EXPECT_EQ(counted, leftOut) << c.name;
    CameraTable plain;
    for (std::size_t i = 0; i < table.size(); ++i) plain.appendRow(table.row(i), i);
    EXPECT_EQ(table.recordCount(), plain.recordCount()) << c.name;
    EXPECT_EQ(table.recordXor(), plain.recordXor()) << c.name;
  }
}

// The ignore lists' tables are powers of two: one past what a vector can hold
// (on a 32-bit system, from 2 to the 32 at the latest) is an error that says
// so, never a shift past the width of size_t.
TEST(CameraFilter, IgnoreListTablesBeyondWhatAVectorHoldsAreTooLarge) {
  const std::size_t words = std::vector<std::uint64_t>().max_size();
  EXPECT_EQ(powerOfTwoEntries(0, words), 1u);
  EXPECT_EQ(powerOfTwoEntries(20, words), std::size_t{1} << 20);
  EXPECT_EQ(powerOfTwoEntries(20, std::size_t{1} << 20), std::size_t{1} << 20);
  EXPECT_THROW(powerOfTwoEntries(21, std::size_t{1} << 20), TooLargeError);
  EXPECT_THROW(powerOfTwoEntries(63, words), TooLargeError);
  EXPECT_THROW(powerOfTwoEntries(64, std::numeric_limits<std::size_t>::max()), TooLargeError);
  EXPECT_THROW(powerOfTwoEntries(std::numeric_limits<std::size_t>::digits, words), TooLargeError);
}

// An ignore list of many cameras, a fifth of them entered more than once:
// each camera is found and named by its first line; a camera one step away
// in any field of the rule is not in the list.
TEST(CameraFilter, ExcludedCamerasNameTheFirstLineOfEachCamera) {
  std::mt19937 random(5);
  const CameraTable ignore = generatedTable(random);
  ListSources sources;
  sources.add("ignore.txt", ignore.size() + 1);
  const ExcludedCameras excluded(ignore, sources);
  std::map<std::tuple<std::int32_t, std::int32_t, int, int>, std::uint64_t> firstLine;
  for (std::size_t i = 0; i < ignore.size(); ++i) {
    if (const auto r = ignore.record(i)) firstLine.insert({{r->latitude, r->longitude, r->directionType, r->directionCode}, ignore.tag(i) + 1});
  }
  ASSERT_GT(firstLine.size(), 10000u);
  ASSERT_LT(firstLine.size(), ignore.recordCount());
  auto expected = [&](const CameraRecord& r) -> std::optional<std::uint64_t> {
    const auto found = firstLine.find({r.latitude, r.longitude, r.directionType, r.directionCode});
    if (found == firstLine.end()) return std::nullopt;
    return found->second;
  };
  for (std::size_t i = 0; i < ignore.size(); ++i) {
    auto record = ignore.record(i);
    if (!record) continue;
    EXPECT_EQ(excluded.lineOf(*record), expected(*record)) << "row " << i;
    record->type ^= 1;  // type and speed are not part of the camera
    record->speed = 255;
    EXPECT_EQ(excluded.lineOf(*record), expected(*record)) << "row " << i;
    CameraRecord moved = *record;
    moved.longitude += 1;
    EXPECT_EQ(excluded.lineOf(moved), expected(moved)) << "row " << i;
    moved = *record;
    moved.directionCode ^= 1;
    EXPECT_EQ(excluded.lineOf(moved), expected(moved)) << "row " << i;
  }
}

}  // namespace
}  // namespace tabrino
