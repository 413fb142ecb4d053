// tabrino map and dump --format, run as users run them, and the exports
// read by GPSBabel, a client people use.
#include "core/base/c_numbers.h"
#include "core/database/camera_db_format.h"
#include "core/map/camera_page.h"
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::quote;
using test::tabrino;

const fs::path kSample = test::examplesDir() / "sample-cameras.txt";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool haveTool(const char* name) { return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0; }

// "lat,lon" of each camera, scaled as stored, from the lines of a list (which
// truncates) or of unicsv (whose digits are the place itself).
std::vector<std::pair<std::int64_t, std::int64_t>> positions(const std::string& csv, std::size_t latColumn, std::size_t lonColumn,
                                                             bool exact) {
  std::vector<std::pair<std::int64_t, std::int64_t>> out;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
    auto scaled = [&](const std::string& text) -> std::int64_t {
      return exact ? test::exactTenThousandths(text).value_or(kUnrepresentable) : scaleCoordinate(atofC(text));
    };
    out.emplace_back(scaled(cells.at(latColumn)), scaled(cells.at(lonColumn)));
  }
  return out;
}

struct Database {
  test::TempDir dir;
  Database() {
    EXPECT_EQ(tabrino(dir.path(), "convert " + quote(kSample.string()) + " --seed 1 --date 2014-11-14 -q").exitCode, 0);
  }
};

TEST(CliExport, GpsBabelReadsEveryCameraBackAtItsPlace) {
  if (!haveTool("gpsbabel")) GTEST_SKIP() << "gpsbabel is not installed (scripts/install-deps.sh installs it)";
  Database db;
  const CliRun list = tabrino(db.dir.path(), "dump DB_141114.dbh");
  ASSERT_EQ(list.exitCode, 0) << list.err;
  const auto expected = positions(list.out, 2, 1, false);
  ASSERT_EQ(expected.size(), 35u);
  for (const std::string format : {"gpx", "kml", "geojson"}) {
    SCOPED_TRACE(format);
    const CliRun run = tabrino(db.dir.path(), "dump DB_141114.dbh --format " + format + " -o cameras." + format);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const CliRun read = test::runShell(db.dir.path(), "gpsbabel -i " + format + " -f cameras." + format + " -o unicsv -F -");
    ASSERT_EQ(read.exitCode, 0) << read.err;
    // unicsv: No,Latitude,Longitude,Name
    EXPECT_EQ(positions(read.out, 1, 2, true), expected);
    EXPECT_TRUE(contains(read.out, "km/h, heading")) << read.out;
  }
}

TEST(CliExport, GoesToStandardOutputOrToAFileOnlyWhenComplete) {
  Database db;
  const CliRun toStdout = tabrino(db.dir.path(), "dump DB_141114.dbh --format geojson");
  ASSERT_EQ(toStdout.exitCode, 0) << toStdout.err;
  EXPECT_EQ(toStdout.out.rfind("{\"type\":\"FeatureCollection\"", 0), 0u);
  ASSERT_EQ(tabrino(db.dir.path(), "dump DB_141114.dbh --format geojson -o out.geojson").exitCode, 0);
  EXPECT_EQ(test::readText(db.dir / "out.geojson"), toStdout.out);

  const CliRun badFormat = tabrino(db.dir.path(), "dump DB_141114.dbh --format csv");
  EXPECT_EQ(badFormat.exitCode, 2);
  EXPECT_TRUE(contains(badFormat.err, "--format")) << badFormat.err;

  const CliRun nowhere = tabrino(db.dir.path(), "dump DB_141114.dbh --format gpx -o missing/out.gpx");
  EXPECT_EQ(nowhere.exitCode, 1);
  EXPECT_TRUE(contains(nowhere.err, "File open Error : missing/out.gpx")) << nowhere.err;
  EXPECT_EQ(db.dir.entries(), (std::vector<std::string>{"DB_141114.dbh", "out.geojson"}));
}

