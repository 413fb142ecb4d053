#include "core/check/duplicates.h"
#include "core/model/earth.h"

#include "core/platform/byte_source.h"
#include "core/convert/conversion_run.h"
#include "core/database/db_inspect.h"
#include "core/list/finding_spool.h"
#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace tabrino {
namespace {

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";

std::vector<std::string> findingsOf(const std::string& rows, double nearMetres) {
  CameraTable table;
  EXPECT_TRUE(importCameraListText(kHeader + rows, table).loaded());
  table.sortByLatitude();
  const DuplicateScan scan(table, {nearMetres, false});
  FindingList findings;
  scan.report(findings);
  std::vector<std::string> lines;
  for (const ListFinding& f : findings.all()) {
    lines.push_back(std::to_string(f.lineNumber) + " " + findingKindName(f.kind) + " " + f.detail);
  }
  return lines;
}

TEST(Duplicates, GroupRowsThatBecomeTheSameCamera) {
  // Lines count from 1, the header being line 1: the first row is line 2.
  // A tenth of a thousandth of a degree is 11.1195 m of latitude, and
  // 6.769 m of longitude at 52.5 degrees.
  const struct {
    const char* name;
    std::string rows;
    double near;
    std::vector<std::string> findings;
  } cases[] = {
      {"same place, other speed", "1,13.5,52.5,1,60,1,90\n2,13.5,52.5,1,50,1,90\n", 0,
       {"3 duplicate same camera as line 2; speed 60 there, 50 here"}},
      {"same place, other type", "1,13.5,52.5,1,60,1,90\n2,13.5,52.5,2,60,1,90\n", 0,
       {"3 duplicate same camera as line 2; type 1 there, 2 here"}},
      {"the same record once truncated", "1,13.50001,52.50009,1,60,1,90\n2,13.500019,52.5,1,60,1,90\n", 0,
       {"3 duplicate same camera as line 2"}},
      {"directions of one code", "1,13.5,52.5,1,60,1,90\n2,13.5,52.5,1,60,1,91\n", 0,
       {"3 duplicate same camera as line 2"}},
      {"other direction code", "1,13.5,52.5,1,60,1,90\n2,13.5,52.5,1,60,1,92\n", 20, {}},
      {"other direction type", "1,13.5,52.5,1,60,1,90\n2,13.5,52.5,1,60,2,90\n", 20, {}},
      {"out of range", "1,200,52.5,1,60,1,90\n2,200,52.5,1,60,1,90\n", 20, {}},
      {"three in a group, another camera between",
       "1,13.5,52.5,1,60,1,90\n2,13.6,52.5,1,60,1,90\n3,13.5,52.5,1,60,1,90\n4,13.5,52.5,1,30,1,90\n", 0,
       {"4 duplicate same camera as line 2", "5 duplicate same camera as line 2; speed 60 there, 30 here"}},
      // Coordinates half a unit off the grid: they scale without doubt.
      {"near but not equal, not asked", "1,13.50005,52.50005,1,60,1,90\n2,13.50015,52.50005,1,60,1,90\n", 0, {}},
      {"near but not equal", "1,13.50005,52.50005,1,60,1,90\n2,13.50015,52.50005,1,60,1,90\n", 20,
       {"3 near-duplicate 6.8 m from line 2"}},
      {"near, other direction", "1,13.50005,52.50005,1,60,1,90\n2,13.50015,52.50005,1,60,1,100\n", 20, {}},
      {"farther than asked", "1,13.50005,52.50005,1,60,1,90\n2,13.50005,52.50025,1,60,1,90\n", 20, {}},
      {"the nearest earlier row is named",
       "1,13.50005,52.50025,1,60,1,90\n2,13.50005,52.50015,1,60,1,90\n3,13.50005,52.50005,1,60,1,90\n", 30,
       {"3 near-duplicate 11.1 m from line 2", "4 near-duplicate 11.1 m from line 3"}},
      {"a duplicate is not also near",
       "1,13.50015,52.50005,1,60,1,90\n2,13.50005,52.50005,1,60,1,90\n3,13.50005,52.50005,1,60,1,90\n", 20,
       {"3 near-duplicate 6.8 m from line 2", "4 duplicate same camera as line 3"}},
      {"across the 180th meridian", "1,179.99995,0,1,60,1,90\n2,-180,0,1,60,1,90\n", 20,
       {"3 near-duplicate 11.1 m from line 2"}},
      {"180 and -180 are one meridian", "1,-180,10,1,60,1,90\n2,180,10,1,60,1,90\n", 20,
       {"3 near-duplicate 0.0 m from line 2"}},
      {"at the pole every longitude is near", "1,0,90,1,60,1,90\n2,120,90,1,60,1,90\n", 20,
       {"3 near-duplicate 0.0 m from line 2"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(findingsOf(c.rows, c.near), c.findings) << c.name;
  }
}

TEST(Duplicates, DistancesAreTakenOnTheSphere) {
  const double degree = kEarthRadiusMetres * 3.14159265358979323846 / 180;
  EXPECT_NEAR(distanceMetres(0, 0, 10000, 0), degree, 1e-6);
  EXPECT_NEAR(distanceMetres(0, 1799999, 0, -1800000), degree / 10000, 1e-6);
  // A degree along the parallel at 60 degrees, by the spherical law of cosines.
  const double phi = 3.14159265358979323846 / 3, lambda = degree / kEarthRadiusMetres;
  const double alongParallel =
      kEarthRadiusMetres * std::acos(std::sin(phi) * std::sin(phi) + std::cos(phi) * std::cos(phi) * std::cos(lambda));
  EXPECT_NEAR(distanceMetres(600000, 0, 600000, 10000), alongParallel, 0.01);
  EXPECT_NEAR(distanceMetres(-900000, 0, 900000, 1234567), 180 * degree, 1e-6);
}

// The reference: each row against every earlier row.
struct Expected {
  std::uint64_t line;
  FindingKind kind;
  std::uint64_t earlierLine;
  bool operator==(const Expected& o) const {
    return line == o.line && kind == o.kind && earlierLine == o.earlierLine;
  }
};

std::vector<Expected> quadraticSearch(const std::vector<std::optional<CameraRecord>>& rows, double near) {
  std::vector<Expected> expected;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i]) continue;
    const CameraRecord& r = *rows[i];
    std::optional<std::size_t> same, nearest;
    std::int64_t best = 0;
    for (std::size_t j = 0; j < i && !same; ++j) {
      if (!rows[j] || rows[j]->directionType != r.directionType || rows[j]->directionCode != r.directionCode) continue;
      const CameraRecord& o = *rows[j];
      if (o.latitude == r.latitude && o.longitude == r.longitude) {
        same = j;
        continue;
      }
      const std::int64_t millimetres = distanceMillimetres(r.latitude, r.longitude, o.latitude, o.longitude);
      if (near > 0 && static_cast<double>(millimetres) <= near * 1000 && (!nearest || millimetres < best)) nearest = j, best = millimetres;
    }
    if (same) {
      expected.push_back({i + 2, FindingKind::Duplicate, *same + 2});
    } else if (nearest) {
      expected.push_back({i + 2, FindingKind::NearDuplicate, *nearest + 2});
    }
  }
  return expected;
}

