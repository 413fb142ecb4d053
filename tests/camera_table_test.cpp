#include "core/list/camera_table.h"

#include "core/base/c_numbers.h"
#include "core/list/latitude_order.h"
#include "core/list/text_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace tabrino {
namespace {

using namespace std::string_literals;

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";

CameraTable tableOf(const std::string& rows) {
  CameraTable table;
  EXPECT_TRUE(importCameraListText(kHeader + rows, table).loaded());
  return table;
}

std::vector<std::string> column(const CameraTable& table, Column which) {
  std::vector<std::string> cells;
  for (std::size_t row = 0; row < table.size(); ++row) cells.push_back(table.cell(row, which));
  return cells;
}

TEST(CameraTable, KeepsCellsByteForByteAndTagsRowsWithTheirLines) {
  const CameraTable table = tableOf(
      "1, 13.5 ,,\xC0\xFF,60,1,90\r\n"
      "\n"
      "junk\n"
      "2,1\r3,4\x00" "5,6\n"
      "3,1\n"s);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table.cell(0, Column::X), " 13.5 ");
  EXPECT_EQ(table.cell(0, Column::Y), "");
  EXPECT_EQ(table.cell(0, Column::Type), "\xC0\xFF");
  EXPECT_EQ(table.cell(0, Column::Direction), "90");
  EXPECT_EQ(table.cell(1, Column::X), "13");  // carriage return dropped
  EXPECT_EQ(table.cell(1, Column::Y), "4");   // a zero byte ends the cell
  EXPECT_EQ(table.cell(1, Column::Type), "6");
  EXPECT_EQ(table.cell(2, Column::Y), "");     // missing fields read as empty
  EXPECT_EQ(table.cell(9, Column::X), "");     // and so do missing rows
  EXPECT_EQ((std::vector<std::uint64_t>{table.tag(0), table.tag(1), table.tag(2)}),
            (std::vector<std::uint64_t>{1, 4, 5}));
}

TEST(CameraTable, SortsByLatitudeStablyWithNaNLast) {
  CameraTable table = tableOf(
      "nan,1,nan\n"
      "b1,1,55.5\n"
      "a,1,-10\n"
      "b2,1,55.50\n"
      "zero,1,text\n"
      "b3,1,5.55e1\n"
      "c,1,0x1p6\n"
      "high,1,1e300\n"
      "low,1,-inf\n"
      "d2,1,55.50001\n"
      "d1,1,55.500009\n");
  table.sortByLatitude();
  EXPECT_EQ(column(table, Column::Idx), (std::vector<std::string>{"low", "a", "zero", "b1", "b2", "b3", "d1", "d2",
                                                                   "c", "high", "nan"}));
  EXPECT_EQ(table.tag(0), 9u);
  EXPECT_EQ(table.cell(4, Column::Y), "55.50");  // each row moved with its own cells
}

// Rows are parsed once at import; what they hold must be what the cells say,
// and the sort must give the order of the latitudes read from the cells.
// Lists of nearby, tied and odd latitudes, large enough to be parsed on two
// threads, are checked against the plain definitions.
TEST(CameraTable, RowsAndOrderAgreeWithTheCells) {
  std::mt19937 random(20141114);
  const char* const odd[] = {"", "x", "nan", "-0", "0x1.8p3", "1e-320", "90.00001", "-90", "  7", "+3.5", "1e20"};
  for (int round = 0; round < 4; ++round) {
    std::string rows;
    const int count = 30000 + round * 30000;
    // The last round crowds every latitude into one bucket of the sort.
    const unsigned spread = round == 3 ? 1 : 2000;
    for (int i = 0; i < count; ++i) {
      const int latitudeStep = static_cast<int>(random() % spread);
      std::string y = std::to_string(47 + latitudeStep / 10000.0);
      switch (random() % 8) {
        case 0: y = odd[random() % std::size(odd)]; break;
        case 1: y = "55.7499" + std::string(random() % 2 ? "" : "0000000001"); break;
        case 2: y += std::to_string(random() % 10); break;
        default: break;
      }
      const std::string x = random() % 50 ? std::to_string(-180 + static_cast<int>(random() % 361)) + ".5" : "181";
      rows += std::to_string(i) + "," + x + "," + y + "," + std::to_string(random() % 300) + "," +
              std::to_string(random() % 130) + "," + std::to_string(random() % 3) + "," +
              std::to_string(static_cast<int>(random() % 800) - 400) + (random() % 3 ? "\r\n" : "\n");
      if (random() % 100 == 0) rows += "\n";
    }
    CameraTable table = tableOf(rows);
    std::vector<std::size_t> expectedOrder(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
      expectedOrder[i] = i;
      const auto expected = recordFromCells({table.cell(i, Column::X), table.cell(i, Column::Y),
                                             table.cell(i, Column::Type), table.cell(i, Column::Speed),
                                             table.cell(i, Column::DirType), table.cell(i, Column::Direction)});
      ASSERT_EQ(table.record(i), expected) << "row " << i;
    }
    auto latitude = [&](std::size_t row) {
      const double y = atofC(table.cell(row, Column::Y));
      return std::isnan(y) ? INFINITY : y;
    };
    std::stable_sort(expectedOrder.begin(), expectedOrder.end(), [&](std::size_t a, std::size_t b) {
      const bool nanA = std::isnan(atofC(table.cell(a, Column::Y))), nanB = std::isnan(atofC(table.cell(b, Column::Y)));
      return nanA != nanB ? nanB : latitude(a) < latitude(b);
    });
    std::vector<std::uint64_t> expectedTags;
    for (const std::size_t row : expectedOrder) expectedTags.push_back(table.tag(row));

    table.sortByLatitude();
    std::vector<std::uint64_t> tags;
    for (std::size_t i = 0; i < table.size(); ++i) tags.push_back(table.tag(i));
    ASSERT_EQ(tags, expectedTags) << "round " << round;
  }
}

