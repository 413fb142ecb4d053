// The exports read by the GIS tools people open them with, GDAL and
// GPSBabel: every camera of a large database must come back at the stored
// value itself, digit for digit. A reader takes 40.971 for 40.971, not for
// the 409709 a conversion would truncate it to.
#include "core/export/geo_export.h"
#include "core/platform/byte_source.h"
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <sstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;

bool haveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct TextPoint {
  std::string lon, lat;
};

// Each text between `before` and `after`, then between `middle` and `end`:
// the two numbers of every point, in the order the reader wrote them.
std::vector<TextPoint> pointsBetween(const std::string& text, std::string_view before, std::string_view middle,
                                     std::string_view end, bool latFirst) {
  std::vector<TextPoint> points;
  for (std::size_t at = text.find(before); at != std::string::npos; at = text.find(before, at)) {
    at += before.size();
    const std::size_t split = text.find(middle, at);
    const std::size_t stop = text.find(end, split + middle.size());
    if (split == std::string::npos || stop == std::string::npos) break;
    std::string first = text.substr(at, split - at), second = text.substr(split + middle.size(), stop - split - middle.size());
    points.push_back(latFirst ? TextPoint{second, first} : TextPoint{first, second});
    at = stop;
  }
  return points;
}

// GDAL's view of the layer: "POINT (lon lat)" per feature.
std::vector<TextPoint> readWithOgrinfo(const fs::path& dir, const std::string& file) {
  const test::CliRun run = test::runShell(dir, "ogrinfo -ro -q -al " + test::quote(file));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return pointsBetween(run.out, "POINT (", " ", ")", false);
}

// GPSBabel's view, written out again as GPX waypoints (lat first, nine decimals).
std::vector<TextPoint> readWithGpsBabel(const fs::path& dir, const std::string& file, const std::string& format) {
  const test::CliRun run =
      test::runShell(dir, "gpsbabel -i " + format + " -f " + test::quote(file) + " -o gpx -F -");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return pointsBetween(run.out, "<wpt lat=\"", "\" lon=\"", "\"", true);
}

// How many points a reader put anywhere but at the stored value.
std::size_t misplaced(const std::vector<CameraRecord>& records, const std::vector<TextPoint>& points,
                      std::string& first) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < records.size() && i < points.size(); ++i) {
    // Longitude 180 is the meridian -180 (GPX takes no more than that).
    const std::optional<std::int64_t> lon = test::exactTenThousandths(points[i].lon);
    const bool same = (lon == records[i].longitude || (lon == -1800000 && records[i].longitude == 1800000)) &&
                      test::exactTenThousandths(points[i].lat) == records[i].latitude;
    if (same) continue;
    if (count++ == 0) {
      first = "camera " + std::to_string(i + 1) + " stored " + std::to_string(records[i].longitude) + "," +
              std::to_string(records[i].latitude) + " read " + points[i].lon + "," + points[i].lat;
    }
  }
  return count;
}

class ExportReaders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::mt19937 random(16);
    records_ = new std::vector<CameraRecord>(test::randomSortedRecords(random, 100000));
  }
  static void TearDownTestSuite() {
    delete records_;
    records_ = nullptr;
  }

  // The export of every record, as a file in `dir`.
  static std::string exportTo(const test::TempDir& dir, ExportFormat format) {
    const std::vector<std::uint8_t> file = encodeDatabase(DbDate{2019, 11, 5}, RandomBlock{}, *records_);
    MemorySource source(file);
    std::string text;
    exportRecords(source, records_->size(), format, "DB_191105.dbh", [&](const std::string& piece) { text += piece; });
    const std::string name = std::string("cameras.") + exportFormatName(format);
    test::writeText(dir / name, text);
    return name;
  }

  static std::vector<CameraRecord>* records_;
};

std::vector<CameraRecord>* ExportReaders::records_ = nullptr;

