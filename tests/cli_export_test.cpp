// tabrino export as users run it, its files read back by the tools devices'
// users convert with: GPSBabel reads the OV2 and the POI CSV, GDAL the CSV,
// every camera at its stored place; a split folder holds a file per group,
// none over the cap, and the same bytes on every run.
#include "cli_support.h"
#include "core/database/camera_db_format.h"
#include "core/database/db_inspect.h"
#include "core/database/record_reader.h"
#include "core/export/geo_export.h"
#include "core/platform/byte_source.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using test::contains;

bool haveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

using Place = std::pair<std::int64_t, std::int64_t>;  // longitude, latitude in stored units

std::vector<std::string> csvCells(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  bool quoted = false;
  for (const char c : line) {
    if (c == '\r') continue;  // unicsv ends lines with CR LF
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.push_back(cell);
      cell.clear();
    } else {
      cell += c;
    }
  }
  cells.push_back(cell);
  return cells;
}

// The places a reader's unicsv output gives (a header naming Latitude and
// Longitude, then a row per point), sorted; a place that is not a whole
// number of stored units fails the test.
std::vector<Place> unicsvPlaces(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  const std::vector<std::string> header = csvCells(line);
  const auto column = [&](const char* name) {
    return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  };
  const std::size_t lat = column("Latitude"), lon = column("Longitude");
  std::vector<Place> places;
  while (std::getline(in, line)) {
    const std::vector<std::string> cells = csvCells(line);
    if (cells.size() <= std::max(lat, lon)) continue;
    const auto x = test::exactTenThousandths(cells[lon]), y = test::exactTenThousandths(cells[lat]);
    EXPECT_TRUE(x && y) << line;
    if (x && y) places.emplace_back(*x, *y);
  }
  std::sort(places.begin(), places.end());
  return places;
}

std::vector<Place> placesOf(const std::vector<CameraRecord>& records) {
  std::vector<Place> places;
  for (const CameraRecord& r : records) places.emplace_back(r.longitude, r.latitude);
  std::sort(places.begin(), places.end());
  return places;
}

class ExportCommand : public ::testing::Test {
 protected:
  // A database of 5000 cameras across the earth and its edges.
  void SetUp() override {
    std::mt19937 random(33);
    records_ = test::randomSortedRecords(random, 5000);
    const std::vector<std::uint8_t> file = encodeDatabase(DbDate{2019, 11, 5}, RandomBlock{}, records_);
    test::writeText(dir_ / "DB_191105.dbh", std::string(file.begin(), file.end()));
  }

  test::CliRun exportDb(const std::string& args) { return test::tabrino(dir_.path(), "export DB_191105.dbh " + args); }

  test::TempDir dir_;
  std::vector<CameraRecord> records_;
};

TEST_F(ExportCommand, ReadersFindEveryCameraOfADatabaseAtItsStoredPlace) {
  if (!haveTool("gpsbabel") || !haveTool("ogrinfo")) {
    GTEST_SKIP() << "needs gpsbabel and ogrinfo (gdal-bin); scripts/install-deps.sh installs both";
  }
  struct Case {
    const char* format;
    const char* file;
    std::string reader;
  };
  const Case cases[] = {
      {"ov2", "cameras.ov2", "gpsbabel -i tomtom -f cameras.ov2 -o unicsv -F -"},
      {"poi-csv", "poi.csv", "gpsbabel -i garmin_poi -f poi.csv -o unicsv -F -"},
      {"csv", "cameras.csv",
       "ogr2ogr -f CSV /vsistdout/ cameras.csv -sql 'SELECT lat AS Latitude, lon AS Longitude FROM cameras'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const test::CliRun run = exportDb(std::string("--format ") + c.format + " -o " + c.file);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Wrote 5000 cameras to " + std::string(c.file))) << run.out;
    const test::CliRun read = test::runShell(dir_.path(), c.reader);
    ASSERT_EQ(read.exitCode, 0) << read.err;
    const std::vector<Place> places = unicsvPlaces(read.out);
    EXPECT_EQ(places.size(), records_.size());
    EXPECT_TRUE(places == placesOf(records_)) << "a camera is missing or misplaced";
  }
  // Our own walk agrees: every block sound, none of more than 20 cameras.
  const test::CliRun inspect = test::tabrino(dir_.path(), "inspect cameras.ov2");
  EXPECT_EQ(inspect.exitCode, 0) << inspect.out << inspect.err;
  EXPECT_TRUE(contains(inspect.out, "POIs       5000")) << inspect.out;
  EXPECT_TRUE(contains(inspect.out, "at most 20 POIs") || contains(inspect.out, "at most 1")) << inspect.out;
}

