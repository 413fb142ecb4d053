// Exports read back as their clients read them: every camera, at the stored
// coordinates, with its name and fields.
#include "core/export/geo_export.h"

#include "core/base/c_numbers.h"
#include "core/list/list_text.h"
#include "core/model/coordinate_text.h"
#include "markup_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace tabrino {
namespace {

using test::JsonValue;
using test::XmlElement;

constexpr DbDate kDate{2019, 11, 5};

// One camera as an export gives it back, in the export's own text.
struct ReadCamera {
  std::string lon, lat, name, type, speed, dirType, direction;
};

std::vector<ReadCamera> readGpx(const std::string& text) {
  const XmlElement gpx = test::parseXml(text);
  EXPECT_EQ(gpx.name, "gpx");
  EXPECT_EQ(gpx.attribute("version"), "1.1");
  EXPECT_EQ(gpx.attribute("xmlns"), "http://www.topografix.com/GPX/1/1");
  std::vector<ReadCamera> cameras;
  for (const XmlElement* wpt : gpx.all("wpt")) {
    const XmlElement* extensions = wpt->child("extensions");
    // GPX takes longitudes below 180; the stored 180 is in the extension.
    std::string lon = wpt->attribute("lon");
    if (const XmlElement* seam = extensions->child("tabrino:lon")) {
      EXPECT_EQ(lon, "-180");
      lon = seam->text;
    }
    EXPECT_NE(wpt->attribute("lon"), "180") << "GPX takes longitudes below 180";
    cameras.push_back({lon, wpt->attribute("lat"), wpt->child("name")->text,
                       extensions->child("tabrino:type")->text, extensions->child("tabrino:speed")->text,
                       extensions->child("tabrino:dirtype")->text, extensions->child("tabrino:direction")->text});
  }
  return cameras;
}

std::vector<ReadCamera> readKml(const std::string& text) {
  const XmlElement kml = test::parseXml(text);
  EXPECT_EQ(kml.attribute("xmlns"), "http://www.opengis.net/kml/2.2");
  std::vector<ReadCamera> cameras;
  for (const XmlElement* placemark : kml.all("Placemark")) {
    ReadCamera camera;
    const std::string coordinates = placemark->child("Point")->child("coordinates")->text;
    const std::size_t comma = coordinates.find(',');
    camera.lon = coordinates.substr(0, comma);
    camera.lat = coordinates.substr(comma + 1);
    camera.name = placemark->child("name")->text;
    for (const XmlElement* data : placemark->all("SimpleData")) {
      const std::string value = data->text;
      const std::string key = data->attribute("name");
      (key == "type" ? camera.type : key == "speed" ? camera.speed : key == "dirtype" ? camera.dirType
                                                                                       : camera.direction) = value;
    }
    cameras.push_back(camera);
  }
  return cameras;
}

std::vector<ReadCamera> readGeoJson(const std::string& text) {
  const JsonValue collection = test::parseJson(text);
  EXPECT_EQ(collection["type"].text, "FeatureCollection");
  std::vector<ReadCamera> cameras;
  for (const JsonValue& feature : collection["features"].items) {
    EXPECT_EQ(feature["geometry"]["type"].text, "Point");
    const JsonValue& coordinates = feature["geometry"]["coordinates"];
    const JsonValue& properties = feature["properties"];
    cameras.push_back({coordinates.items.at(0).text, coordinates.items.at(1).text, properties["name"].text,
                       properties["type"].text, properties["speed"].text, properties["dirtype"].text,
                       properties["direction"].text});
  }
  return cameras;
}

std::string exported(const std::vector<CameraRecord>& records, ExportFormat format, const std::string& title) {
  const std::vector<std::uint8_t> file = encodeDatabase(kDate, RandomBlock{}, records);
  MemorySource source(file);
  std::string text;
  exportRecords(source, records.size(), format, title, [&](const std::string& piece) { text += piece; });
  return text;
}

TEST(GeoExport, EachFormatGivesBackEveryCameraAtItsStoredPlaceWithItsFields) {
  std::mt19937 random(12);
  // Enough records to span several output blocks; the edges of the bounds turn up often.
  const std::vector<CameraRecord> records = test::randomSortedRecords(random, 3000);
  const struct {
    ExportFormat format;
    std::vector<ReadCamera> (*read)(const std::string&);
  } formats[] = {{ExportFormat::Gpx, readGpx}, {ExportFormat::Kml, readKml}, {ExportFormat::GeoJson, readGeoJson}};
  for (const auto& [format, read] : formats) {
    SCOPED_TRACE(exportFormatName(format));
    EXPECT_TRUE(read(exported({}, format, "empty.dbh")).empty());

    const std::vector<ReadCamera> cameras = read(exported(records, format, "DB_191105.dbh"));
    ASSERT_EQ(cameras.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      const CameraRecord& record = records[i];
      const ReadCamera& camera = cameras[i];
      // The stored value itself, as a reader takes the digits: not a text
      // that only truncates back to it.
      ASSERT_EQ(test::exactTenThousandths(camera.lon), record.longitude) << i << " " << camera.lon;
      ASSERT_EQ(test::exactTenThousandths(camera.lat), record.latitude) << i << " " << camera.lat;
      ASSERT_EQ(camera.lon, exactCoordinateText(record.longitude)) << i;
      ASSERT_EQ(camera.name, cameraName(record)) << i;
      ASSERT_EQ(camera.type, std::to_string(record.type)) << i;
      ASSERT_EQ(camera.speed, std::to_string(record.speed)) << i;
      ASSERT_EQ(camera.dirType, std::to_string(record.directionType)) << i;
      // The direction a list would hold, which converts back to the stored code.
      ASSERT_EQ(directionCode(atoiC(camera.direction)), record.directionCode) << i << " " << camera.direction;
    }
  }
}

TEST(GeoExport, ExactCoordinatesAreTheStoredValueWhereTheListsTextOnlyTruncatesToIt) {
  const struct {
    std::int32_t scaled;
    const char* exact;
    const char* list;
  } cases[] = {
      {409709, "40.9709", "40.971"}, {376049, "37.6049", "37.605"}, {409700, "40.97", "40.97"},
      {0, "0", "0"},                 {-5, "-0.0005", "-0.0005"},    {3, "0.0003", "0.00031"},
      {-1800000, "-180", "-180"},    {900001, "90.0001", "90.0001"}, {INT_MIN, "-214748.3648", "-214748.3648"},
  };
  for (const auto& [scaled, exact, list] : cases) {
    EXPECT_EQ(exactCoordinateText(scaled), exact) << scaled;
    EXPECT_EQ(coordinateText(scaled), list) << scaled;  // the list's rule is unchanged
  }
  std::mt19937 random(16);
  for (int i = 0; i < 100000; ++i) {
    const auto scaled = static_cast<std::int32_t>(random());
    ASSERT_EQ(test::exactTenThousandths(exactCoordinateText(scaled)), scaled);
  }
}

TEST(GeoExport, TitlesWithMarkupOrControlCharactersStayReadable) {
  const std::string title = "a&b <c> \"d\" \\e\tf\x01g.dbh";
  const CameraRecord record{557500, 375000, 1, 60, 1, directionCode(90)};
  EXPECT_EQ(test::parseXml(exported({record}, ExportFormat::Gpx, title)).child("metadata")->child("name")->text,
            "a&b <c> \"d\" \\e\tfg.dbh");
  EXPECT_EQ(test::parseXml(exported({record}, ExportFormat::Kml, title)).child("Document")->child("name")->text,
            "a&b <c> \"d\" \\e\tfg.dbh");
  EXPECT_EQ(test::parseJson(exported({record}, ExportFormat::GeoJson, title))["name"].text, title);
}

TEST(GeoExport, NamesSayTypeSpeedAndHeading) {
  const struct {
    CameraRecord record;
    const char* name;
  } cases[] = {
      {{0, 0, 1, 60, 1, directionCode(90)}, "Fixed camera 60 km/h, heading 90\u00B0"},
      {{0, 0, 2, 0, 0, 0}, "Red-light and speed camera, all directions"},
      {{0, 0, 3, 50, 2, directionCode(300)}, "Red-light camera 50 km/h, headings 120\u00B0 and 300\u00B0"},
      {{0, 0, 4, 110, 1, directionCode(0)}, "Section control 110 km/h, heading 0\u00B0"},
      {{0, 0, 5, 40, 1, directionCode(359)}, "Mobile camera 40 km/h, heading 358\u00B0"},  // stored in steps of 2
      {{0, 0, 192, 30, 7, 0}, "Camera type 192, 30 km/h, direction type 7"},
  };
  for (const auto& [record, name] : cases) EXPECT_EQ(cameraName(record), name);
}

TEST(GeoExport, FormatNamesRoundTrip) {
  for (const ExportFormat format : {ExportFormat::List, ExportFormat::Gpx, ExportFormat::Kml, ExportFormat::GeoJson}) {
    EXPECT_EQ(exportFormatNamed(exportFormatName(format)), format);
  }
  EXPECT_EQ(exportFormatNamed("GPX"), std::nullopt);
  EXPECT_EQ(exportFormatNamed(""), std::nullopt);
}

}  // namespace
}  // namespace tabrino