TEST_F(ExportReaders, GdalAndGpsBabelReadEveryCameraAtTheStoredValue) {
  const bool haveGdal = haveTool("ogrinfo"), haveBabel = haveTool("gpsbabel");
  if (!haveGdal && !haveBabel) {
    GTEST_SKIP() << "neither ogrinfo (gdal-bin) nor gpsbabel is installed (scripts/install-deps.sh installs both)";
  }
  if (!haveGdal) std::cerr << "ogrinfo is not installed (gdal-bin): only GPSBabel reads the exports\n";
  if (!haveBabel) std::cerr << "gpsbabel is not installed: only GDAL reads the exports\n";
  test::TempDir dir;
  for (const ExportFormat format : {ExportFormat::Gpx, ExportFormat::Kml, ExportFormat::GeoJson}) {
    const std::string file = exportTo(dir, format);
    struct Reader {
      const char* name;
      std::vector<TextPoint> points;
    };
    std::vector<Reader> readers;
    if (haveGdal) readers.push_back({"ogrinfo", readWithOgrinfo(dir.path(), file)});
    if (haveBabel) readers.push_back({"gpsbabel", readWithGpsBabel(dir.path(), file, exportFormatName(format))});
    for (const Reader& reader : readers) {
      SCOPED_TRACE(std::string(exportFormatName(format)) + " read by " + reader.name);
      ASSERT_EQ(reader.points.size(), records_->size());
      std::string first;
      EXPECT_EQ(misplaced(*records_, reader.points, first), 0u) << "first: " << first;
    }
  }
}

// The fields GDAL gives each feature ("  name (Type) = value"), keyed
// "name (Type)", plus "Style" when a feature has one.
std::vector<std::map<std::string, std::string>> ogrFeatures(const std::string& text) {
  std::vector<std::map<std::string, std::string>> features;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("OGRFeature(", 0) == 0) {
      features.emplace_back();
      continue;
    }
    const std::size_t equals = line.find(" = ");
    if (features.empty() || line.rfind("  ", 0) != 0 || equals == std::string::npos) continue;
    features.back()[line.substr(2, equals - 2)] = line.substr(equals + 3);
  }
  return features;
}

// GPX bounds longitudes below 180: the seam's cameras, the poles and the
// origin give a document its schema takes (the test carries the part of
// the GPX 1.1 schema that waypoints use).
TEST(StyledExports, GpxAtTheEdgesIsValidAgainstTheSchema) {
  if (!haveTool("xmllint")) GTEST_SKIP() << "needs xmllint (libxml2-utils; scripts/install-deps.sh installs it)";
  const std::vector<CameraRecord> records{{-900000, -1800000, 1, 60, 0, 0}, {0, 0, 2, 0, 1, directionCode(90)},
                                          {900000, 1800000, 5, 50, 2, directionCode(180)},
                                          {523456, 1799999, 4, 80, 0, 0}};
  test::TempDir dir;
  const std::vector<std::uint8_t> file = encodeDatabase(DbDate{2019, 11, 5}, RandomBlock{}, records);
  MemorySource source(file);
  std::string text;
  exportRecords(source, records.size(), ExportFormat::Gpx, "edges", [&](const std::string& piece) { text += piece; });
  test::writeText(dir / "edges.gpx", text);
  const test::CliRun run =
      test::runShell(dir.path(), std::string("xmllint --noout --schema '") + TABRINO_GPX_SCHEMA + "' edges.gpx");
  EXPECT_EQ(run.exitCode, 0) << run.err << text;
  EXPECT_NE(text.find("lon=\"-180\"><name>Mobile camera"), std::string::npos) << text;
}