TEST_F(ExportCommand, GpsBabelReadsTheNameAndSpeedOfEachOv2Camera) {
  if (!haveTool("gpsbabel")) GTEST_SKIP() << "needs gpsbabel";
  const std::uint8_t type = records_.front().type;
  ASSERT_EQ(exportDb("--format ov2 -o c.ov2 -q --types " + std::to_string(type)).exitCode, 0);
  const test::CliRun read = test::runShell(dir_.path(), "gpsbabel -i tomtom -f c.ov2 -o unicsv -F -");
  ASSERT_EQ(read.exitCode, 0) << read.err;
  std::map<std::string, std::size_t> expected, named;
  for (const CameraRecord& r : records_) {
    if (r.type == type) ++expected["\"" + cameraTypeName(type) + "@" + std::to_string(r.speed) + "\""];
  }
  std::istringstream in(read.out);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // unicsv ends lines with CR LF
    ++named[line.substr(line.find('"'))];
  }
  EXPECT_EQ(named, expected);
}

// An OV2 written from a database converts back to its cameras: each at its
// stored place (OV2's five decimals divided by 10 exactly), with the speed
// its name carries after "@".
TEST_F(ExportCommand, Ov2ReadBackByConvertGivesTheSamePlacesAndSpeeds) {
  ASSERT_EQ(exportDb("--format ov2 -o back.ov2 -q").exitCode, 0);
  const test::CliRun convert = test::tabrino(dir_.path(), "convert back.ov2 -o . --date 2014-11-14 --seed 1 -q");
  ASSERT_EQ(convert.exitCode, 0) << convert.err;
  const std::vector<std::uint8_t> bytes = test::readBytes(dir_ / "DB_141114.dbh");
  MemorySource source(bytes);
  std::multiset<std::tuple<std::int32_t, std::int32_t, int>> read, expected;
  forEachRecord(source, inspectDatabase(source).recordCount,
                [&](const CameraRecord& r) { read.emplace(r.longitude, r.latitude, r.speed); });
  // A list stores speeds below 10 as 0, as it would from any list.
  for (const CameraRecord& r : records_) expected.emplace(r.longitude, r.latitude, r.speed < 10 ? 0 : r.speed);
  EXPECT_EQ(read.size(), records_.size());
  EXPECT_TRUE(read == expected);
}

// Text a file holds, by name, for each file of a folder.
std::map<std::string, std::string> folderFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = test::readText(entry.path());
  }
  return files;
}

TEST(ExportSplit, SampleBySpeedWritesAFilePerSpeedAndAManifestTheSameEachRun) {
  test::TempDir dir;
  fs::create_directory(dir / "a");
  fs::create_directory(dir / "b");
  const std::string list = test::quote(test::sampleList().string());
  std::map<std::string, std::string> runs[2];
  for (const char* folder : {"a", "b"}) {
    const test::CliRun run = test::tabrino(dir.path(), "export " + list + " --format ov2 --output-dir " + folder +
                                                           " --split-by speed --file-name 'cams-{speed}' --icons");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Wrote 35 cameras in 8 files")) << run.out;
  }
  const auto a = folderFiles(dir / "a"), b = folderFiles(dir / "b");
  EXPECT_TRUE(a == b) << "two runs wrote different files";
  // The sample's speeds: 9 without a limit, 3 at 50, 6 at 60, 1 at 70, 5 at 80, 4 at 90, 3 at 100, 4 at 120.
  EXPECT_EQ(a.at("manifest.csv"),
            "file,cameras,west,south,east,north\n"
            "\"cams-0.ov2\",9,-3.7268,40.389,37.6477,55.7573\n"
            "\"cams-50.ov2\",3,-3.6528,40.4407,24.0533,56.9227\n"
            "\"cams-60.ov2\",6,-3.6668,40.4657,21.0201,53.5057\n"
            "\"cams-70.ov2\",1,14.4693,50.0319,14.4693,50.0319\n"
            "\"cams-80.ov2\",5,6.9595,47.4972,30.2663,59.905\n"
            "\"cams-90.ov2\",4,8.7109,48.2176,21.09,52.2479\n"
            "\"cams-100.ov2\",3,9.9292,53.5723,37.5677,59.9409\n"
            "\"cams-120.ov2\",4,2.322,48.1659,37.6011,55.7161\n");
  EXPECT_EQ(a.size(), 8u * 2u + 1u);  // each file with its icon, and the manifest
  for (const auto& [name, text] : a) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0) {
      EXPECT_EQ(text.size(), 54u + 22u * 68u) << name;
      EXPECT_EQ(text.substr(0, 2), "BM") << name;
    }
  }
}