// Scans `list` (rows without the header) in file order, as the dialog does
// before a conversion, and in latitude order, and fails where either parts
// from comparing every pair. Returns the sorted scan's counts.
std::pair<std::uint64_t, std::uint64_t> expectWhatEveryPairFinds(const std::string& list, double near,
                                                                 const std::string& what) {
  CameraTable table;
  EXPECT_TRUE(importCameraListText(kHeader + list, table).loaded()) << what;
  std::vector<std::optional<CameraRecord>> rows;
  for (std::size_t i = 0; i < table.size(); ++i) rows.push_back(table.record(i));
  FindingList inFileOrder;
  DuplicateScan(table, {near, false}).report(inFileOrder);
  table.sortByLatitude();
  const DuplicateScan scan(table, {near, false});
  FindingList findings;
  scan.report(findings);
  std::vector<Expected> found;
  for (const ListFinding& f : findings.all()) {
    const std::size_t at = f.detail.find("line ") + 5;
    found.push_back({f.lineNumber, f.kind, std::stoull(f.detail.substr(at))});
  }
  EXPECT_EQ(inFileOrder.all().size(), findings.all().size()) << what;
  for (std::size_t k = 0; k < std::min(findings.all().size(), inFileOrder.all().size()); ++k) {
    EXPECT_EQ(inFileOrder.all()[k].detail, findings.all()[k].detail) << what << " " << k;
  }
  const std::vector<Expected> expected = quadraticSearch(rows, near);
  // The first row where they part, to say what went wrong.
  const auto parted = std::mismatch(found.begin(), found.end(), expected.begin(), expected.end());
  if (parted.first != found.end() || parted.second != expected.end()) {
    const Expected& f = parted.first != found.end() ? *parted.first : Expected{0, FindingKind::Duplicate, 0};
    const Expected& e = parted.second != expected.end() ? *parted.second : Expected{0, FindingKind::Duplicate, 0};
    ADD_FAILURE() << what << ": found line " << f.line << " " << findingKindName(f.kind) << " of line "
                  << f.earlierLine << ", expected line " << e.line << " " << findingKindName(e.kind) << " of line "
                  << e.earlierLine;
  }
  return {scan.duplicateCount(), scan.nearCount()};
}

