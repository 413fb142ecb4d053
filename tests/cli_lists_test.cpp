// Several lists made one database by tabrino convert, run as users run it.
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {
namespace {

using test::CliRun;
using test::contains;
using test::tabrino;

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
const std::string kA = kHeader +
                       "1,13.3366,52.5236,2,60,2,30\n"  // a.txt line 2
                       "2,13.4705,52.4914,5,60,0,0\n";  // a.txt line 3
const std::string kB = kHeader +
                       "1,13.3366,52.5236,2,50,2,30\n"  // line 2: a.txt line 2 at another speed
                       "2,13.4706,52.4915,5,60,0,0\n"   // line 3: 13 m from a.txt line 3
                       "broken line\n"                  // line 4
                       "3,9.1234,48.1234,1,80,1,90\n";  // line 5
const std::string kC = kHeader + "1,9.1234,48.1234,3,80,1,90\n";  // b.txt line 5, another type, same speed

// The rows of the lists, one after another, as one list.
std::string joined(const std::string& first, const std::string& second, const std::string& third) {
  return first + second.substr(kHeader.size()) + third.substr(kHeader.size());
}

class CliLists : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeText(dir / "a.txt", kA);
    test::writeText(dir / "b.txt", kB);
    test::writeText(dir / "c.txt", kC);
  }
  // The database of one list holding the rows given.
  std::vector<std::uint8_t> databaseOfOne(const std::string& rows, const std::string& options) {
    std::filesystem::create_directories(dir / "one");
    test::writeText(dir / "one" / "list.txt", rows);
    const CliRun run = tabrino(dir / "one", "convert list.txt -q --date 2014-11-14 --seed 1 " + options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return test::readBytes(dir / "one" / "DB_141114.dbh");
  }
  test::TempDir dir;
};

TEST_F(CliLists, MakeTheDatabaseOfOneListAndNameEachPlaceByItsList) {
  const CliRun run =
      tabrino(dir.path(), "convert a.txt b.txt c.txt --near 20 --drop-duplicates --report r.csv --date 2014-11-14 --seed 1");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), databaseOfOne(joined(kA, kB, kC), "--drop-duplicates"));
  EXPECT_TRUE(contains(run.out, "Loaded 2 rows from a.txt\nLoaded 3 rows from b.txt\nLoaded 1 row from c.txt\n"
                                "Wrote 4 records; skipped 0 rows with coordinates out of range; dropped 2 duplicates\n"))
      << run.out;
  EXPECT_EQ(test::readText(dir / "r.csv"),
            "file,line,kind,detail\n"
            "b.txt,2,duplicate,\"same camera as a.txt line 2; speed 60 there, 50 here; b.txt line 2 kept\"\n"
            "b.txt,3,near-duplicate,13.0 m from a.txt line 3\n"
            "b.txt,4,no-comma,\"\"\"broken line\"\"\"\n"
            "c.txt,2,duplicate,\"same camera as b.txt line 5; type 1 there, 3 here; b.txt line 5 kept\"\n");
  EXPECT_TRUE(contains(run.err, "1 line without a comma made no row: b.txt line 4 (\"broken line\")\n")) << run.err;
}

TEST_F(CliLists, InAnotherOrderKeepAnotherOfTwoEqualCandidates) {
  const CliRun run = tabrino(dir.path(), "convert a.txt c.txt b.txt --drop-duplicates --report r.csv --date 2014-11-14 --seed 1");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::uint8_t> swapped = test::readBytes(dir / "DB_141114.dbh");
  EXPECT_EQ(swapped, databaseOfOne(joined(kA, kC, kB), "--drop-duplicates"));
  EXPECT_NE(swapped, databaseOfOne(joined(kA, kB, kC), "--drop-duplicates"));
  EXPECT_TRUE(contains(test::readText(dir / "r.csv"),
                       "b.txt,5,duplicate,\"same camera as c.txt line 2; type 3 there, 1 here; c.txt line 2 kept\"\n"));
}

TEST_F(CliLists, TakeOneFromStandardInputAndStopAtOneThatFails) {
  CliRun run = tabrino(dir.path(), "convert a.txt - c.txt -q --date 2014-11-14 --seed 1 < b.txt");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), databaseOfOne(joined(kA, kB, kC), ""));

  run = tabrino(dir.path(), "convert a.txt - - --date 2014-11-14");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(contains(run.err, "standard input (-) can be only one of the lists")) << run.err;

  std::filesystem::create_directory(dir / "out");
  run = tabrino(dir.path(), "convert a.txt missing.txt -o out --date 2014-11-14");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(contains(run.err, "missing.txt")) << run.err;
  EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

TEST_F(CliLists, FilterBeforeDuplicatesAndReportWhatEachLeftOut) {
  test::writeText(dir / "ignore.txt", kHeader + "9,13.4705,52.4914,1,30,0,0\n");  // a.txt line 3's camera
  const CliRun run = tabrino(dir.path(), "convert a.txt b.txt c.txt --types 1,2,5 --speed 50-70 --exclude ignore.txt "
                                         "--report r.csv --date 2014-11-14 --seed 1");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Left out 3 rows: 1 by --types, 1 by --speed, 1 by --exclude\n")) << run.out;
  EXPECT_EQ(test::readText(dir / "r.csv"),
            "file,line,kind,detail\n"
            "a.txt,3,filtered,same camera as ignore.txt line 2 of --exclude\n"
            "b.txt,2,duplicate,\"same camera as a.txt line 2; speed 60 there, 50 here\"\n"
            "b.txt,4,no-comma,\"\"\"broken line\"\"\"\n"
            "b.txt,5,filtered,speed 80 outside --speed 50-70\n"
            "c.txt,2,filtered,type 3 not in --types\n");
  // The near copy of a.txt line 3 is not named: that row was left out first.
  EXPECT_FALSE(contains(test::readText(dir / "r.csv"), "near"));
}

TEST_F(CliLists, MoreCamerasThanTheLimitWriteNothing) {
  CliRun run = tabrino(dir.path(), "convert a.txt b.txt --max-records 4 --report r.csv --date 2014-11-14");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(contains(run.err, "tabrino convert: 5 cameras, more than --max-records 4; nothing was written. --bbox, "
                                "--polygon, --types, --speed, --exclude and --drop-duplicates cut the count.\n"))
      << run.err;
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  run = tabrino(dir.path(), "convert a.txt b.txt --max-records 4 --drop-duplicates -q --date 2014-11-14");
  EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST_F(CliLists, DumpAndMapTakeTheSameFilters) {
  ASSERT_EQ(tabrino(dir.path(), "convert a.txt b.txt -q --date 2014-11-14 --seed 1").exitCode, 0);
  CliRun run = tabrino(dir.path(), "dump DB_141114.dbh --bbox 13,52,14,53 --types 2");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, kHeader + "1,13.3366,52.5236,2,60,2,30\n2,13.3366,52.5236,2,50,2,30\n");
  run = tabrino(dir.path(), "map b.txt --bbox 0,0,10,50 -o b.svg");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Left out 2 rows: 2 by --bbox\nDrew 1 camera")) << run.out;
  run = tabrino(dir.path(), "dump DB_141114.dbh --speed 9-1");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(contains(run.err, "tabrino dump: --speed: MIN is above MAX in \"9-1\"")) << run.err;
}

}  // namespace
}  // namespace tabrino