TEST(CliMap, DrawsAListOrADatabaseBesideItAndSaysWhatItLeftOut) {
  test::TempDir dir;
  test::writeText(dir / "list.txt",
                  "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,13.4,52.5,1,60,1,90\n2,13.5,52.6,2,50,0,0\n"
                  "3,200,52,1,60,0,0\nnot a row\n");
  const CliRun fromList = tabrino(dir.path(), "map list.txt --report findings.csv", "SOURCE_DATE_EPOCH=1415923200");
  ASSERT_EQ(fromList.exitCode, 0) << fromList.err;
  EXPECT_EQ(fromList.out, "Loaded 3 rows from list.txt\nDrew 2 cameras\nMap written. [list.svg]\n");
  EXPECT_TRUE(contains(fromList.err, "1 row skipped, coordinates out of range: line 4")) << fromList.err;
  EXPECT_TRUE(contains(fromList.err, "1 line without a comma made no row: line 5")) << fromList.err;
  EXPECT_TRUE(contains(test::readText(dir / "findings.csv"), "4,out-of-range"));
  const std::string svg = test::readText(dir / "list.svg");
  EXPECT_TRUE(contains(svg, "list.txt \u00B7 2014-11-14 \u00B7 2 cameras")) << "the day it was drawn";

  ASSERT_EQ(tabrino(dir.path(), "convert list.txt --date 2019-11-05 -q").exitCode, 0);
  const CliRun fromDatabase = tabrino(dir.path(), "map DB_191105.dbh -o pictures.svg");
  ASSERT_EQ(fromDatabase.exitCode, 0) << fromDatabase.err;
  EXPECT_EQ(fromDatabase.out, "Drew 2 cameras\nMap written. [pictures.svg]\n");
  EXPECT_TRUE(contains(test::readText(dir / "pictures.svg"), "DB_191105.dbh \u00B7 2019-11-05 \u00B7 2 cameras"));

  if (haveTool("xmllint")) {
    EXPECT_EQ(test::runShell(dir.path(), "xmllint --noout list.svg pictures.svg").exitCode, 0);
  } else {
    std::cout << "xmllint is not installed: the pictures were checked by the unit tests' reader only\n";
  }
}

TEST(CliMap, NamesCamerasFarFromTheRestByLineOrRecord) {
  test::TempDir dir;
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  for (int i = 0; i < 20; ++i) {
    list += std::to_string(i + 1) + "," + std::to_string(9 + i % 5) + ".5," + std::to_string(48 + i % 6) + ".25,1,60,0,0\n";
    if (i == 10) list += "99,0,0,1,60,0,0\n";  // line 13
  }
  test::writeText(dir / "list.txt", list);
  std::vector<std::string> outputs{"list.svg"};
  if (cameraPageBuiltIn()) outputs.push_back("list.html");
  for (const std::string& output : outputs) {
    const CliRun run = tabrino(dir.path(), "map list.txt -o " + output);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.err, "tabrino map: left out of the view: line 13 (X 0, Y 0), far from the rest\n"))
        << run.err;
    // The counts agree with what was drawn: the picture leaves the stray
    // out (its title says 20), the page holds it outside the first view.
    EXPECT_TRUE(contains(run.out, output == "list.svg"
                                      ? "Drew 20 cameras; left out 1 camera far from the rest\n"
                                      : "Drew 21 cameras; 1 camera far from the rest lies outside the first view\n"))
        << run.out;
  }
  EXPECT_TRUE(contains(test::readText(dir / "list.svg"), "list.txt \u00B7 " )) << "the picture has a title";
  EXPECT_TRUE(contains(test::readText(dir / "list.svg"), " \u00B7 20 cameras")) << "the picture's title counts 20";
  if (cameraPageBuiltIn()) {
    EXPECT_TRUE(contains(test::readText(dir / "list.html"), "data-extent=\"482500 95000 532500 135000\""))
        << "the page opens on the cameras near the rest";
  }
  const CliRun quiet = tabrino(dir.path(), "map list.txt -q");
  EXPECT_EQ(quiet.err, "");

  ASSERT_EQ(tabrino(dir.path(), "convert list.txt --date 2019-11-05 -q").exitCode, 0);
  const CliRun fromDatabase = tabrino(dir.path(), "map DB_191105.dbh");
  ASSERT_EQ(fromDatabase.exitCode, 0) << fromDatabase.err;
  EXPECT_TRUE(contains(fromDatabase.err, "left out of the view: record ")) << fromDatabase.err;
  EXPECT_TRUE(contains(fromDatabase.err, " (X 0, Y 0), far from the rest\n")) << fromDatabase.err;
}