TEST(Duplicates, FindWhatComparingEveryPairFinds) {
  // Rows crowd around a few places, at the poles and the 180th meridian
  // too, so that duplicates, near copies and wide bands all occur.
  std::mt19937 random(11);
  const double centres[][2] = {{13.5, 52.5}, {179.9999, -33.2}, {-179.9999, -33.2}, {45, 89.9995}, {-70, -89.9999}};
  for (const double near : {0.0, 5.0, 20.0, 300.0}) {
    std::string list;
    for (int i = 0; i < 3000; ++i) {
      const auto& centre = centres[random() % 5];
      const double spread = (random() % 2 ? 0.0001 : 0.003);
      double x = centre[0] + spread * (static_cast<int>(random() % 21) - 10);
      const double y = centre[1] + spread * (static_cast<int>(random() % 21) - 10) / 10;
      if (x > 180) x -= 360;
      if (x < -180) x += 360;
      const int direction = static_cast<int>(random() % 3) * 60;
      list += std::to_string(i) + "," + std::to_string(x) + "," + std::to_string(y) + ",1," +
              std::to_string(random() % 5 * 20) + ",1," + std::to_string(direction) + "\n";
    }
    const auto [duplicates, nearCopies] = expectWhatEveryPairFinds(list, near, "near " + std::to_string(near));
    EXPECT_GT(duplicates, 100u) << near;
    if (near > 0) {
      EXPECT_GT(nearCopies, 10u) << near;
    }
  }
}

// A list long enough to be searched in two halves at once, on few latitudes
// so that one latitude's rows lie on both sides of the middle: each row that
// repeats a camera names the camera's first row, as a plain count by camera
// finds.
TEST(Duplicates, ALongListIsSearchedInTwoHalvesAsInOne) {
  std::mt19937 random(5);
  std::string list;
  for (int i = 0; i < 150000; ++i) {
    list += std::to_string(i) + "," + std::to_string(10 + static_cast<int>(random() % 300) / 10000.0) + "," +
            std::to_string(50 + static_cast<int>(random() % 7) / 10000.0) + ",1,50,1," +
            std::to_string(random() % 2 * 90) + "\n";
  }
  CameraTable table;
  ASSERT_TRUE(importCameraListText(kHeader + list, table).loaded());
  // The first line of each camera, by the record its rows become.
  std::map<std::tuple<std::int32_t, std::int32_t, int>, std::uint64_t> firstLine;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> expected;  // line, the line it repeats
  for (std::size_t i = 0; i < table.size(); ++i) {
    const CameraRecord record = *table.record(i);
    const auto [first, added] =
        firstLine.try_emplace({record.latitude, record.longitude, record.directionCode}, i + 2);
    if (!added) expected.emplace_back(i + 2, first->second);
  }
  for (const bool sorted : {false, true}) {
    if (sorted) table.sortByLatitude();
    FindingList findings;
    const DuplicateScan scan(table, {0, false});
    scan.report(findings);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> found;
    for (const ListFinding& f : findings.all()) {
      found.emplace_back(f.lineNumber, std::stoull(f.detail.substr(f.detail.find("line ") + 5)));
    }
    EXPECT_EQ(scan.duplicateCount(), expected.size()) << sorted;
    EXPECT_TRUE(found == expected) << sorted << ": " << found.size() << " found, " << expected.size() << " expected";
  }
}