// The sort deals rows into runs by a coarse place in the span of latitudes,
// splits crowded runs again, and orders rows that fall at the same place by
// their exact latitudes. Lists shaped to reach each of those, sorted both
// at once and a bucket at a time as a database's write does, are checked
// against a plain stable sort, and so are the same lists dealt without a
// count first, into blocks, as a list of millions is.
TEST(CameraTable, SortAgreesWithAStableSortOnCrowdedAndOddLatitudes) {
  std::mt19937_64 random(1114);
  const double odd[] = {NAN, INFINITY, -INFINITY, 0.0, -0.0, 1e300, -1e300, 4.9e-324, 90.0, -90.0, 1000.5};
  const struct {
    const char* name;
    std::function<double()> latitude;
  } lists[] = {
      {"world", [&] { return -90.0 + static_cast<double>(random() % 1800001) / 10000.0; }},
      // Most rows in one run, which is split in place down to its last bits.
      {"one city", [&] { return random() % 10 ? 48.137 + static_cast<double>(random() % 1000) * 1e-12 : 10.0; }},
      // Latitudes closer than a run's fractions tell apart.
      {"hairs apart",
       [&] {
         if (random() % 10 == 0) return random() % 2 ? 0.0 : 80.0;
         double latitude = 52.5;
         for (auto ulps = random() % 4; ulps > 0; --ulps) latitude = std::nextafter(latitude, 90.0);
         return latitude;
       }},
      {"odd values", [&] { return random() % 4 ? odd[random() % std::size(odd)] : static_cast<double>(random() % 90); }},
      {"one latitude", [&] { return 7.0; }},
  };
  for (const auto& list : lists) {
    CameraTable table;
    const std::size_t count = 150000;
    for (std::size_t i = 0; i < count; ++i) table.appendRow({list.latitude(), 0, 1, 0, 0, 0}, i + 1);
    std::vector<std::uint64_t> expected(count);
    for (std::size_t i = 0; i < count; ++i) expected[i] = i;
    std::stable_sort(expected.begin(), expected.end(), [&](std::uint64_t a, std::uint64_t b) {
      const double x = table.row(static_cast<std::size_t>(a)).latitude, y = table.row(static_cast<std::size_t>(b)).latitude;
      return std::isnan(x) || std::isnan(y) ? !std::isnan(x) && std::isnan(y) : x < y;
    });
    for (std::uint64_t& row : expected) row += 1;  // as tags
    auto tags = [&] {
      std::vector<std::uint64_t> seen(count);
      for (std::size_t i = 0; i < count; ++i) seen[i] = table.tag(i);
      return seen;
    };
    // The runs one at a time, last first, as two threads may take them.
    LatitudeRuns runs = dealLatitudeRuns(&table.row(0), count, -90, 90);
    for (std::size_t run = runs.starts.size() - 1; run-- > 0;) {
      sortLatitudeRuns(&table.row(0), runs.order, runs.fractions, runs.starts, run, run + 1);
    }
    auto asTags = [](const RowPositions& order) {
      std::vector<std::uint64_t> seen(order.begin(), order.end());
      for (std::uint64_t& row : seen) row += 1;
      return seen;
    };
    EXPECT_EQ(asTags(runs.order), expected) << list.name << ", a run at a time";
    // Dealt into blocks, as a list of millions is, at this size too.
    EXPECT_EQ(asTags(latitudeOrder(&table.row(0), count, -90, 90, 0)), expected) << list.name << ", dealt into blocks";
    table.sortByLatitude();
    EXPECT_EQ(tags(), expected) << list.name;
  }
}

// Dealt into blocks, a run's rows cross from block to block and from the
// first half of the rows to the second: small lists of each size around a
// block's edge, with repeated latitudes, latitudes a hair apart and NaN,
// against a stable sort.
TEST(CameraTable, SortDealtIntoBlocksAgreesWithAStableSortAtEverySize) {
  std::mt19937_64 random(36);
  for (const std::size_t count : {2u, 3u, 63u, 64u, 65u, 128u, 129u, 1000u, 5001u}) {
    std::vector<CameraRow> rows(count);
    for (CameraRow& row : rows) {
      // Quarter degrees, some a few ulps above: rows that share a fraction
      // and still must be read to be put in order.
      double latitude = random() % 17 ? static_cast<double>(random() % 200) / 4.0 - 20.0 : NAN;
      for (auto ulps = random() % 3; ulps > 0; --ulps) latitude = std::nextafter(latitude, 90.0);
      row = {latitude, 0, 1, 0, 0, 0};
    }
    std::vector<std::uint32_t> expected(count);
    for (std::size_t i = 0; i < count; ++i) expected[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
      const double x = rows[a].latitude, y = rows[b].latitude;
      return std::isnan(x) || std::isnan(y) ? !std::isnan(x) && std::isnan(y) : x < y;
    });
    const RowPositions order = latitudeOrder(rows.data(), count, -20, 30, 0);
    EXPECT_EQ(std::vector<std::uint32_t>(order.begin(), order.end()), expected) << count << " rows";
  }
}

}  // namespace
}  // namespace tabrino