TEST(StyledExports, GdalAndGpsBabelSeeEachTypesStyle) {
  if (!haveTool("ogrinfo") || !haveTool("gpsbabel")) {
    GTEST_SKIP() << "needs ogrinfo (gdal-bin) and gpsbabel (scripts/install-deps.sh installs both)";
  }
  // One camera of each styled type and one of a type without a common meaning.
  std::vector<CameraRecord> records;
  for (const std::uint8_t type : std::vector<std::uint8_t>{1, 2, 3, 4, 5, 192}) {
    records.push_back({static_cast<std::int32_t>(525000 + type), 134000, type, 60, 1, directionCode(90)});
  }
  test::TempDir dir;
  const std::vector<std::uint8_t> file = encodeDatabase(DbDate{2019, 11, 5}, RandomBlock{}, records);
  auto write = [&](ExportFormat format) {
    MemorySource source(file);
    std::string text;
    exportRecords(source, records.size(), format, "DB_191105.dbh", [&](const std::string& piece) { text += piece; });
    const std::string name = std::string("cameras.") + exportFormatName(format);
    test::writeText(dir / name, text);
    return name;
  };
  auto ogr = [&](const std::string& name) {
    const test::CliRun run = test::runShell(dir.path(), "ogrinfo -ro -q -al " + name);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto features = ogrFeatures(run.out);
    EXPECT_EQ(features.size(), records.size()) << run.out;
    return features;
  };
  auto babel = [&](const std::string& name, const char* format) {
    const test::CliRun run = test::runShell(dir.path(), std::string("gpsbabel -i ") + format + " -f " + name + " -o gpx -F -");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
  };

  const std::string geojson = write(ExportFormat::GeoJson), kml = write(ExportFormat::Kml), gpx = write(ExportFormat::Gpx);
  const auto fromGeoJson = ogr(geojson), fromKml = ogr(kml), fromGpx = ogr(gpx);
  const std::string babelGpx = babel(gpx, "gpx"), babelKml = babel(kml, "kml"), babelGeoJson = babel(geojson, "geojson");
  std::map<std::string, int> colours, symbols, gpxSymbols;
  for (std::size_t i = 0; i < records.size() && i < fromGeoJson.size() && i < fromKml.size() && i < fromGpx.size(); ++i) {
    const CameraRecord& record = records[i];
    const TypeStyle look = cameraTypeStyle(record.type);
    const std::string type = std::to_string(record.type), name = cameraName(record);
    SCOPED_TRACE(name);
    ++colours[look.colour];
    ++symbols[look.symbol];
    ++gpxSymbols[look.gpxSymbol];

    EXPECT_EQ(fromGeoJson[i].at("marker-color (String)"), look.colour);
    EXPECT_EQ(fromGeoJson[i].at("marker-symbol (String)"), look.symbol);
    EXPECT_EQ(fromGeoJson[i].at("title (String)"), name);

    // The schema makes the fields numbers, and each placemark points at its type's style.
    EXPECT_EQ(fromKml[i].at("type (Integer)"), type);
    EXPECT_EQ(fromKml[i].at("speed (Integer)"), "60");
    EXPECT_EQ(fromKml[i].at("direction (Integer)"), "90");
    // Each placemark's mark in its type's colour, turned to its heading.
    std::string colour = look.colour;
    std::transform(colour.begin(), colour.end(), colour.begin(), [](unsigned char c) { return std::toupper(c); });
    EXPECT_EQ(fromKml[i].at("Style"), "SYMBOL(a:90.000000,c:" + colour + "FF)");

    EXPECT_EQ(fromGpx[i].at("sym (String)"), look.gpxSymbol);
    EXPECT_EQ(fromGpx[i].at("tabrino_heading (Integer)"), "90");
    EXPECT_EQ(fromGpx[i].at("tabrino_id (Integer)"), std::to_string(i + 1));
    for (const std::string* read : {&babelGpx, &babelKml, &babelGeoJson}) {
      EXPECT_NE(read->find("<name>" + name + "</name>"), std::string::npos) << *read;
    }
  }
  EXPECT_EQ(colours.size(), records.size()) << "each type its own colour";
  EXPECT_EQ(symbols.size(), records.size()) << "and its own symbol";
  // GPS units know a symbol for fixed, red-light, section and mobile cameras
  // (red-light cameras of both kinds share one), and a waypoint for the rest.
  EXPECT_EQ(gpxSymbols, (std::map<std::string, int>{
                            {"Danger Area", 1}, {"Traffic Light", 2}, {"Flag, Blue", 1}, {"Car", 1}, {"Waypoint", 1}}));
  for (const auto& [symbol, count] : gpxSymbols) {
    EXPECT_NE(babelGpx.find("<sym>" + symbol + "</sym>"), std::string::npos) << symbol;
  }
  // Each style is defined once, with its colour in KML's aabbggrr order, on
  // the viewer's own mark (nothing to fetch), turned to each heading.
  const std::string kmlText = test::readText(dir / kml);
  EXPECT_NE(kmlText.find("<Style id=\"type-1\"><IconStyle><color>ff005ed5</color></IconStyle></Style>"),
            std::string::npos);
  EXPECT_EQ(kmlText.find("http"), kmlText.find("http://www.opengis.net/kml/2.2")) << "no address but the namespace";
  EXPECT_NE(kmlText.find("<heading>90</heading>"), std::string::npos);
}

}  // namespace
}  // namespace tabrino