TEST(Duplicates, CrowdedListsFindWhatComparingEveryPairFinds) {
  // The search stands for a camera entered many times by one point and
  // narrows its reach to the nearest copy found so far: crowds, grids of
  // equal distances (where the earliest row must win) and rows on one
  // parallel, in orders that put the nearest earlier row near or far.
  std::mt19937 random(16);
  const auto row = [&](std::size_t i, double x, double y, int direction) {
    return std::to_string(i) + "," + std::to_string(x) + "," + std::to_string(y) + ",1," +
           std::to_string(random() % 4 * 30) + ",1," + std::to_string(direction) + "\n";
  };
  // Coordinates half a unit off the grid scale without doubt.
  const auto onGrid = [](double degrees, int units) { return degrees + (units + 0.5) / 10000; };
  const struct {
    const char* name;
    std::function<std::string()> list;
  } shapes[] = {
      {"a few places entered again and again",
       [&] {
         std::string list;
         for (std::size_t i = 0; i < 1500; ++i) {
           const int place = static_cast<int>(random() % 6);
           list += row(i, onGrid(11.56, place * 7 % 13), onGrid(48.13, place * 5 % 11), random() % 5 ? 0 : 90);
         }
         return list;
       }},
      {"a crowded square with a camera at every other place",
       [&] {
         std::string list;
         for (std::size_t i = 0; i < 1500; ++i) {
           const bool theCamera = random() % 3 == 0;
           list += row(i, onGrid(11.56, theCamera ? 20 : static_cast<int>(random() % 40)),
                       onGrid(48.13, theCamera ? 20 : static_cast<int>(random() % 40)), 0);
         }
         return list;
       }},
      {"one parallel, west to east",
       [&] {
         std::string list;
         for (std::size_t i = 0; i < 1500; ++i) list += row(i, onGrid(-2, static_cast<int>(i * 3 / 2)), 40.4, 0);
         return list;
       }},
      {"one parallel, east to west",
       [&] {
         std::string list;
         for (std::size_t i = 0; i < 1500; ++i) list += row(i, onGrid(-2, -static_cast<int>(i * 3 / 2)), 40.4, 0);
         return list;
       }},
      {"one parallel, every tenth place first",
       [&] {
         std::string list;
         for (std::size_t i = 0; i < 1500; ++i) {
           const int at = i < 150 ? static_cast<int>(i) * 10 : static_cast<int>(random() % 1500);
           list += row(i, onGrid(-2, at), 40.4, 0);
         }
         return list;
       }},
      {"one parallel round the 180th meridian",
       [&] {
         std::string list;
         for (std::size_t i = 0; i < 1500; ++i) {
           double x = onGrid(179.9, static_cast<int>(random() % 2000));
           if (x > 180) x -= 360;
           list += row(i, x, -16.5, 0);
         }
         return list;
       }},
  };
  for (const auto& shape : shapes) {
    const std::string list = shape.list();
    for (const double near : {0.0, 12.0, 100.0, 1000.0}) {
      expectWhatEveryPairFinds(list, near, std::string(shape.name) + ", near " + std::to_string(near));
    }
  }
}

