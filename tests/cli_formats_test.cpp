// The shared formats as the command line reads them: our own three exports
// convert back to the very database they were dumped from, and files that
// real tools wrote (GDAL's ogr2ogr, GPSBabel) convert to the database of the
// list they were made from.
#include "core/list/list_text.h"
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using test::quote;
using test::tabrino;

constexpr const char* kSameRun = " -q --date 2014-11-14 --seed 7";

bool haveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Converts `file` into a folder of its own; the database's bytes.
std::vector<std::uint8_t> converted(const fs::path& dir, const std::string& file) {
  const fs::path out = dir / ("db-of-" + file);
  fs::create_directories(out);
  const test::CliRun run = tabrino(dir, "convert " + quote(file) + " -o " + quote(out.string()) + kSameRun);
  EXPECT_EQ(run.exitCode, 0) << file << ": " << run.err;
  return run.exitCode == 0 ? test::readBytes(out / "DB_141114.dbh") : std::vector<std::uint8_t>{};
}

std::string listOf(const std::vector<CameraRecord>& records) {
  std::string text = listHeaderLine();
  for (std::size_t i = 0; i < records.size(); ++i) text += listLine(i + 1, records[i]);
  return text;
}

TEST(CliFormats, OurExportsConvertBackToTheDatabaseTheyWereDumpedFrom) {
  test::TempDir dir;
  std::mt19937 random(32);
  test::writeText(dir / "list.txt", listOf(test::randomSortedRecords(random, 3000)));
  const std::vector<std::uint8_t> database = converted(dir.path(), "list.txt");
  ASSERT_FALSE(database.empty());
  for (const std::string format : {"gpx", "kml", "geojson"}) {
    SCOPED_TRACE(format);
    const std::string file = "dump." + format;
    const test::CliRun dump = tabrino(dir.path(), "dump db-of-list.txt/DB_141114.dbh --format " + format + " -o " + file);
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_TRUE(converted(dir.path(), file) == database);
  }
  // The KML packed as a .kmz, deflated, as zip tools write it.
  if (!haveTool("zip")) GTEST_SKIP() << "zip is not installed: the .kmz is not tried";
  ASSERT_EQ(test::runShell(dir.path(), "zip -q dump.kmz dump.kml").exitCode, 0);
  EXPECT_TRUE(converted(dir.path(), "dump.kmz") == database);
}

// Random cameras with the fields every tool keeps, as a list.
std::vector<CameraRecord> toolRecords() {
  std::mt19937 random(7);
  return test::randomSortedRecords(random, 300);
}

TEST(CliFormats, FilesGdalWroteFromAListConvertAsTheList) {
  if (!haveTool("ogr2ogr")) GTEST_SKIP() << "GDAL's ogr2ogr is not installed";
  test::TempDir dir;
  test::writeText(dir / "cams.csv", listOf(toolRecords()));
  const std::vector<std::uint8_t> database = converted(dir.path(), "cams.csv");
  ASSERT_FALSE(database.empty());
  const std::string source = " cams.csv -oo X_POSSIBLE_NAMES=X -oo Y_POSSIBLE_NAMES=Y";
  struct Written {
    const char* file;
    std::string command;
  };
  const Written written[] = {
      {"gdal.geojson", "ogr2ogr -f GeoJSON gdal.geojson" + source + " -oo AUTODETECT_TYPE=YES"},
      {"gdal.gpx", "ogr2ogr -f GPX gdal.gpx" + source + " -dsco GPX_USE_EXTENSIONS=YES"},
      {"gdal.kml", "ogr2ogr -f KML gdal.kml" + source},
      // Named columns in another order, under other names.
      {"gdal.csv", "ogr2ogr -f CSV gdal.csv cams.csv -sql \"SELECT DIRECTION AS heading, Y AS latitude, SPEED AS "
                   "maxspeed, X AS lon, TYPE AS type, DIRTYPE AS dirtype FROM cams\""},
  };
  for (const Written& file : written) {
    SCOPED_TRACE(file.file);
    const test::CliRun run = test::runShell(dir.path(), file.command);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(converted(dir.path(), file.file) == database);
  }
}

TEST(CliFormats, FilesGpsBabelWroteConvertAsTheList) {
  if (!haveTool("gpsbabel")) GTEST_SKIP() << "GPSBabel is not installed";
  test::TempDir dir;
  // GPSBabel keeps a place and its name: the speed rides in the name.
  std::string unicsv = "lat,lon,name\n";
  std::string list = listHeaderLine();
  std::size_t idx = 0;
  for (const CameraRecord& record : toolRecords()) {
    const RecordTexts cells = recordTexts(record);
    unicsv += cells.y + "," + cells.x + ",\"Camera@" + cells.speed + "\"\n";
    list += std::to_string(++idx) + "," + cells.x + "," + cells.y + ",1," + cells.speed + ",0,0\n";
  }
  test::writeText(dir / "cams.unicsv", unicsv);
  test::writeText(dir / "cams.txt", list);
  const std::vector<std::uint8_t> database = converted(dir.path(), "cams.txt");
  ASSERT_FALSE(database.empty());
  for (const std::string format : {"gpx", "kml", "unicsv"}) {
    SCOPED_TRACE(format);
    const std::string file = "babel." + format;
    const test::CliRun run =
        test::runShell(dir.path(), "gpsbabel -i unicsv -f cams.unicsv -o " + format + " -F " + file);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(converted(dir.path(), file) == database);
  }
}

TEST(CliFormats, CameraTypeAndSpeedOptionsFillWhatTheFileDoesNotSay) {
  test::TempDir dir;
  test::writeText(dir / "cams_50.csv", "11.5,48.1,\"A\"\n11.6,48.2,\"B@70\"\n");
  const test::CliRun run = tabrino(dir.path(), "convert cams_50.csv --camera-type 5 --camera-speed 30" + std::string(kSameRun));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const test::CliRun dump = tabrino(dir.path(), "dump DB_141114.dbh");
  EXPECT_EQ(dump.out, "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,11.5,48.1,5,30,0,0\n2,11.6,48.2,5,70,0,0\n");
  const test::CliRun wrong = tabrino(dir.path(), "convert cams_50.csv --camera-type 256" + std::string(kSameRun));
  EXPECT_NE(wrong.exitCode, 0);
  // diff and map read the file with the same choices: against the list they give, nothing differs.
  test::writeText(dir / "same.txt", "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,11.5,48.1,5,30,0,0\n2,11.6,48.2,5,70,0,0\n");
  const test::CliRun same = tabrino(dir.path(), "diff same.txt cams_50.csv --camera-type 5 --camera-speed 30");
  EXPECT_EQ(same.exitCode, 0) << same.out << same.err;
  const test::CliRun differ = tabrino(dir.path(), "diff same.txt cams_50.csv");
  EXPECT_EQ(differ.exitCode, 1) << differ.out << differ.err;
  const test::CliRun map = tabrino(dir.path(), "map cams_50.csv -o m.svg --camera-type 5 --types 5");
  EXPECT_EQ(map.exitCode, 0) << map.err;
  EXPECT_TRUE(test::contains(map.out, "Drew 2 cameras")) << map.out;
}

}  // namespace
}  // namespace tabrino