TEST(ExportSplit, CapCutsEveryFileToAtMostItsCameras) {
  test::TempDir dir;
  fs::create_directory(dir / "out");
  const test::CliRun run = test::tabrino(dir.path(), "export " + test::quote(test::sampleList().string()) +
                                                         " --format poi-csv --output-dir out --max-per-file 10");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::size_t total = 0, files = 0;
  for (const auto& [name, text] : folderFiles(dir / "out")) {
    if (name == "manifest.csv") continue;
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_LE(lines, 10u) << name;
    total += lines;
    ++files;
  }
  EXPECT_EQ(total, 35u);
  EXPECT_EQ(files, 4u);
  EXPECT_TRUE(fs::exists(dir / "out" / "All_all-4.csv"));
}

TEST(ExportSplit, TheRegionOfPolygonNamesTheFiles) {
  test::TempDir dir;
  fs::create_directory(dir / "out");
  const test::CliRun run = test::tabrino(
      dir.path(), "export " + test::quote((test::examplesDir() / "munich-club.txt").string()) + " --polygon " +
                      test::quote((test::examplesDir() / "munich.poly").string()) +
                      " --format csv --output-dir out --split-by type --file-name '{region}-{type}' -q");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::set<std::string> names;
  for (const auto& [name, text] : folderFiles(dir / "out")) names.insert(name);
  EXPECT_EQ(names, (std::set<std::string>{"manifest.csv", "munich-Fixed.csv", "munich-Mobile.csv",
                                          "munich-RedLight.csv", "munich-RedLightSpeed.csv"}));
}

TEST(ExportInputs, ListExtractAndDatabaseGiveTheSameCameras) {
  test::ConvertedSample sample;
  const std::string list = test::quote(test::sampleList().string());
  const test::CliRun fromList = test::tabrino(sample.dir.path(), "export " + list + " --format csv -o list.csv");
  const test::CliRun fromDb = test::tabrino(sample.dir.path(), "export DB_141114.dbh --format csv -o db.csv");
  ASSERT_EQ(fromList.exitCode, 0) << fromList.err;
  ASSERT_EQ(fromDb.exitCode, 0) << fromDb.err;
  EXPECT_TRUE(contains(fromDb.out, "Loaded 35 records from DB_141114.dbh")) << fromDb.out;
  EXPECT_EQ(test::readText(sample.dir / "list.csv"), test::readText(sample.dir / "db.csv"));
  // GPX, KML and GeoJSON are what dump writes of the database, camera for camera.
  for (const char* format : {"gpx", "kml", "geojson"}) {
    SCOPED_TRACE(format);
    const std::string f = format;
    ASSERT_EQ(test::tabrino(sample.dir.path(), "export DB_141114.dbh -q --format " + f + " -o e." + f).exitCode, 0);
    ASSERT_EQ(test::tabrino(sample.dir.path(), "dump DB_141114.dbh -q --format " + f + " -o d." + f).exitCode, 0);
    // Lines as a set: the title names each file, and a GeoJSON feature's
    // comma depends on its place.
    auto lines = [&](const std::string& text) {
      std::multiset<std::string> all;
      std::istringstream in(text);
      for (std::string line; std::getline(in, line);) {
        if (contains(line, "DB_141114.dbh") || contains(line, "e." + f)) continue;
        if (!line.empty() && line.back() == ',') line.pop_back();
        all.insert(line);
      }
      return all;
    };
    std::multiset<std::string> exported = lines(test::readText(sample.dir / ("e." + f)));
    std::multiset<std::string> dumped = lines(test::readText(sample.dir / ("d." + f)));
    EXPECT_GE(exported.size(), 35u);
    EXPECT_TRUE(exported == dumped);
  }
  // An extract, through the same reading as convert.
  const test::CliRun fromExtract = test::tabrino(
      sample.dir.path(), "export " + test::quote(std::string(TABRINO_OSM_GENERATED_DIR) + "/cameras.osm.pbf") +
                             " --format geojson -o osm.geojson");
  ASSERT_EQ(fromExtract.exitCode, 0) << fromExtract.err;
  EXPECT_TRUE(contains(test::readText(sample.dir / "osm.geojson"), "\"type\":\"FeatureCollection\""));
  // Duplicate options: the database and the list again hold each camera twice.
  const test::CliRun both = test::tabrino(sample.dir.path(),
                                          "export DB_141114.dbh " + list + " --format csv -o both.csv --drop-duplicates");
  ASSERT_EQ(both.exitCode, 0) << both.err;
  EXPECT_TRUE(contains(both.out, "Dropped 35 duplicates")) << both.out;
  EXPECT_EQ(test::readText(sample.dir / "both.csv"), test::readText(sample.dir / "db.csv"));
}

