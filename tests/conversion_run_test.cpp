#include "core/convert/conversion_run.h"

#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr DbDate kDate{2014, 11, 14};

CameraTable tableFrom(const std::string& list) {
  CameraTable table;
  importCameraListText(list, table);
  return table;
}

const std::string kList =
    "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n"
    "1,37.5,55.75,1,60,1,90\r\n"
    "2,200,10,1,60,1,90\r\n"       // longitude out of range
    "3,30.25,-12.5,2,90,0,0\r\n"
    "4,30.5,55.75,5,40,2,270\r\n"  // same latitude as row 1: stays after it
    "5,1,-91,1,60,1,90\r\n";       // latitude out of range

TEST(ConversionRun, WritesSortedAcceptedRowsAndReportsProgress) {
  test::TempDir dir;
  CameraTable table = tableFrom(kList);
  const RandomBlock block = drawRandomBlock(42);
  std::vector<std::uint64_t> progress;
  const ConversionSummary summary = runConversion(table, {dir.path(), kDate, block}, [&](std::uint64_t done, std::uint64_t total) {
    progress.push_back(done);
    EXPECT_EQ(total, 3u);
  });

  EXPECT_EQ(summary.outputPath, dir / "DB_141114.dbh");
  EXPECT_EQ(summary.recordsWritten, 3u);
  EXPECT_EQ(summary.rowsSkipped, 2u);
  EXPECT_EQ(progress.back(), 3u);
  const Bytes expected = encodeDatabase(kDate, block,
                                        {{-125000, 302500, 2, 90, 0, 90},
                                         {557500, 375000, 1, 60, 1, 135},
                                         {557500, 305000, 5, 40, 2, 45}});
  EXPECT_EQ(test::readBytes(summary.outputPath), expected);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"DB_141114.dbh"}));
}

TEST(ConversionRun, RowsAllOutOfRangeGiveAnEmptyDatabase) {
  test::TempDir dir;
  CameraTable table = tableFrom("IDX,X,Y\n1,181,0\n2,0,-90.5\n");
  const ConversionSummary summary = runConversion(table, {dir.path(), kDate, RandomBlock{}});
  EXPECT_EQ(summary.recordsWritten, 0u);
  EXPECT_EQ(summary.rowsSkipped, 2u);
  const Bytes image = test::readBytes(summary.outputPath);
  ASSERT_EQ(image.size(), 64u);
  EXPECT_EQ(image[11], 28);
  EXPECT_EQ(image[15], 0x4A);
}

TEST(ConversionRun, AListWithoutItsHeaderConvertsTheFirstLineToo) {
  test::TempDir dir;
  CameraTable table;
  ASSERT_EQ(importCameraListText("idx,x,y,type,speed,dirtype,direction\n1,10,20,1,60,1,90\n", table).outcome,
            ImportOutcome::WrongHeader);
  const ConversionSummary summary = runConversion(table, {dir.path(), kDate, RandomBlock{}});
  EXPECT_EQ(summary.recordsWritten, 2u);  // the header line is a camera at 0,0
  EXPECT_EQ(decodeRecord(test::readBytes(summary.outputPath).data() + 32), (CameraRecord{0, 0, 0, 0, 0, 90}));
}

TEST(ConversionRun, MoreRecordsThanTheHeaderCountsAreTooLargeNotAWriteError) {
  // The header sizes the body in 32 bits: 12-byte records, the random block
  // and the end marker.
  EXPECT_NO_THROW(checkDatabaseHolds(0));
  EXPECT_NO_THROW(checkDatabaseHolds(kMaxRecords));
  EXPECT_LE(kRandomBlockSize + kEndMarkerSize + kMaxRecords * kRecordSize, 0xFFFFFFFFu);
  EXPECT_GT(kRandomBlockSize + kEndMarkerSize + (kMaxRecords + 1) * kRecordSize, 0xFFFFFFFFu);
  for (const std::uint64_t records : {kMaxRecords + 1, std::uint64_t{1} << 40}) {
    try {
      checkDatabaseHolds(records);
      ADD_FAILURE() << records << " records were let through";
    } catch (const TooLargeError& error) {
      EXPECT_EQ(error.messageText(), "More cameras than one database file can hold: " + std::to_string(records) +
                                         ", at most " + std::to_string(kMaxRecords) + ".");
      EXPECT_EQ(error.systemReason(), "");
    }
  }
}

TEST(ConversionRun, ASecondRunOnTheSameDayReplacesTheFile) {
  test::TempDir dir;
  CameraTable table = tableFrom(kList);
  runConversion(table, {dir.path(), kDate, drawRandomBlock(1)});
  CameraTable smaller = tableFrom("IDX,X,Y\n1,1,1\n");
  const ConversionSummary summary = runConversion(smaller, {dir.path(), kDate, drawRandomBlock(2)});
  EXPECT_EQ(test::readBytes(summary.outputPath).size(), 64u);
  EXPECT_EQ(summary.recordsWritten, 1u);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"DB_141114.dbh"}));
}

TEST(ConversionRun, AFolderThatDoesNotExistNamesTheRealPath) {
  test::TempDir dir;
  CameraTable table = tableFrom(kList);
  const fs::path missing = dir / "no such folder";
  try {
    runConversion(table, {missing, kDate, RandomBlock{}});
    FAIL() << "expected a FileOpenError";
  } catch (const FileOpenError& error) {
    EXPECT_EQ(error.messageText(), "File open Error : " + displayPath(missing / "DB_141114.dbh"));
    EXPECT_FALSE(error.systemReason().empty());
  }
  EXPECT_TRUE(dir.entries().empty());
}

TEST(ConversionRun, AFailedRenameLeavesNothingBehind) {
  // The destination name is taken by a folder: the finished file cannot be
  // put in place, and its temporary copy must not stay.
  test::TempDir dir;
  fs::create_directory(dir / "DB_141114.dbh");
  test::writeText(dir / "DB_141114.dbh" / "keep", "x");
  CameraTable table = tableFrom(kList);
  EXPECT_THROW(runConversion(table, {dir.path(), kDate, RandomBlock{}}), FileOpenError);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"DB_141114.dbh"}));
  EXPECT_EQ(test::readText(dir / "DB_141114.dbh" / "keep"), "x");
}

TEST(ConversionRun, PathsMayHoldAnyCharactersAndAnyLength) {
  test::TempDir dir;
  fs::path folder = dir.path() / fs::u8path("Kamery \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xE2\x9C\x93");
  for (int depth = 0; depth < 6; ++depth) folder /= std::string(40, static_cast<char>('a' + depth));
  fs::create_directories(folder);
  CameraTable table = tableFrom(kList);
  const ConversionSummary summary = runConversion(table, {folder, kDate, RandomBlock{}});
  EXPECT_TRUE(fs::exists(folder / "DB_141114.dbh"));
  EXPECT_EQ(summary.outputPath, folder / "DB_141114.dbh");
}

}  // namespace
}  // namespace tabrino
