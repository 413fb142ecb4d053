#include "core/database/db_inspect.h"

#include "core/convert/conversion_run.h"
#include "core/base/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace tabrino {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr DbDate kDate{2014, 11, 14};

// Three records, 80 bytes used, 48 bytes of fill: a 128-byte file.
Bytes soundImage() {
  return encodeDatabase(kDate, drawRandomBlock(3),
                        {{-125000, 302500, 2, 90, 0, 90}, {557500, 375000, 1, 60, 1, 135}, {557501, 305000, 5, 40, 2, 45}});
}

void putLe32(Bytes& image, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint8_t checksumOf(const Bytes& image, std::size_t records) {
  std::uint8_t checksum = kChecksumSeed;
  for (std::size_t i = 16; i < 32 + 12 * records; ++i) checksum ^= image[i];
  return checksum;
}

// Makes the stored checksum right again after a change, so that a case shows
// only the fault it is about.
void fixChecksum(Bytes& image) { image[15] = checksumOf(image, 3); }

std::string checksumProblem(std::uint8_t stored, std::uint8_t computed) {
  char text[64];
  std::snprintf(text, sizeof text, "15: checksum: stored 0x%02X, computed 0x%02X\n", unsigned{stored},
                unsigned{computed});
  return text;
}

DatabaseInspection inspect(const Bytes& image) {
  MemorySource source(image);
  return inspectDatabase(source);
}

std::string describe(const DatabaseInspection& report) {
  std::string text;
  for (const auto& problem : report.problems) text += std::to_string(problem.offset) + ": " + problem.text + "\n";
  return text;
}

TEST(DbInspect, ASoundFileShowsItsFieldsAndNoProblem) {
  const Bytes image = soundImage();
  const DatabaseInspection report = inspect(image);
  EXPECT_TRUE(report.sound()) << describe(report);
  EXPECT_EQ(report.fileSize, 128u);
  EXPECT_TRUE(report.headerComplete);
  EXPECT_EQ(report.date, kDate);
  EXPECT_EQ(report.fileName, "DB_141114.dbh");
  EXPECT_EQ(report.recordCount, 3u);
  EXPECT_EQ(report.storedBodySize, 64u);
  EXPECT_EQ(report.storedChecksum, image[15]);
  EXPECT_EQ(report.computedChecksum, image[15]);

  const DatabaseInspection empty = inspect(encodeDatabase(kDate, RandomBlock{}, {}));
  EXPECT_TRUE(empty.sound()) << describe(empty);
  EXPECT_EQ(empty.recordCount, 0u);
}

TEST(DbInspect, FindsEachFaultAtItsOffset) {
  const Bytes sound = soundImage();
  const struct {
    const char* name;
    std::function<void(Bytes&)> change;
    std::string problems;  // "offset: text" lines, all of them
  } cases[] = {
      {"magic", [](Bytes& b) { b[1] = 'U'; }, "0: magic is 72 55 64 62, not 72 75 64 62 (\"rudb\")\n"},
      {"date", [](Bytes& b) { b[4] = 29, b[5] = 2; }, "4: date 2014-02-29 is not a calendar date\n"},
      {"month 0", [](Bytes& b) { b[5] = 0; }, "4: date 2014-00-14 is not a calendar date\n"},
      {"fixed bytes", [](Bytes& b) { b[10] = 0; }, "8: bytes 8 to 10 are 72 31 00, not 72 31 72 (\"r1r\")\n"},
      {"checksum", [](Bytes& b) { b[15] ^= 1; }, checksumProblem(sound[15] ^ 1, sound[15])},
      {"body size not a record count", [](Bytes& b) { putLe32(b, 11, 65); },
       "11: body size is 65, not 28 + 12 × records; the 3 records found make it 64\n"},
      {"body size past the end", [](Bytes& b) { putLe32(b, 11, 28 + 12 * 100); },
       "11: body size is 1228, which runs past the end of the file; the 3 records found make it 64\n"},
      {"latitude", [](Bytes& b) { putLe32(b, 56, 900001); fixChecksum(b); },
       "56: record 3: latitude 90.0001 is outside -90 to 90\n"},
      {"longitude", [](Bytes& b) { putLe32(b, 36, static_cast<std::uint32_t>(-1800001)); fixChecksum(b); },
       "36: record 1: longitude -180.0001 is outside -180 to 180\n"},
      {"order", [](Bytes& b) { putLe32(b, 56, 557499); fixChecksum(b); },
       "56: record 3: latitude 55.7499 is below the previous record's 55.75\n"},
      {"end marker", [](Bytes& b) { b[70] = 0, b[79] = 0xFE; }, "70: end marker: 2 of its 12 bytes are not 0xFF\n"},
      {"fill", [](Bytes& b) { b[100] = 0, b[127] = 0x7F; }, "100: fill: 2 bytes after the end marker are not 0xFF\n"},
      {"longer than needed", [](Bytes& b) { b.insert(b.end(), 64, 0xFF); },
       "128: the file is 192 bytes long; 3 records make a file of 128 bytes\n"},
      {"not a multiple of 64", [](Bytes& b) { b.push_back(0xFF); },
       "128: the file is 129 bytes long, not a multiple of 64; 3 records make a file of 128 bytes\n"},
      {"cut inside the records: two whole records remain", [](Bytes& b) { b.resize(64); },
       "11: body size is 64, which runs past the end of the file; the 2 records found make it 52\n" +
           checksumProblem(sound[15], checksumOf(sound, 2)) +
           "56: end marker: 8 of its 12 bytes are not 0xFF\n"
           "64: the file is 64 bytes long; 2 records make a file of 128 bytes\n"
           "64: the file ends before the end of the end marker (offset 56 to 68)\n"},
      {"empty", [](Bytes& b) { b.clear(); }, "0: the file is empty\n"},
      {"cut inside the header", [](Bytes& b) { b.resize(10); },
       "10: the file ends after 10 bytes, inside the 16-byte header\n"},
  };
  for (const auto& c : cases) {
    Bytes image = soundImage();
    c.change(image);
    const DatabaseInspection report = inspect(image);
    EXPECT_FALSE(report.sound()) << c.name;
    EXPECT_EQ(describe(report), c.problems) << c.name;
  }
}

TEST(DbInspect, ListsABoundedNumberOfRecordProblems) {
  const std::vector<CameraRecord> records(3000, CameraRecord{1000000, 0, 0, 0, 0, 0});
  const DatabaseInspection report = inspect(encodeDatabase(kDate, RandomBlock{}, records));
  EXPECT_EQ(report.recordCount, 3000u);
  EXPECT_EQ(report.problems.size(), kMaxListedRecordProblems);
  EXPECT_EQ(report.unlistedProblems, 2000u);
  EXPECT_EQ(report.problemCount(), 3000u);
  EXPECT_FALSE(report.sound());
}

// A count of problems past 2 to the 32 (a file of tens of gigabytes) is
// whole on a 32-bit system too.
TEST(DbInspect, CountsProblemsBeyondWhatA32BitSizeHolds) {
  DatabaseInspection report;
  report.problems.push_back({0, "a problem"});
  report.unlistedProblems = std::uint64_t{1} << 32;
  EXPECT_EQ(report.problemCount(), (std::uint64_t{1} << 32) + 1);
}

// Whatever the bytes, inspection ends, keeps to the file, and calls a file
// sound only when it is exactly what the encoder makes of its records.
TEST(DbInspect, AnyBytesAtAllGiveATruthfulReport) {
  std::mt19937 random(20141114);
  for (int seed = 0; seed < 6000; ++seed) {
    Bytes image;
    if (seed % 3 == 0) {  // random bytes
      image.resize(random() % 300);
      for (auto& byte : image) byte = static_cast<std::uint8_t>(random() % 4 ? random() : 0xFF);
    } else {  // a sound file with a few changes
      image = encodeDatabase(kDate, drawRandomBlock(static_cast<std::uint32_t>(seed)), test::randomSortedRecords(random, random() % 12));
      for (int changes = static_cast<int>(1 + random() % 3); changes > 0; --changes) {
        switch (random() % 5) {
          case 0: if (!image.empty()) image[random() % image.size()] ^= static_cast<std::uint8_t>(1 + random() % 255); break;
          case 1: image.resize(random() % (image.size() + 1)); break;
          case 2: image.insert(image.end(), random() % 80, static_cast<std::uint8_t>(random() % 2 ? 0xFF : random())); break;
          case 3: if (image.size() >= 16) putLe32(image, 11, static_cast<std::uint32_t>(random())); break;
          default: if (image.size() >= 16) putLe32(image, 11, static_cast<std::uint32_t>(28 + 12 * (random() % 20))); break;
        }
      }
    }
    const DatabaseInspection report = inspect(image);
    ASSERT_TRUE(std::is_sorted(report.problems.begin(), report.problems.end(),
                               [](const auto& a, const auto& b) { return a.offset < b.offset; }))
        << seed;
    for (const auto& problem : report.problems) ASSERT_LE(problem.offset, image.size()) << seed;
    ASSERT_LE(32 + 12 * report.recordCount, std::max<std::size_t>(image.size(), 32)) << seed;
    if (report.sound()) {
      std::vector<CameraRecord> records;
      for (std::size_t i = 0; i < report.recordCount; ++i) records.push_back(decodeRecord(image.data() + 32 + 12 * i));
      RandomBlock block{};
      std::copy(image.begin() + 16, image.begin() + 32, block.begin());
      ASSERT_EQ(encodeDatabase(report.date, block, records), image) << seed;
    }
  }
}

TEST(DbInspect, ReadsFilesInBlocksAndSaysWhenOneCannotBeOpened) {
  test::TempDir dir;
  std::mt19937 random(7);
  // Over a megabyte, so that the records span several blocks.
  const Bytes image = encodeDatabase(kDate, drawRandomBlock(1), test::randomSortedRecords(random, 100000));
  {
    std::ofstream out(dir / "DB_141114.dbh", std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  FileSource file(dir / "DB_141114.dbh");
  std::uint64_t lastDone = 0;
  const DatabaseInspection report = inspectDatabase(file, [&](std::uint64_t done, std::uint64_t total) {
    EXPECT_GE(done, lastDone);
    EXPECT_EQ(total, image.size());
    lastDone = done;
  });
  EXPECT_TRUE(report.sound()) << describe(report);
  EXPECT_EQ(report.recordCount, 100000u);
  EXPECT_EQ(lastDone, image.size());

  EXPECT_THROW(FileSource(dir / "missing.dbh"), FileOpenError);
  EXPECT_THROW(FileSource(dir.path()), FileOpenError);
}

}  // namespace
}  // namespace tabrino
