// tabrino from-osm, and convert given an extract, run as users run them.
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

const fs::path kFixtures = TABRINO_OSM_FIXTURE_DIR;
const fs::path kPbf = fs::path(TABRINO_OSM_GENERATED_DIR) / "cameras.osm.pbf";

TEST(CliOsm, FromOsmWritesTheListAndTheReport) {
  test::TempDir dir;
  const CliRun run = tabrino(dir.path(), "from-osm " + quote(kPbf.string()) + " -o cameras.txt --report found.csv");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(test::readText(dir / "cameras.txt"), test::readText(kFixtures / "cameras.txt"));
  EXPECT_EQ(test::readText(dir / "found.csv"), test::readText(kFixtures / "cameras-report.csv"));
  EXPECT_TRUE(contains(run.err, "Found 14 cameras in ")) << run.err;
  EXPECT_TRUE(contains(run.err, "2 OpenStreetMap relations left out: relation 107 (enforcement=check), relation 108"))
      << run.err;
  EXPECT_TRUE(contains(run.err, "1 camera without maxspeed took its road's: node 14 (maxspeed 70 of way 202)")) << run.err;
  EXPECT_TRUE(contains(run.err, "Every finding is in found.csv.")) << run.err;
  EXPECT_FALSE(contains(run.err, "Lines are counted")) << run.err;

  // Standard output by default, quiet on request.
  const CliRun quiet = tabrino(dir.path(), "from-osm " + quote(kPbf.string()) + " -q --osm-direction facing");
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.out, test::readText(kFixtures / "cameras-facing.txt"));
  EXPECT_EQ(quiet.err, "");
}

// convert takes an extract as it takes a list: the database is the one its
// list from from-osm converts into.
TEST(CliOsm, ConvertReadsAnExtract) {
  test::TempDir fromExtract, fromList;
  const CliRun run = tabrino(fromExtract.path(), "convert " + quote(kPbf.string()) + " --osm-direction travel --seed 1 --date 2014-11-14");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Loaded 14 rows from ")) << run.out;
  EXPECT_TRUE(contains(run.err, "node 9 (no maxspeed)")) << run.err;
  const CliRun list = tabrino(fromList.path(), "convert " + quote((kFixtures / "cameras-travel.txt").string()) +
                                                   " -q --seed 1 --date 2014-11-14");
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(test::readBytes(fromExtract / "DB_141114.dbh"), test::readBytes(fromList / "DB_141114.dbh"));
}

// Among several lists an extract's cameras follow the lists before it, and
// the lines after it are numbered in their own lists: the database is that
// of one list holding all the rows in that order.
TEST(CliOsm, ConvertReadsAnExtractAmongLists) {
  test::TempDir dir;
  const std::string header = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  const std::string extractList = test::readText(kFixtures / "cameras-travel.txt");
  const std::string extractRows = extractList.substr(extractList.find('\n') + 1);
  const std::string firstCamera = extractRows.substr(0, extractRows.find('\n') + 1);
  test::writeText(dir / "before.txt", header + "1,13.3366,52.5236,2,60,2,30\n");
  test::writeText(dir / "after.txt", header + "1,9.1234,48.1234,1,80,1,90\n" + firstCamera);
  test::writeText(dir / "one.txt", header + "1,13.3366,52.5236,2,60,2,30\n" + extractRows +
                                       "1,9.1234,48.1234,1,80,1,90\n" + firstCamera);
  const std::string options = " --osm-direction travel --seed 1 --date 2014-11-14";
  fs::create_directory(dir / "several");
  const CliRun run = tabrino(dir.path(), "convert before.txt " + quote(kPbf.string()) +
                                             " after.txt -o several --report r.csv" + options);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Loaded 1 row from before.txt\nLoaded 14 rows from ")) << run.out;
  EXPECT_TRUE(contains(run.out, "Loaded 2 rows from after.txt\n")) << run.out;
  EXPECT_TRUE(contains(run.err, "1 row repeats an earlier camera: after.txt line 3 (same camera as " +
                                    kPbf.string() + " line 2)"))
      << run.err;
  EXPECT_TRUE(contains(test::readText(dir / "r.csv"), "after.txt,3,duplicate,")) << test::readText(dir / "r.csv");
  fs::create_directory(dir / "one");
  const CliRun one = tabrino(dir.path(), "convert one.txt -q -o one" + options);
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(test::readBytes(dir / "several" / "DB_141114.dbh"), test::readBytes(dir / "one" / "DB_141114.dbh"));
}

// A damaged extract ends with a clear error, and no file is written.
TEST(CliOsm, DamagedExtractsLeaveNoFile) {
  test::TempDir dir;
  const std::vector<std::uint8_t> pbf = test::readBytes(kPbf);
  test::writeText(dir / "cut.osm.pbf", std::string(pbf.begin(), pbf.begin() + pbf.size() / 2));
  test::writeText(dir / "gpx.osm", "<?xml version=\"1.0\"?>\n<gpx><wpt lat=\"1\" lon=\"2\"/></gpx>\n");
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"from-osm cut.osm.pbf -o out.txt --report found.csv",
       "Cannot read the OpenStreetMap extract cut.osm.pbf: PBF error: unexpected EOF"},
      {"from-osm gpx.osm -o out.txt", "Cannot read the OpenStreetMap extract gpx.osm: Unknown top-level element: gpx"},
      {"convert cut.osm.pbf --date 2014-11-14", "Cannot read the OpenStreetMap extract cut.osm.pbf"},
      {"from-osm missing.osm.pbf -o out.txt", "missing.osm.pbf: No such file or directory"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args);
    EXPECT_EQ(run.exitCode, 1) << c.args;
    EXPECT_TRUE(contains(run.err, c.message)) << c.args << ": " << run.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"cut.osm.pbf", "gpx.osm"})) << c.args;
  }
}

}  // namespace
}  // namespace tabrino
