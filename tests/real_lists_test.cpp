// Published lists and our own sample, converted end to end and checked against
// what any sound database must satisfy.
#include "core/database/camera_db_format.h"
#include "core/convert/conversion_run.h"
#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;

std::size_t countLinesWithAComma(const std::string& text) {
  std::size_t lines = 0;
  bool comma = false;
  for (char c : text) {
    if (c == ',') comma = true;
    if (c == '\n') {
      lines += comma;
      comma = false;
    }
  }
  return lines + comma;
}

void checkDatabase(const fs::path& list) {
  SCOPED_TRACE(list.string());
  CameraTable table;
  const ImportResult imported = importCameraList(list, table);
  ASSERT_TRUE(imported.loaded()) << imported.messageText();
  EXPECT_EQ(imported.loadedCount, countLinesWithAComma(test::readText(list)) - 1);

  test::TempDir dir;
  const RandomBlock block = drawRandomBlock(7);
  const ConversionSummary summary = runConversion(table, {dir.path(), DbDate{2019, 11, 5}, block});
  EXPECT_EQ(summary.recordsWritten + summary.rowsSkipped, imported.loadedCount);
  EXPECT_GT(summary.recordsWritten, 0u);

  const std::vector<std::uint8_t> image = test::readBytes(dir / "DB_191105.dbh");
  const std::size_t records = summary.recordsWritten;
  const std::size_t used = 44 + 12 * records;
  ASSERT_EQ(image.size(), (used + 63) / 64 * 64);
  EXPECT_TRUE(std::equal(kMagic.begin(), kMagic.end(), image.begin()));
  EXPECT_EQ(image[4], 5);
  EXPECT_EQ(image[5], 11);
  EXPECT_EQ(image[6] | image[7] << 8, 2019);
  const std::uint32_t bodySize = image[11] | image[12] << 8 | image[13] << 16 | image[14] << 24;
  EXPECT_EQ(bodySize, 28 + 12 * records);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), image.begin() + 16));

  std::uint8_t checksum = kChecksumSeed;
  for (std::size_t i = 16; i < 32 + 12 * records; ++i) checksum ^= image[i];
  EXPECT_EQ(image[15], checksum);

  std::int32_t previousLatitude = -kMaxLatitude;
  for (std::size_t i = 0; i < records; ++i) {
    const CameraRecord record = decodeRecord(image.data() + 32 + 12 * i);
    ASSERT_TRUE(inBounds(record.latitude, record.longitude)) << "record " << i;
    ASSERT_GE(record.latitude, previousLatitude) << "record " << i;
    previousLatitude = record.latitude;
  }
  EXPECT_TRUE(std::all_of(image.begin() + static_cast<std::ptrdiff_t>(32 + 12 * records), image.end(),
                          [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(RealLists, ConvertIntoSoundDatabases) {
  const auto lists = test::realLists();
  if (lists.empty()) GTEST_SKIP() << test::missingRealListsReason();
  for (const fs::path& list : lists) checkDatabase(list);
}

TEST(RealLists, TheBundledSampleConvertsIntoASoundDatabase) {
  checkDatabase(test::examplesDir() / "sample-cameras.txt");
}

TEST(RealLists, MoscowListKeepsItsLastLineWithoutLineFeedOut) {
  // The list ends with a line holding one space and no line feed: no row.
  const fs::path list = test::realListsDir() / "moscow-region-1055.txt";
  if (!fs::exists(list)) GTEST_SKIP() << test::missingRealListsReason();
  CameraTable table;
  ASSERT_TRUE(importCameraList(list, table).loaded());
  EXPECT_EQ(table.size(), 1055u);
  EXPECT_EQ(table.tag(1054), 1055u);
}

}  // namespace
}  // namespace tabrino
