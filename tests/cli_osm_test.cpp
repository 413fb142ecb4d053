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
  EXPECT_TRUE(contains(run.err, "Found 27 cameras in ")) << run.err;
  EXPECT_TRUE(contains(run.err, "2 OpenStreetMap relations left out: relation 107 (enforcement=check), relation 108"))
      << run.err;
  EXPECT_TRUE(contains(run.err, "4 cameras without maxspeed took their road's: node 14 (maxspeed 70 of way 202), node 1041 (maxspeed 80 of way 402)")) << run.err;
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
  EXPECT_TRUE(contains(run.out, "Loaded 27 rows from ")) << run.out;
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
  EXPECT_TRUE(contains(run.out, "Loaded 1 row from before.txt\nLoaded 27 rows from ")) << run.out;
  EXPECT_TRUE(contains(run.out, "Loaded 2 rows from after.txt\n")) << run.out;
  EXPECT_TRUE(contains(run.err, "1 row repeats an earlier camera: after.txt line 3 (same camera as " +
                                    kPbf.string() + " line 2)"))
      << run.err;
  // The extract's findings name it and come in its place, between the lists'.
  const std::string report = test::readText(dir / "r.csv");
  const std::string extractFinding = "\n" + kPbf.string() + ",0,osm-no-speed,node 9 (no maxspeed)\n";
  EXPECT_TRUE(contains(report, extractFinding)) << report;
  EXPECT_LT(report.find(extractFinding), report.find("after.txt,3,duplicate,")) << report;
  fs::create_directory(dir / "one");
  const CliRun one = tabrino(dir.path(), "convert one.txt -q -o one" + options);
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(test::readBytes(dir / "several" / "DB_141114.dbh"), test::readBytes(dir / "one" / "DB_141114.dbh"));
}

// Every line of a CSV text without its first field.
std::string withoutFirstColumn(const std::string& csv) {
  std::string out;
  for (std::size_t line = 0; line < csv.size();) {
    const std::size_t end = csv.find('\n', line);
    const std::size_t comma = csv.find(',', line);
    out += csv.substr(comma + 1, end - comma);
    line = end + 1;
  }
  return out;
}

// An extract is opened and read once, so it may come through standard
// input, a pipe, a FIFO or bash's <(...), after lists too: it is told from
// a list by its first bytes, which are not lost to whichever reads it.
TEST(CliOsm, ExtractsComeThroughPipes) {
  test::TempDir dir;
  ASSERT_EQ(test::runShell(dir.path(), "mkfifo fifo").exitCode, 0);
  fs::copy_file(kPbf, dir / "x.osm.pbf");
  fs::copy_file(kFixtures / "cameras.osm", dir / "x.osm");
  fs::copy_file(fs::path(TABRINO_OSM_GENERATED_DIR) / "cameras.osm.bz2", dir / "x.osm.bz2");
  const std::string header = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  test::writeText(dir / "before.txt", header + "1,13.3366,52.5236,2,60,2,30\n");
  test::writeText(dir / "after.txt", header + "1,9.1234,48.1234,1,80,1,90\n");
  const std::string convert = " -q --osm-direction travel --seed 1 --date 2014-11-14 --report ";
  const struct {
    std::string named;  // the command on the extract's name
    std::string input;  // the extract
    std::string other;  // the command with @ where the extract goes another way
  } cases[] = {
      {"from-osm x.osm.pbf -q", "x.osm.pbf", "from-osm @ -q"},
      {"from-osm x.osm --osm-direction facing --report named.csv -o -", "x.osm",
       "from-osm @ --osm-direction facing --report read.csv -o -"},
      {"from-osm x.osm.bz2 -q", "x.osm.bz2", "from-osm @ -q"},
      {"convert before.txt x.osm.pbf after.txt -o named" + convert + "named.csv", "x.osm.pbf",
       "convert before.txt @ after.txt -o read" + convert + "read.csv"},
  };
  fs::create_directory(dir / "named");
  fs::create_directory(dir / "read");
  const std::string cli = "timeout 30 " + quote(test::cliPath());
  for (const auto& c : cases) {
    const CliRun named = tabrino(dir.path(), c.named);
    ASSERT_EQ(named.exitCode, 0) << c.named << ": " << named.err;
    const std::string at = c.other.substr(0, c.other.find('@'));
    const std::string after = c.other.substr(c.other.find('@') + 1);
    const struct {
      const char* how;
      std::string command;
      std::string shown;  // how a report of several lists names the extract
    } ways[] = {
        {"- from the file", cli + " " + at + "-" + after + " < " + c.input, "standard input,"},
        {"- from a pipe", "cat " + c.input + " | " + cli + " " + at + "-" + after, "standard input,"},
        {"a FIFO", "(cat " + c.input + " > fifo &) && " + cli + " " + at + "fifo" + after, "fifo,"},
        {"<(...)", "bash -c " + quote(cli + " " + at + "<(cat " + c.input + ")" + after), "/dev/fd/"},
    };
    for (const auto& way : ways) {
      fs::remove(dir / "read.csv");
      const CliRun run = test::runShell(dir.path(), way.command);
      EXPECT_EQ(run.exitCode, 0) << c.other << " through " << way.how << ": " << run.err;
      if (run.exitCode != 0) continue;
      EXPECT_EQ(run.out, named.out) << c.other << " through " << way.how;
      if (contains(c.named, "convert")) {
        EXPECT_EQ(test::readBytes(dir / "read" / "DB_141114.dbh"), test::readBytes(dir / "named" / "DB_141114.dbh"))
            << c.other << " through " << way.how;
        const std::string report = test::readText(dir / "read.csv");
        EXPECT_TRUE(contains(report, "\n" + way.shown)) << c.other << " through " << way.how << ": " << report;
        EXPECT_EQ(withoutFirstColumn(report), withoutFirstColumn(test::readText(dir / "named.csv")))
            << c.other << " through " << way.how;
      } else if (contains(c.named, "--report")) {
        EXPECT_EQ(test::readText(dir / "read.csv"), test::readText(dir / "named.csv"))
            << c.other << " through " << way.how;
      }
    }
  }
}