TEST(ExportInputs, ReportAndFailOnFindingsAreConvertsOwn) {
  test::TempDir dir;
  const std::string lists = test::quote((test::examplesDir() / "munich-club.txt").string()) + " " +
                            test::quote((test::examplesDir() / "bavaria-club.txt").string()) + " --polygon " +
                            test::quote((test::examplesDir() / "munich.poly").string());
  const test::CliRun exported =
      test::tabrino(dir.path(), "export " + lists + " --format kml -o m.kml --report export.csv --fail-on-findings");
  EXPECT_EQ(exported.exitCode, 3) << exported.err;
  EXPECT_TRUE(contains(exported.err, "5 rows repeat an earlier camera")) << exported.err;
  EXPECT_TRUE(fs::exists(dir / "m.kml"));
  const test::CliRun converted = test::tabrino(dir.path(), "convert " + lists + " -q --report convert.csv");
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_EQ(test::readText(dir / "export.csv"), test::readText(dir / "convert.csv"));
  EXPECT_TRUE(contains(test::readText(dir / "export.csv"), ",filtered,outside --polygon"));
}

TEST(ExportUsage, RefusesWhatCannotBeWrittenAndSaysWhy) {
  test::TempDir dir;
  const std::string list = test::quote(test::sampleList().string());
  fs::create_directory(dir / "out");
  struct Case {
    std::string args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"--format ov2", 2, "give either -o FILE or --output-dir DIR"},
      {"--format ov2 -o a.ov2 --output-dir out", 2, "give either -o FILE or --output-dir DIR"},
      {"--format ov2 -o a.ov2 --split-by speed", 2, "--split-by writes several files: it needs --output-dir DIR"},
      {"--format ov2 -o a.ov2 --icons", 2, "--icons writes several files"},
      {"--format ov2 -o a.ov2 --name '{limit}'", 2, "names {limit}; it knows {type}, {speed} and {heading}"},
      {"--format ov2 --output-dir out --file-name '{region}'", 2, "names {region}, which only --polygon gives"},
      {"--format ov2 --output-dir out --split-by type,speed --file-name '{type}'", 1,
       "gives two groups the name Fixed"},
      {"--format ov2 --output-dir missing", 1, "missing"},
      {"--format svg -o a.svg", 2, "svg"},
      {"--format ov2 -o a.ov2 --types 9", 1, "the filters left no camera: nothing written"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const test::CliRun run = test::tabrino(dir.path(), "export " + list + " " + c.args);
    EXPECT_EQ(run.exitCode, c.status) << run.out << run.err;
    EXPECT_TRUE(contains(run.err, c.message)) << run.err;
  }
  EXPECT_FALSE(fs::exists(dir / "a.ov2"));
  EXPECT_TRUE(fs::is_empty(dir / "out"));
  // A file the folder's export would write is an input: the input is kept.
  const std::string sample = test::readText(test::sampleList());
  test::writeText(dir / "out" / "All_all.csv", sample);
  const test::CliRun clash = test::tabrino(dir.path(), "export out/All_all.csv --format csv --output-dir out");
  EXPECT_EQ(clash.exitCode, 2);
  EXPECT_TRUE(contains(clash.err, "is the same file as the input out/All_all.csv")) << clash.err;
  EXPECT_TRUE(contains(clash.err, "choose another name (nothing was written)")) << clash.err;
  EXPECT_EQ(test::readText(dir / "out" / "All_all.csv"), sample);
  EXPECT_FALSE(fs::exists(dir / "out" / "manifest.csv"));
}

TEST(ExportInspect, Ov2ThatLiesAboutItsBlocksIsReported) {
  test::TempDir dir;
  ASSERT_EQ(test::tabrino(dir.path(), "export " + test::quote(test::sampleList().string()) + " --format ov2 -o s.ov2 -q")
                .exitCode,
            0);
  std::string bytes = test::readText(dir / "s.ov2");
  const test::CliRun good = test::tabrino(dir.path(), "inspect s.ov2");
  EXPECT_EQ(good.exitCode, 0) << good.out;
  EXPECT_TRUE(contains(good.out, "POIs       35")) << good.out;
  bytes[1] = static_cast<char>(bytes[1] + 1);  // the root's block one byte longer than the file
  test::writeText(dir / "bad.ov2", bytes);
  const test::CliRun bad = test::tabrino(dir.path(), "inspect bad.ov2");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(contains(bad.out, "at byte 0: skipper block of")) << bad.out;
  EXPECT_TRUE(contains(bad.out, "runs past the end of its file by 1 bytes")) << bad.out;
}

}  // namespace
}  // namespace tabrino
