#include "core/database/camera_db_format.h"
#include "tests/database_oracle.h"
#include "core/convert/conversion_run.h"

#include <gtest/gtest.h>

#include <vector>

namespace tabrino {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr DbDate kNovember14th2014{2014, 11, 14};
constexpr RandomBlock kZeroBlock{};

CameraRecord recordOf(const char* x, const char* y, const char* type = "1", const char* speed = "60",
                      const char* dirType = "1", const char* direction = "90") {
  const auto record = recordFromCells({x, y, type, speed, dirType, direction});
  EXPECT_TRUE(record.has_value()) << x << "," << y;
  return record.value_or(CameraRecord{});
}

TEST(CameraDbFormat, WorkedExampleIsExactToTheByte) {
  const Bytes image = encodeDatabase(kNovember14th2014, kZeroBlock, {recordOf("37.5", "55.75")});

  Bytes expected = {0x72, 0x75, 0x64, 0x62, 0x0E, 0x0B, 0xDE, 0x07, 0x72, 0x31, 0x72, 0x28, 0x00, 0x00, 0x00, 0xA1};
  expected.insert(expected.end(), 16, 0x00);
  expected.insert(expected.end(), {0xBC, 0x81, 0x08, 0x00, 0xD8, 0xB8, 0x05, 0x00, 0x01, 0x3C, 0x01, 0x87});
  expected.insert(expected.end(), 12 + 8, 0xFF);
  EXPECT_EQ(image, expected);
  EXPECT_EQ(databaseFileName(kNovember14th2014), "DB_141114.dbh");
}

TEST(CameraDbFormat, SizesAndFillFollowTheRecordCount) {
  RandomBlock block{};
  block[0] = 0x0F;
  block[15] = 0xF0;
  const struct {
    std::size_t records;
    std::size_t fileSize;
    std::uint32_t bodySize;
  } cases[] = {{0, 64, 28}, {1, 64, 40}, {2, 128, 52}, {3, 128, 64}, {5, 128, 88}, {6, 128, 100},
               {7, 128, 112}, {8, 192, 124}};  // 7 records need no fill
  for (const auto& c : cases) {
    const Bytes image = encodeDatabase(kNovember14th2014, block,
                                       std::vector<CameraRecord>(c.records, recordOf("1", "2")));
    ASSERT_EQ(image.size(), c.fileSize) << c.records << " records";
    const std::uint32_t bodySize = image[11] | image[12] << 8 | image[13] << 16 | image[14] << 24;
    EXPECT_EQ(bodySize, c.bodySize);
    const std::size_t endMarker = 32 + 12 * c.records;
    for (std::size_t i = endMarker; i < image.size(); ++i) ASSERT_EQ(image[i], 0xFF) << "offset " << i;
    EXPECT_EQ(image.size() - endMarker - 12, fillLength(bodySize));
  }
  // No records: the checksum is the seed XOR the random block alone.
  EXPECT_EQ(encodeDatabase(kNovember14th2014, block, {})[15], 0x4A ^ 0x0F ^ 0xF0);
}

TEST(CameraDbFormat, DirectionCodes) {
  const std::pair<std::int32_t, std::uint8_t> cases[] = {
      {0, 90}, {1, 90}, {90, 135}, {180, 180}, {181, 0}, {270, 45}, {359, 89}, {360, 90}, {-10, 85},
      {-200, 246}, {2147483647, static_cast<std::uint8_t>((2147483647 - 180) / 2)},
      {-2147483647 - 1, static_cast<std::uint8_t>((-2147483647 - 1 + 180) / 2)}};
  for (const auto& [degrees, code] : cases) EXPECT_EQ(directionCode(degrees), code) << degrees;
}

TEST(CameraDbFormat, ByteFieldsKeepTheLowEightBits) {
  EXPECT_EQ(recordOf("0", "0", "300").type, 44);
  EXPECT_EQ(recordOf("0", "0", "-1").type, 0xFF);
  EXPECT_EQ(recordOf("0", "0", "1", "5").speed, 0);
  EXPECT_EQ(recordOf("0", "0", "1", "10").speed, 10);
  EXPECT_EQ(recordOf("0", "0", "1", "260").speed, 0);   // low byte 4
  EXPECT_EQ(recordOf("0", "0", "1", "266").speed, 10);  // low byte 10
  EXPECT_EQ(recordOf("0", "0", "1", "60", "258").directionType, 2);
}

TEST(CameraDbFormat, CoordinatesAreTruncatedAndBoundsAreInclusive) {
  const struct {
    const char* x;
    const char* y;
    bool accepted;
    std::int32_t longitude;
    std::int32_t latitude;
  } cases[] = {
      {"180", "-90", true, 1800000, -900000},
      {"-180", "90", true, -1800000, 900000},
      {"180.0001", "0", false, 0, 0},
      {"0", "90.0001", false, 0, 0},
      {"180.00009", "0", true, 1800000, 0},  // truncation keeps it on the bound
      {"0", "0.0003", true, 0, 2},           // 2.9999999999999996 truncates to 2
      {"0", "55.7499", true, 0, 557499},     // rounded to a double first: not 557498.99...
      {"0", "-0.00005", true, 0, 0},
      {"1e20", "0", false, 0, 0},
      {"0", "-1e20", false, 0, 0},
      {"nan", "0", false, 0, 0},
      {"0", "inf", false, 0, 0},
      {"abc", "", true, 0, 0},               // no number reads as 0
  };
  for (const auto& c : cases) {
    const auto record = recordFromCells({c.x, c.y, "1", "60", "1", "90"});
    ASSERT_EQ(record.has_value(), c.accepted) << c.x << "," << c.y;
    if (record) {
      EXPECT_EQ(record->longitude, c.longitude) << c.x;
      EXPECT_EQ(record->latitude, c.latitude) << c.y;
    }
  }
  EXPECT_EQ(scaleCoordinate(214748.3647), 2147483647);
  EXPECT_EQ(scaleCoordinate(214748.3648), kUnrepresentable);
  EXPECT_EQ(scaleCoordinate(-214748.3648), -2147483647 - 1);
  EXPECT_EQ(scaleCoordinate(-214748.3649), kUnrepresentable);
}

TEST(CameraDbFormat, RecordsDecodeToWhatWasEncoded) {
  const CameraRecord record{-123456789, 987654321, 0xAB, 0xCD, 0xEF, 0x12};
  EXPECT_EQ(decodeRecord(encodeRecord(record).data()), record);
}

TEST(CameraDbFormat, FileNameYearDigitsComeFromTheYearsLowByte) {
  EXPECT_EQ(databaseFileName({2026, 12, 10}), "DB_261210.dbh");
  EXPECT_EQ(databaseFileName({2000, 1, 1}), "DB_000101.dbh");
  EXPECT_EQ(databaseFileName({2100, 7, 4}), "DB_1000704.dbh");
  EXPECT_EQ(databaseFileName({1999, 12, 31}), "DB_2551231.dbh");
}

TEST(RandomBlock, IsTheClassicCLibrarySequence) {
  // The first draws after srand(1): 41, 18467, 6334, 26500, 19169, ...
  const RandomBlock block = drawRandomBlock(1);
  const std::uint8_t expected[] = {41 & 0xFF, 18467 & 0xFF, 6334 & 0xFF, 26500 & 0xFF, 19169 & 0xFF,
                                   15724 & 0xFF, 11478 & 0xFF, 29358 & 0xFF, 26962 & 0xFF, 24464 & 0xFF};
  for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(block[i], expected[i]) << i;
  EXPECT_EQ(drawRandomBlock(12345), drawRandomBlock(12345));
  EXPECT_NE(drawRandomBlock(1), drawRandomBlock(2));
}

TEST(UtcDate, ConvertsSecondsToTheCalendarDate) {
  EXPECT_EQ(utcDate(0), (DbDate{1970, 1, 1}));
  EXPECT_EQ(utcDate(1415923200), (DbDate{2014, 11, 14}));
  EXPECT_EQ(utcDate(1415923200 + 86399), (DbDate{2014, 11, 14}));
  EXPECT_EQ(utcDate(951782400), (DbDate{2000, 2, 29}));
  EXPECT_EQ(utcDate(4102444800), (DbDate{2100, 1, 1}));
  EXPECT_EQ(utcDate(-1), (DbDate{1969, 12, 31}));
}

}  // namespace
}  // namespace tabrino
