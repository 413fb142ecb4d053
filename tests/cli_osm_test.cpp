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