TEST(CliExport, ANameThatIsNotUtf8IsShownAsLatin1AndEveryDocumentStaysValid) {
  if (!haveTool("xmllint") || !haveTool("python3")) GTEST_SKIP() << "needs xmllint and python3 to read the outputs";
  Database db;
  const std::string latin1 = "caf\xE9.dbh";
  fs::rename(db.dir / "DB_141114.dbh", db.dir / latin1);
  const std::string name = quote(latin1);
  for (const std::string format : {"gpx", "kml", "geojson"}) {
    ASSERT_EQ(tabrino(db.dir.path(), "dump " + name + " --format " + format + " -o out." + format).exitCode, 0);
  }
  ASSERT_EQ(tabrino(db.dir.path(), "map " + name + " -o out.svg").exitCode, 0);
  const CliRun xml = test::runShell(db.dir.path(), "xmllint --noout out.gpx out.kml out.svg");
  EXPECT_EQ(xml.exitCode, 0) << xml.err;
  const CliRun json = test::runShell(
      db.dir.path(), "python3 -c 'import json,sys; print(json.load(open(\"out.geojson\", encoding=\"utf-8\"))[\"name\"])'");
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(json.out, "caf\u00E9.dbh\n");
  for (const char* file : {"out.gpx", "out.kml", "out.svg"}) {
    EXPECT_TRUE(contains(test::readText(db.dir / file), "caf\u00E9.dbh")) << file;
  }
}

TEST(CliMap, WritesThePageForAnHtmlNameOrFormatAndThePictureOtherwise) {
  test::TempDir dir;
  test::writeText(dir / "list.txt",
                  "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,13.4,52.5,1,60,1,90\n\n3,200,52,1,60,0,0\n"
                  "4,13.5,52.6,2,50,0,0\n");
  const struct {
    std::string args;
    std::string file;
    bool page;
  } cases[] = {
      {"map list.txt -o cameras.html", "cameras.html", true},
      {"map list.txt -o CAMERAS.HTM", "CAMERAS.HTM", true},
      {"map list.txt --format html", "list.html", true},
      {"map list.txt --format svg -o picture.html", "picture.html", false},
      {"map list.txt -o picture.svg", "picture.svg", false},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args);
    if (c.page && !cameraPageBuiltIn()) {
      // A build without Leaflet says so, and writes nothing.
      EXPECT_EQ(run.exitCode, 1) << c.args;
      EXPECT_EQ(run.err, "tabrino map: " + std::string(kNoCameraPageText) + "\n") << c.args;
      EXPECT_FALSE(fs::exists(dir / c.file)) << c.args;
      continue;
    }
    ASSERT_EQ(run.exitCode, 0) << c.args << "\n" << run.err;
    EXPECT_EQ(run.out, "Loaded 3 rows from list.txt\nDrew 2 cameras\nMap written. [" + c.file + "]\n") << c.args;
    const std::string text = test::readText(dir / c.file);
    EXPECT_EQ(text.rfind(c.page ? "<!DOCTYPE html>" : "<?xml", 0), 0u) << c.args;
    // A list's cameras go by their lines (2 and 5; line 4 was out of range):
    // the third of the page's columns of two 32-bit numbers.
    if (c.page) {
      EXPECT_TRUE(contains(text, "data-count=\"2\" data-numbering=\"line\"")) << c.args;
      const std::size_t data = text.find("id=\"cameras\">") + 13;
      const std::vector<std::uint8_t> bytes = test::fromBase64(text.substr(data, text.find('<', data) - data));
      ASSERT_EQ(bytes.size(), 32u);
      EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 16, bytes.begin() + 24),
                (std::vector<std::uint8_t>{2, 0, 0, 0, 5, 0, 0, 0}));
    }
  }
  const CliRun refused = tabrino(dir.path(), "map list.txt --format pdf");
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(contains(refused.err, "--format: pdf not in {svg,html}")) << refused.err;
}

TEST(CliMap, FailuresSayWhyAndLeaveNothingBehind) {
  test::TempDir dir;
  test::writeText(dir / "wrong.txt", "idx,x,y\n1,2,3\n");
  test::writeText(dir / "old.svg", "earlier picture");
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"map missing.txt", "Error[5009] : missing.txt: No such file or directory"},
      {"map wrong.txt", "wrong.txt is not a camera list: its first line must be IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION"},
      {"map " + quote(kSample.string()) + " -o nowhere/map.svg", "File open Error : nowhere/map.svg"},
      {"map wrong.txt -o old.svg", "tabrino map: wrong.txt is not a camera list"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args);
    EXPECT_EQ(run.exitCode, 1) << c.args;
    EXPECT_TRUE(contains(run.err, c.message)) << c.args << "\n" << run.err;
  }
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"old.svg", "wrong.txt"}));
  EXPECT_EQ(test::readText(dir / "old.svg"), "earlier picture");
}

}  // namespace
}  // namespace tabrino
