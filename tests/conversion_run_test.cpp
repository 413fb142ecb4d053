#include "core/convert/conversion_run.h"

#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// The conversion sorts each block of rows just before it writes them: the
// file and the table's order must be those of sorting first, across many
// blocks cutting through runs of rows of close latitudes, with a latitude
// held by thousands of rows (which a block may end in), latitudes that are
// not numbers and rows out of range.
TEST(ConversionRun, SortingAsItWritesIsSortingFirst) {
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  std::uint32_t state = 7;
  auto next = [&state] { return state = state * 1103515245u + 12345u, state >> 8; };
  for (int i = 0; i < 120000; ++i) {
    const std::string x = std::to_string(static_cast<int>(next() % 3600) - 1800) + "." + std::to_string(next() % 1000);
    std::string y = std::to_string(static_cast<int>(next() % 1800) - 900) + "." + std::to_string(next() % 100000);
    if (i % 2 == 0) {  // runs of a hundred rows or so of seven latitudes close together
      char close[16];
      std::snprintf(close, sizeof close, "%d.%02d0%d", 10 + i % 500 / 100, i % 100, i % 7);
      y = close;
    }
    if (i % 20 == 3) y = "48.5";        // one latitude, thousands of rows
    if (i % 997 == 5) y = "nan";        // sorts last
    if (i % 1009 == 6) y = "95.25";     // out of range
    list += std::to_string(i) + "," + x + "," + y + "," + std::to_string(next() % 8) + ",60,1,90\n";
  }
  test::TempDir sortedFirst, sortedAsWritten;
  CameraTable expected = tableFrom(list), table = tableFrom(list);
  expected.sortByLatitude();
  writeCameraDatabase(expected, {sortedFirst.path(), kDate, drawRandomBlock(3)});
  runConversion(table, {sortedAsWritten.path(), kDate, drawRandomBlock(3)});
  EXPECT_EQ(test::readBytes(sortedAsWritten / "DB_141114.dbh"), test::readBytes(sortedFirst / "DB_141114.dbh"));
  ASSERT_EQ(table.size(), expected.size());
  for (std::size_t position = 0; position < table.size(); ++position) {
    ASSERT_EQ(table.fileIndex(position), expected.fileIndex(position)) << position;
  }

  // A conversion that fails leaves the table in file order, not half sorted.
  CameraTable failed = tableFrom(list);
  EXPECT_THROW(runConversion(failed, {sortedFirst / "no such folder", kDate, RandomBlock{}}), FileOpenError);
  EXPECT_FALSE(failed.sortedByLatitude());
  EXPECT_EQ(failed.fileIndex(failed.size() - 1), failed.size() - 1);
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
