// A dump converts back to the very records it came from.
#include "core/export/geo_export.h"
#include "core/list/list_text.h"
#include "core/model/coordinate_text.h"

#include "core/base/c_numbers.h"
#include "core/convert/conversion_run.h"
#include "core/database/db_inspect.h"
#include "core/platform/file_io.h"
#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr DbDate kDate{2019, 11, 5};

std::size_t decimalsOf(const std::string& text) {
  const std::size_t point = text.find('.');
  return point == std::string::npos ? 0 : text.size() - point - 1;
}

// Whether any text with `decimals` decimals near the value scales to it:
// checked by brute force over the few neighbours that could.
bool anyTextWithDecimalsFits(std::int32_t scaled, std::size_t decimals) {
  const double unit = std::pow(10.0, 4.0 - static_cast<double>(decimals));
  const auto nearest = static_cast<long long>(std::floor(static_cast<double>(scaled) / unit));
  for (long long m = nearest - 2; m <= nearest + 2; ++m) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", static_cast<int>(decimals),
                  static_cast<double>(m) / std::pow(10.0, static_cast<double>(decimals)));
    if (scaleCoordinate(atofC(text)) == scaled) return true;
  }
  return false;
}

TEST(DbDump, CoordinatesAreTheShortestTextThatScalesBack) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "0"},           {1, "0.0001"},      {-1, "-0.0001"},      {3, "0.00031"},  // 0.0003 scales to 2
      {-3, "-0.00031"},   {557500, "55.75"},  {1800000, "180"},     {-900000, "-90"},
      {INT_MAX, "214748.3647"}, {INT_MIN, "-214748.3648"},
  };
  for (const auto& [scaled, text] : cases) EXPECT_EQ(coordinateText(scaled), text) << scaled;

  std::mt19937 random(1);
  std::vector<std::int32_t> values;
  for (std::int32_t v = -3000; v <= 3000; ++v) values.push_back(v);
  for (int i = 0; i < 20000; ++i) values.push_back(static_cast<std::int32_t>(random()));
  for (const std::int32_t v : values) {
    const std::string text = coordinateText(v);
    ASSERT_EQ(scaleCoordinate(atofC(text)), v) << text;
    const std::size_t decimals = decimalsOf(text);
    ASSERT_LE(decimals, 5u) << text;
    for (std::size_t fewer = 0; fewer < decimals; ++fewer) {
      ASSERT_FALSE(anyTextWithDecimalsFits(v, fewer)) << v << " has a text with " << fewer << " decimals";
    }
  }
}

TEST(DbDump, EveryDirectionCodeHasDegreesThatEncodeToIt) {
  for (int code = 0; code < 256; ++code) {
    const std::int32_t degrees = directionDegrees(static_cast<std::uint8_t>(code));
    EXPECT_EQ(directionCode(degrees), code) << degrees;
    bool someDegreeInACircle = false;
    for (std::int32_t d = 0; d < 360; ++d) someDegreeInACircle |= directionCode(d) == code;
    EXPECT_EQ(degrees >= 0 && degrees < 360, someDegreeInACircle) << code << " gave " << degrees;
  }
  EXPECT_EQ(directionDegrees(directionCode(90)), 90);
  EXPECT_EQ(directionDegrees(directionCode(270)), 270);
}

TEST(DbDump, WritesAListInTheInputLayout) {
  EXPECT_EQ(listHeaderLine(), "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n");
  EXPECT_EQ(listLine(7, {557500, 375000, 1, 60, 1, 135}), "7,37.5,55.75,1,60,1,90\n");
  EXPECT_EQ(listLine(1, {-3, -1800000, 255, 5, 0, 255}), "1,-180,-0.00031,255,5,0,690\n");
}

// Dumps a database file, converts the dump with the same date and random
// block, and gives the file that conversion wrote.
Bytes convertDumpOf(ByteSource& database, const fs::path& folder) {
  const DatabaseInspection inspection = inspectDatabase(database);
  const fs::path list = folder / "dump.txt";
  {
    AtomicFileWriter out(list);
    exportRecords(database, inspection.recordCount, ExportFormat::List, "dump",
                  [&](const std::string& text) { out.write(text); });
    out.commit();
  }
  CameraTable table;
  EXPECT_TRUE(importCameraList(list, table).loaded());
  RandomBlock block{};
  database.read(16, block.data(), block.size());
  return test::readBytes(runConversion(table, {folder, inspection.date, block}).outputPath);
}

TEST(DbDump, GeneratedDatabasesSurviveADumpAndAConversion) {
  std::mt19937 random(5);
  std::vector<std::vector<CameraRecord>> recordSets;
  recordSets.push_back({});
  std::vector<CameraRecord> everyByte;  // every value of each byte field
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    everyByte.push_back({b - 128, -b, byte, static_cast<std::uint8_t>(b >= 1 && b <= 9 ? 0 : b), byte, byte});
  }
  recordSets.push_back(everyByte);
  for (int i = 0; i < 200; ++i) recordSets.push_back(test::randomSortedRecords(random, random() % 50));

  for (const auto& records : recordSets) {
    test::TempDir dir;
    const Bytes image = encodeDatabase(kDate, drawRandomBlock(static_cast<std::uint32_t>(random())), records);  // 32 bits drawn
    MemorySource source(image);
    ASSERT_EQ(convertDumpOf(source, dir.path()), image) << records.size() << " records";
  }
}

TEST(DbDump, RealListsSurviveADumpAndAConversion) {
  for (const fs::path& listPath : test::realLists()) {
    test::TempDir dir;
    CameraTable table;
    ASSERT_TRUE(importCameraList(listPath, table).loaded());
    const fs::path converted = runConversion(table, {dir.path(), kDate, drawRandomBlock(9)}).outputPath;
    FileSource database(converted);
    test::TempDir again;
    EXPECT_EQ(convertDumpOf(database, again.path()), test::readBytes(converted)) << listPath;
  }
}

}  // namespace
}  // namespace tabrino