TEST(Duplicates, DroppingKeepsTheLowestSpeedAboveZeroElseTheFirst) {
  const struct {
    const char* name;
    std::vector<int> speeds;  // of one camera's rows, in list order
    std::size_t kept;         // which of them
  } cases[] = {
      {"lowest speed above 0", {0, 50, 30, 60}, 2},
      {"no speed above 0", {0, 0, 0}, 0},
      {"speeds tie", {70, 50, 50}, 1},
      {"speeds below 10 mean no limit", {5, 40}, 1},
      {"one row", {50}, 0},
  };
  for (const auto& c : cases) {
    // The camera's rows with another camera between each.
    std::string rows;
    for (std::size_t i = 0; i < c.speeds.size(); ++i) {
      rows += "1,13.5,52.5,1," + std::to_string(c.speeds[i]) + ",1,90\n";
      rows += "2," + std::to_string(10 + i) + ",50,1,50,1,90\n";
    }
    CameraTable table;
    ASSERT_TRUE(importCameraListText(kHeader + rows, table).loaded());
    table.sortByLatitude();
    const std::vector<std::uint32_t> dropped = DuplicateScan(table, {0, true}).droppedPositions();
    std::set<std::uint64_t> droppedLines;
    for (const std::uint32_t position : dropped) droppedLines.insert(table.tag(position));
    std::set<std::uint64_t> expected;
    for (std::size_t i = 0; i < c.speeds.size(); ++i) {
      if (i != c.kept) expected.insert(1 + 2 * i);
    }
    EXPECT_EQ(droppedLines, expected) << c.name;

    // The file is the one the list without the dropped rows gives.
    test::TempDir dir;
    const ConversionSettings settings{dir.path(), DbDate{2014, 11, 14}, drawRandomBlock(3)};
    writeCameraDatabase(table, settings, dropped);
    const std::vector<std::uint8_t> written = test::readBytes(dir / "DB_141114.dbh");
    std::string kept;
    for (std::size_t i = 0; i < c.speeds.size(); ++i) {
      if (i == c.kept) kept += "1,13.5,52.5,1," + std::to_string(c.speeds[i]) + ",1,90\n";
      kept += "2," + std::to_string(10 + i) + ",50,1,50,1,90\n";
    }
    CameraTable reference;
    ASSERT_TRUE(importCameraListText(kHeader + kept, reference).loaded());
    runConversion(reference, settings);
    EXPECT_EQ(written, test::readBytes(dir / "DB_141114.dbh")) << c.name;
    MemorySource source(written);
    EXPECT_TRUE(inspectDatabase(source).sound()) << c.name;
  }
}

TEST(Duplicates, TheSpoolAndTheScanMeetInLineOrder) {
  const std::string rows =
      "1,13.5,52.5,1,60,1,90\n"   // 2
      "2,13.5,52.5,1,x,1,90\n"    // 3: not a number, and a duplicate of 2
      "3,200,52.5,1,60,1,90\n"    // 4: out of range
      "4,13.5,52.5,1,60,1,90\n";  // 5: a duplicate of 2
  CameraTable table;
  FindingSpool spool;
  ImportOptions options;
  options.findings = &spool;
  ASSERT_TRUE(importCameraListText(kHeader + rows, table, options).loaded());
  table.sortByLatitude();
  FindingList merged;
  DuplicateScan(table).reportWith([&](FindingSink& sink) { spool.replay(sink); }, merged);
  std::vector<std::string> lines;
  for (const ListFinding& f : merged.all()) lines.push_back(std::to_string(f.lineNumber) + " " + findingKindName(f.kind));
  EXPECT_EQ(lines, (std::vector<std::string>{"3 not-a-number", "3 duplicate", "4 out-of-range", "5 duplicate"}));
}

TEST(Duplicates, TheGermanListRepeats78Cameras) {
  const std::filesystem::path list = test::realListsDir() / "germany-1195.txt";
  if (!std::filesystem::exists(list)) GTEST_SKIP() << list;
  CameraTable table;
  ASSERT_TRUE(importCameraList(list, table).loaded());
  table.sortByLatitude();
  const DuplicateScan scan(table);
  EXPECT_EQ(scan.duplicateCount(), 78u);
  EXPECT_EQ(scan.nearCount(), 0u);
}

}  // namespace
}  // namespace tabrino
