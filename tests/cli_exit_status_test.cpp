// --fail-on-findings: the output is written as usual, and the exit status
// tells a script whether the input had findings.
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
using test::quote;
using test::tabrino;

const fs::path kOsmFixtures = TABRINO_OSM_FIXTURE_DIR;
const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
// Four cameras in Madrid.
const std::string kMadrid = kHeader +
                            "1,-3.7038,40.4168,1,50,0,0\n"
                            "2,-3.6883,40.4530,1,50,0,0\n"
                            "3,-3.7250,40.4400,1,60,0,0\n"
                            "4,-3.6500,40.4000,1,70,0,0\n";
const std::string kRows = "1,13.3366,52.5236,2,60,2,30\n"
                          "2,13.4705,52.4914,1,50,0,0\n";

TEST(CliFailOnFindings, ExitsThreeWhenTheInputHadFindingsAndStillWrites) {
  test::TempDir dir;
  test::writeText(dir / "clean.txt", kHeader + kRows);
  test::writeText(dir / "badrow.txt", kHeader + kRows + "3,13.3,95.5,1,50,0,0\n");       // latitude out of range
  test::writeText(dir / "repeated.txt", kHeader + kRows + "3,13.3366,52.5236,2,60,2,30\n");  // repeats line 2
  test::writeText(dir / "swapped.txt", kMadrid + "5,40.4500,-3.7000,1,50,0,0\n");
  test::writeText(dir / "clean.osm",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\" generator=\"hand\">\n"
                  "  <node id=\"1\" version=\"1\" lat=\"50.1\" lon=\"10.1\">\n"
                  "    <tag k=\"highway\" v=\"speed_camera\"/><tag k=\"maxspeed\" v=\"50\"/>\n  </node>\n</osm>\n");
  const std::string withFindings = quote((kOsmFixtures / "cameras.osm").string());
  const struct {
    std::string args;
    int exitCode;
    std::string written;
  } cases[] = {
      {"convert clean.txt --fail-on-findings -q --date 2014-11-14", 0, "DB_141114.dbh"},
      {"convert badrow.txt --fail-on-findings -q --date 2014-11-14", 3, "DB_141114.dbh"},
      {"convert repeated.txt --fail-on-findings -q --date 2014-11-14", 3, "DB_141114.dbh"},
      {"convert swapped.txt --fail-on-findings -q --date 2014-11-14", 3, "DB_141114.dbh"},
      {"convert repeated.txt --drop-duplicates --fail-on-findings -q --date 2014-11-14", 3, "DB_141114.dbh"},
      // Rows a filter leaves out were asked for.
      {"convert clean.txt --types 1 --fail-on-findings -q --date 2014-11-14", 0, "DB_141114.dbh"},
      // Without the option findings do not change the status.
      {"convert badrow.txt -q --date 2014-11-14", 0, "DB_141114.dbh"},
      {"from-osm clean.osm -o out.txt --fail-on-findings -q", 0, "out.txt"},
      {"from-osm " + withFindings + " -o out.txt --fail-on-findings -q", 3, "out.txt"},
      {"from-osm " + withFindings + " -o out.txt -q", 0, "out.txt"},
  };
  for (const auto& c : cases) {
    fs::remove(dir / c.written);
    const CliRun run = tabrino(dir.path(), c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.args;
    EXPECT_EQ(run.err, "") << c.args;
    EXPECT_TRUE(fs::exists(dir / c.written)) << c.args;
  }
}

TEST(CliFailOnFindings, PrintsTheSummaryAsUsualWithoutQuiet) {
  test::TempDir dir;
  test::writeText(dir / "badrow.txt", kHeader + kRows + "3,13.3,95.5,1,50,0,0\n");
  const CliRun run = tabrino(dir.path(), "convert badrow.txt --fail-on-findings --seed 1 --date 2014-11-14");
  EXPECT_EQ(run.exitCode, 3) << run.err;
  EXPECT_TRUE(test::contains(run.out + run.err, "1 row skipped, coordinates out of range: line 4"))
      << run.out << run.err;
  EXPECT_TRUE(fs::exists(dir / "DB_141114.dbh"));
}

// A row whose X and Y look swapped is reported, and converted as written.
TEST(CliSwappedCoordinates, AreAFindingAndTheRecordIsLeftAsWritten) {
  test::TempDir dir;
  test::writeText(dir / "madrid.txt", kMadrid + "5,40.4500,-3.7000,1,50,0,0\n");
  const CliRun run = tabrino(dir.path(), "convert madrid.txt --report r.csv --seed 1 --date 2014-11-14");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(test::contains(run.out + run.err, "1 row whose X and Y look swapped: line 6")) << run.out << run.err;
  EXPECT_EQ(test::readText(dir / "r.csv"),
            "line,kind,detail\n"
            "6,swapped-coordinates,\"X 40.4500, Y -3.7000: X and Y look swapped, the row lies far from the rest of "
            "the list\"\n");
  const CliRun dump = tabrino(dir.path(), "dump DB_141114.dbh");
  EXPECT_TRUE(test::contains(dump.out, ",40.45,-3.7,1,50,0,0\n")) << dump.out;
}

}  // namespace
}  // namespace tabrino