// --report - writes the report to standard output; the list then needs a
// file of its own.
// diff reads an extract as every command does: the same cameras as the list
// from-osm writes of it, and a change in that list is told by its line.
TEST(CliOsm, DiffReadsAnExtract) {
  test::TempDir dir;
  CliRun run = tabrino(dir.path(), "diff " + quote(kPbf.string()) + " " + quote((kFixtures / "cameras.txt").string()));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "0 added, 0 removed, 0 changed")) << run.out;
  std::string changed = test::readText(kFixtures / "cameras.txt");
  changed.erase(changed.rfind('\n', changed.size() - 2) + 1);  // its last camera gone
  test::writeText(dir / "fewer.txt", changed);
  run = tabrino(dir.path(), "diff " + quote(kPbf.string()) + " fewer.txt -q");
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_TRUE(contains(run.out, "0 added, 1 removed, 0 changed")) << run.out;
}

TEST(CliOsm, ReportToStandardOutput) {
  test::TempDir dir;
  const std::string extract = quote(kPbf.string());
  CliRun run = tabrino(dir.path(), "from-osm " + extract + " -o cameras.txt --report -");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, test::readText(kFixtures / "cameras-report.csv"));
  EXPECT_EQ(test::readText(dir / "cameras.txt"), test::readText(kFixtures / "cameras.txt"));
  EXPECT_TRUE(contains(run.err, "Every finding is in standard output.")) << run.err;
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"cameras.txt"});

  for (const std::string list : {"", " -o -"}) {
    run = tabrino(dir.path(), "from-osm " + extract + list + " --report -");
    EXPECT_EQ(run.exitCode, 2) << list;
    EXPECT_TRUE(contains(run.err, "-o and --report are both standard output (-): only one can be")) << run.err;
    EXPECT_EQ(run.out, "") << list;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"cameras.txt"}) << list;
  }
}

// A damaged extract ends with a clear error, and no file is written.
TEST(CliOsm, DamagedExtractsLeaveNoFile) {
  test::TempDir dir;
  const std::vector<std::uint8_t> pbf = test::readBytes(kPbf);
  test::writeText(dir / "cut.osm.pbf", std::string(pbf.begin(), pbf.begin() + static_cast<std::ptrdiff_t>(pbf.size() / 2)));
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
