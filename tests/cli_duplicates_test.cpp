// Duplicates in tabrino convert, and tabrino diff, run as users run them.
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::contains;
using test::quote;
using test::tabrino;

const std::string kList =
    "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"  // 1
    "1,13.50005,52.50005,1,60,1,90\n"          // 2
    "2,13.50005,52.50005,1,50km/h,1,90\n"      // 3: a cell read in part, and a duplicate of 2
    "3,200,52.5,1,60,1,90\n"                   // 4: out of range
    "4,13.50015,52.50005,1,60,1,90\n"          // 5: 6.8 m from 2
    "5,13.50005,52.50005,1,0,1,90\n";          // 6: a duplicate of 2

TEST(CliDuplicates, AreReportedInLineOrderAndChangeNothingWritten) {
  test::TempDir dir;
  test::writeText(dir / "list.txt", kList);
  const std::string convert = "convert list.txt --date 2014-11-14 --seed 1 ";
  ASSERT_EQ(tabrino(dir.path(), convert + "-q -o .").exitCode, 0);
  fs::create_directory(dir / "near");
  const CliRun run = tabrino(dir.path(), convert + "--near 20 --report r.csv -o near");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::readBytes(dir / "near" / "DB_141114.dbh"), test::readBytes(dir / "DB_141114.dbh"));
  EXPECT_EQ(test::readText(dir / "r.csv"),
            "line,kind,detail\n"
            "3,number-prefix,\"SPEED \"\"50km/h\"\" reads as 50\"\n"
            "3,duplicate,\"same camera as line 2; speed 60 there, 50 here\"\n"
            "4,out-of-range,\"X \"\"200\"\", Y \"\"52.5\"\"\"\n"
            "5,near-duplicate,6.8 m from line 2\n"
            "6,duplicate,\"same camera as line 2; speed 60 there, 0 here\"\n");
  EXPECT_TRUE(contains(run.err, "2 rows repeat an earlier camera: line 3 (same camera as line 2; speed 60 there, "
                                "50 here), line 6 (same camera as line 2; speed 60 there, 0 here)\n"))
      << run.err;
  EXPECT_TRUE(contains(run.err, "1 row lies near an earlier camera with the same direction: line 5 (6.8 m from line 2)\n"))
      << run.err;
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"DB_141114.dbh", "list.txt", "near", "r.csv"}));
}

TEST(CliDuplicates, DroppingWritesOneRecordPerCameraAndSaysHowMany) {
  test::TempDir dir;
  test::writeText(dir / "list.txt", kList);
  const CliRun run = tabrino(dir.path(), "convert list.txt --date 2014-11-14 --seed 1 --drop-duplicates");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Wrote 2 records; skipped 1 row with coordinates out of range; dropped 2 duplicates\n"))
      << run.out;
  EXPECT_TRUE(contains(run.err, "line 3 (same camera as line 2; speed 60 there, 50 here; line 3 kept)")) << run.err;
  // The lowest speed above 0 is the one kept.
  const CliRun dump = tabrino(dir.path(), "dump DB_141114.dbh");
  EXPECT_EQ(dump.out, "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,13.5,52.5,1,50,1,90\n2,13.5001,52.5,1,60,1,90\n");

  const CliRun bad = tabrino(dir.path(), "convert list.txt --near 0");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_TRUE(contains(bad.err, "--near")) << bad.err;
}

TEST(CliDiff, SaysWhatChangedWithDiffsExitStatus) {
  test::TempDir dir;
  const std::string header = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  test::writeText(dir / "old.txt", header + "1,13.5,52.5,1,60,1,90\n2,10.25,50.5,2,50,0,0\n");
  test::writeText(dir / "new.txt", header + "2,10.25,50.5,2,50,0,0\n1,13.5,52.5,1,70,1,90\n3,9.5,48.25,1,30,2,180\n");
  test::writeText(dir / "wrong.txt", "idx,x,y\n1,2,3\n");
  ASSERT_EQ(tabrino(dir.path(), "convert old.txt --date 2014-11-14 -q").exitCode, 0);

  const CliRun changed = tabrino(dir.path(), "diff old.txt new.txt");
  EXPECT_EQ(changed.exitCode, 1) << changed.err;
  EXPECT_EQ(changed.out,
            "1 added, 0 removed, 1 changed, 1 unchanged\n"
            "Added:\n"
            "  line 4: 9.5,48.25,1,30,2,180\n"
            "Changed:\n"
            "  line 3 (line 2 before): 13.5,52.5,1,70,1,90 (TYPE 1, SPEED 60 before)\n"
            "Fields are X,Y,TYPE,SPEED,DIRTYPE,DIRECTION as a database holds them; lines are counted from 1. "
            "--report FILE lists every difference.\n");

  const struct {
    std::string args;
    int exitCode;
    std::string out;
    std::string err;
  } cases[] = {
      {"diff old.txt old.txt", 0, "0 added, 0 removed, 0 changed, 2 unchanged\n", ""},
      {"diff old.txt DB_141114.dbh", 0, "0 added, 0 removed, 0 changed, 2 unchanged\n", ""},
      {"diff -q DB_141114.dbh new.txt", 1, "1 added, 0 removed, 1 changed, 1 unchanged\n", ""},
      {"diff old.txt missing.txt", 2, "", "Error[5009] : missing.txt: No such file or directory\n"},
      {"diff wrong.txt old.txt", 2, "", "tabrino diff: wrong.txt is not a camera list: its first line must be IDX,"},
      {"diff old.txt new.txt --report nowhere/r.csv", 2, "", "File open Error : nowhere/r.csv"},
      {"diff old.txt", 2, "", "tabrino diff: NEW is required\n"},
      {"diff old.txt new.txt --report ./new.txt", 2, "", "--report ./new.txt is the same file as the input new.txt"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.err;
    EXPECT_EQ(run.out, c.out) << c.args;
    EXPECT_TRUE(c.err.empty() ? run.err.empty() : contains(run.err, c.err)) << c.args << "\n" << run.err;
  }

  ASSERT_EQ(tabrino(dir.path(), "diff -q old.txt new.txt --report r.csv").exitCode, 1);
  EXPECT_EQ(test::readText(dir / "r.csv"),
            "change,old line,new line,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION,old TYPE,old SPEED\n"
            "added,,4,9.5,48.25,1,30,2,180,,\n"
            "changed,2,3,13.5,52.5,1,70,1,90,1,60\n");
}

TEST(CliDiff, TheGermanListAgainstItsDatabaseWithoutDuplicates) {
  const fs::path list = test::realListsDir() / "germany-1195.txt";
  if (!fs::exists(list)) GTEST_SKIP() << list;
  test::TempDir dir;
  ASSERT_EQ(tabrino(dir.path(), "convert " + quote(list.string()) + " --date 2014-11-14 -q --drop-duplicates").exitCode,
            0);
  const CliRun run = tabrino(dir.path(), "diff -q " + quote(list.string()) + " DB_141114.dbh");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "0 added, 78 removed, 0 changed, 1117 unchanged\n");
}

}  // namespace
}  // namespace tabrino
