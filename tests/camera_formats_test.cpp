// The formats lists are shared in, each read through the inputs as every
// command reads them: a table of small files, one per format and rule, each
// compared with the records a list with the same cells gives, on the lines
// they were found on, and with the findings expected.
#include "core/formats/camera_formats.h"
#include "core/list/list_text.h"
#include "core/run/inputs.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeText;

// What reading a file gave: "X,Y,TYPE,SPEED,DIRTYPE,DIRECTION line N" per
// row, and "N kind" per finding.
struct Read {
  ImportOutcome outcome = ImportOutcome::Loaded;
  std::vector<std::string> rows;
  std::vector<std::string> findings;
};

Read readFile(const fs::path& path, const CameraDefaults& defaults = {}) {
  InputFile input(path);
  CameraTable table;
  ListSources sources;
  FindingList findings;
  InputOptions options;
  options.import.findings = &findings;
  options.cameraDefaults = defaults;
  Read read;
  read.outcome = readInput(input, table, sources, options).outcome;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::optional<CameraRecord> record = table.record(i);
    read.rows.push_back((record ? recordFieldsText(*record) : "out of range") + " line " + std::to_string(table.tag(i) + 1));
  }
  for (const ListFinding& finding : findings.all()) {
    read.findings.push_back(std::to_string(finding.lineNumber) + " " + findingKindName(finding.kind));
  }
  return read;
}

// The row a list line with these cells ("X,Y,TYPE,SPEED,DIRTYPE,DIRECTION") gives.
std::string listRow(const std::string& cells, std::uint64_t line) {
  std::vector<std::string_view> parts;
  std::string_view rest = cells;
  for (std::size_t comma; (comma = rest.find(',')) != std::string_view::npos; rest.remove_prefix(comma + 1)) {
    parts.push_back(rest.substr(0, comma));
  }
  parts.push_back(rest);
  const std::optional<CameraRecord> record = recordFromCells({parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]});
  return (record ? recordFieldsText(*record) : "out of range") + " line " + std::to_string(line);
}

struct Case {
  const char* what;
  const char* name;
  std::string content;
  std::optional<CameraFormat> format;
  std::vector<std::pair<std::string, std::uint64_t>> rows;  // list cells, line
  std::vector<std::string> findings;
};

std::string ov2Record(std::uint8_t type, std::int32_t lon, std::int32_t lat, const std::string& name) {
  std::string bytes(1, static_cast<char>(type));
  const auto put = [&](std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(static_cast<std::uint32_t>(13 + name.size() + 1));
  put(static_cast<std::uint32_t>(lon));
  put(static_cast<std::uint32_t>(lat));
  return bytes + name + '\0';
}

std::string ov2File() {
  std::string skipper("\x01\x15\x00\x00\x00", 5);
  skipper += std::string(16, '\x01');
  std::string deleted("\x00\x0a\x00\x00\x00xxxxx", 10);
  std::string cut("\x02\xf4\x01\x00\x00" "abc", 8);  // 500 bytes, past the end
  return skipper + ov2Record(2, 1156789, 4812345, "Blitzer@50") + deleted + ov2Record(3, -1156789, -4812349, "south") + cut;
}

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"GPX: any prefix, attributes in any order, CDATA and entities in the name, route and track points counted once",
       "a.gpx",
       "<?xml version=\"1.0\"?>\n<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\">\n"
       "<g:wpt lon=\"11.5678\" lat=\"48.1234\"><g:name><![CDATA[Radar <A>]]> &amp; @80</g:name></g:wpt>\n"
       "<g:wpt lat=\"-0.0003\" lon=\"7\"><g:type>Speed camera</g:type></g:wpt>\n"
       "<g:rte><g:rtept lat=\"1\" lon=\"1\"/></g:rte>\n<g:trk><g:trkseg><g:trkpt lat=\"1\" lon=\"1\"/><g:trkpt lat=\"2\" lon=\"2\"/></g:trkseg></g:trk>\n"
       "</g:gpx>\n",
       CameraFormat::Gpx,
       {{"11.5678,48.1234,1,80,0,0", 3}, {"7,-0.0003,1,0,0,0", 4}},
       {"5 not-a-camera"}},
      {"GPX: fields in extensions by name; a heading gives DIRTYPE 1; mph where the text says so",
       "b.gpx",
       "<gpx><wpt lat=\"48.1\" lon=\"11.5\"><extensions><maxspeed>30 mph</maxspeed><heading>90</heading><type>5</type></extensions></wpt>\n"
       "<wpt lat=\"48.2\" lon=\"11.6\"><course>180</course><extensions><dirtype>2</dirtype><speed>50</speed></extensions></wpt></gpx>\n",
       CameraFormat::Gpx,
       {{"11.5,48.1,5,48,1,90", 1}, {"11.6,48.2,1,50,2,180", 2}},
       {}},
      {"KML: Placemarks at any depth of Folders, Data and SimpleData by name, a MultiGeometry's points, altitude ignored",
       "c.kml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><name>x@30</name>\n"
       "<Folder><Folder><Placemark><name>Cam @60</name><Point><coordinates> 11.5,48.1,520 </coordinates></Point></Placemark></Folder></Folder>\n"
       "<Placemark><ExtendedData><Data name=\"MaxSpeed\"><value>70</value></Data><SchemaData><SimpleData name=\"Bearing\">45</SimpleData></SchemaData></ExtendedData>\n"
       "<MultiGeometry><Point><coordinates>11.6,48.2</coordinates></Point><Point><coordinates>11.7,48.3</coordinates></Point></MultiGeometry></Placemark>\n"
       "<Placemark><LineString><coordinates>1,1 2,2</coordinates></LineString></Placemark>\n"
       "</Document></kml>\n",
       CameraFormat::Kml,
       {{"11.5,48.1,1,60,0,0", 3}, {"11.6,48.2,1,70,1,45", 4}, {"11.7,48.3,1,70,1,45", 4}},
       {"6 not-a-camera"}},
      {"GeoJSON: a FeatureCollection; text numbers, MultiPoint, null and other geometries",
       "d.geojson",
       "{\"type\":\"FeatureCollection\",\"features\":[\n"
       "{\"properties\":{\"maxspeed\":\"50\",\"heading\":90.0,\"type\":2},\"type\":\"Feature\",\"geometry\":{\"coordinates\":[11.5,48.1,3],\"type\":\"Point\"}},\n"
       "{\"type\":\"Feature\",\"geometry\":{\"type\":\"MultiPoint\",\"coordinates\":[[11.6,48.2],[12,-0.0003]]},\"properties\":{\"name\":\"R@40\",\"extra\":{\"speed\":99}}},\n"
       "{\"type\":\"Feature\",\"geometry\":null,\"properties\":{}},\n"
       "{\"type\":\"Feature\",\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[1,1],[2,2]]},\"properties\":null}\n"
       "]}\n",
       CameraFormat::GeoJson,
       {{"11.5,48.1,2,50,1,90", 2}, {"11.6,48.2,1,40,0,0", 3}, {"12,-0.0003,1,40,0,0", 3}},
       {"4 not-a-camera", "5 not-a-camera"}},
      {"GeoJSON: a bare geometry",
       "e.json",
       "{\"type\": \"Point\", \"coordinates\": [ 1e1, 48.5 ]}",
       CameraFormat::GeoJson,
       {{"1e1,48.5,1,0,0,0", 1}},
       {}},
      {"GeoJSON: a text sequence, record separators and one Feature a line",
       "f.geojsons",
       "\x1e{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[11.5,48.1]},\"properties\":{\"vmax\":80}}\n"
       "\x1e{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[11.6,48.2]},\"properties\":{\"speed_limit\":\"30 mph\"}}\n"
       "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[11.7,48.3]},\"properties\":{}}\n",
       CameraFormat::GeoJson,
       {{"11.5,48.1,1,80,0,0", 1}, {"11.6,48.2,1,48,0,0", 2}, {"11.7,48.3,1,0,0,0", 3}},
       {}},
      {"Named-column CSV: ';' with decimal commas, columns in any order, quoting over lines, blank lines",
       "g.csv",
       "Name;Latitude;Longitude;Speed_Limit;Angle\r\n\"Blitzer; \"\"A\"\"\";48,1234;11,5678;50;270\r\n\r\n\"two\nlines@90\";48.2;11.6;;\r\nx;y;z;;\r\n",
       CameraFormat::NamedCsv,
       {{"11.5678,48.1234,1,50,1,270", 2}, {"11.6,48.2,1,90,0,0", 4}, {"z,y,1,0,0,0", 6}},
       {"6 not-a-number", "6 not-a-number"}},
      {"Named-column CSV: tab-separated, a type column",
       "h.txt",
       "lon\tlat\ttype\tdirtype\tdirection\n11.5\t48.1\t4\t2\t90\n",
       CameraFormat::NamedCsv,
       {{"11.5,48.1,4,0,2,90", 2}},
       {}},
      {"POI CSV: the speed after @ in the name, else the file name's; spaces around cells",
       "GATSO_50.csv",
       "11.5,48.1,\"Camera@80\",\"comment\"\n 11.6 , 48.2 , \"Other\"\n\nstray\n",
       CameraFormat::PoiCsv,
       {{"11.5,48.1,1,80,0,0", 1}, {"11.6,48.2,1,50,0,0", 2}},
       {"4 no-comma"}},
      {"POI CSV: a number set off by @ in the file name; not one run into a word",
       "FR_SPEED_CAMERA@60.csv",
       "11.5,48.1,\"Camera\"\n",
       CameraFormat::PoiCsv,
       {{"11.5,48.1,1,60,0,0", 1}},
       {}},
      {"POI CSV: no number standing alone in the file name",
       "list2.txt",
       "11.5,48.1,\"Camera\"\n",
       CameraFormat::PoiCsv,
       {{"11.5,48.1,1,0,0,0", 1}},
       {}},
      {"OV2: skipper read past, deleted skipped, types 2 and 3, a record past the end ends the read",
       "SpeedCams_80.ov2",
       ov2File(),
       CameraFormat::Ov2,
       {{"11.5678,48.12341,1,50,0,0", 2}, {"-11.5678,-48.12341,1,80,0,0", 3}},
       {"0 unreadable"}},
      {"Out of range: a finding, as for a list",
       "i.gpx",
       "<gpx><wpt lat=\"91\" lon=\"0\"/></gpx>",
       CameraFormat::Gpx,
       {{"0,91,1,0,0,0", 1}},
       {"1 out-of-range"}},
  };
  return all;
}

TEST(CameraFormats, EachFormatAndRuleGivesTheRecordsOfTheSameListCells) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path path = dir / c.name;
    writeText(path, c.content);
    const std::string head = c.content.substr(0, kFormatHeadSize);
    EXPECT_EQ(cameraFormatOf(head, path), c.format);
    const Read read = readFile(path);
    EXPECT_EQ(read.outcome, ImportOutcome::Loaded);
    std::vector<std::string> expected;
    for (const auto& [cells, line] : c.rows) expected.push_back(listRow(cells, line));
    EXPECT_EQ(read.rows, expected);
    EXPECT_EQ(read.findings, c.findings);
  }
}

TEST(CameraFormats, TypeAndSpeedForAWholeInputFillOnlyWhatTheFileDoesNotSay) {
  TempDir dir;
  const fs::path path = dir / "cams_50.csv";
  writeText(path, "11.5,48.1,\"A\"\n11.6,48.2,\"B@70\"\n");
  CameraDefaults defaults;
  defaults.type = 5;
  defaults.speed = 30;
  EXPECT_EQ(readFile(path, defaults).rows,
            (std::vector<std::string>{listRow("11.5,48.1,5,30,0,0", 1), listRow("11.6,48.2,5,70,0,0", 2)}));
  writeText(path, "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[1,2]},\"properties\":{\"type\":\"3\",\"speed\":90}}");
  EXPECT_EQ(readFile(path, defaults).rows, std::vector<std::string>{listRow("1,2,3,90,0,0", 1)});
}

TEST(CameraFormats, ListsAndFilesInNoFormatStayOnTheListPath) {
  struct Text {
    const char* content;
    ImportOutcome outcome;
  };
  const Text texts[] = {
      {"IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,11.5,48.1,1,50,0,0\n", ImportOutcome::Loaded},
      // Our list's header passes even where its names would pass as a CSV's.
      {"lon,X,lat\n1,11.5,48.1,1,50,0,0\n", ImportOutcome::Loaded},
      // A headerless list is no POI CSV: its third cell is a number.
      {"1,11.5,48.1,1,50,0,0\n", ImportOutcome::WrongHeader},
      {"just words\n", ImportOutcome::WrongHeader},
      // Our list's header miswritten is no CSV: the list's messages say how to mend it.
      {"idx,x,y\n1,2,3\n", ImportOutcome::WrongHeader},
      {"IDX;X;Y;TYPE;SPEED;DIRTYPE;DIRECTION\n1;13.3;52.5;2;60;2;30\n", ImportOutcome::WrongHeader},
      {"<html><body/></html>", ImportOutcome::WrongHeader},
  };
  for (const Text& text : texts) {
    SCOPED_TRACE(text.content);
    TempDir dir;
    writeText(dir / "list.txt", text.content);
    EXPECT_EQ(cameraFormatOf(text.content, dir / "list.txt"), std::nullopt);
    EXPECT_EQ(readFile(dir / "list.txt").outcome, text.outcome);
  }
}

TEST(CameraFormats, BrokenFilesAreRefusedNamingTheFileAndThePlace) {
  struct Broken {
    const char* name;
    std::string content;
    const char* message;
  };
  const Broken broken[] = {
      {"a.gpx", "<gpx>\n<wpt lat=\"1\" lon=\"2\">\n</gpx>", "Cannot read the GPX file"},
      {"b.kml", "<kml><Placemark>", "Cannot read the KML file"},
      {"c.geojson", "{\"type\":\"Feature\",\n\"geometry\":{", "Cannot read the GeoJSON file"},
      {"d.kmz", std::string("PK\x03\x04", 4) + "not a zip", "Cannot read the KMZ file"},
      // Entities are refused, before an external one is fetched or a few
      // bytes grow into gigabytes; nesting is bounded.
      {"e.gpx",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [\n<!ENTITY a \"aaaaaaaaaa\">\n<!ENTITY b \"&a;&a;&a;&a;&a;\">\n]>\n"
       "<gpx><wpt lat=\"1\" lon=\"2\"><name>&b;</name></wpt></gpx>",
       "line 3: the file declares entities"},
      {"f.kml", "<?xml version=\"1.0\"?>\n<!DOCTYPE kml [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n<kml>&x;</kml>",
       "the file declares entities"},
      {"g.kml", "<kml>" + std::string(300, '\n') + [] {
         std::string nested;
         for (int i = 0; i < 300; ++i) nested += "<Folder>";
         return nested;
       }(), "elements nested deeper than 256"},
      {"h.geojson", "{\"type\":\"FeatureCollection\",\n\"features\":" + std::string(100, '['),
       "line 2: objects and arrays nested deeper than 64"},
  };
  for (const Broken& file : broken) {
    SCOPED_TRACE(file.name);
    TempDir dir;
    writeText(dir / file.name, file.content);
    try {
      readFile(dir / file.name);
      ADD_FAILURE() << "read without a failure";
    } catch (const TabrinoError& error) {
      const std::string text = error.what();
      EXPECT_NE(text.find(file.message), std::string::npos) << text;
      EXPECT_NE(text.find(file.name), std::string::npos) << text;
    }
  }
}

TEST(CameraFormats, SeveralInputsNumberTheirLinesOnAndKeepTextForTheDialog) {
  TempDir dir;
  writeText(dir / "a.txt", "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,11.5,48.1,1,50,0,0\n");
  writeText(dir / "b.gpx", "<gpx>\n<trk><trkpt lat=\"1\" lon=\"1\"/></trk>\n\n<wpt lat=\"48.2\" lon=\"11.6\"/>\n</gpx>\n");
  for (const bool keepText : {false, true}) {
    SCOPED_TRACE(keepText);
    CameraTable table;
    ListSources sources;
    FindingList findings;
    InputOptions options;
    options.import.findings = &findings;
    options.import.keepText = keepText;
    options.severalInputs = true;
    for (const char* name : {"a.txt", "b.gpx"}) {
      InputFile input(dir / name, name);
      ASSERT_TRUE(readInput(input, table, sources, options).loaded());
    }
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(sources.placeText(table.tag(1) + 1), "b.gpx line 4");
    ASSERT_EQ(findings.all().size(), 1u);
    EXPECT_EQ(sources.placeText(findings.all()[0].lineNumber), "b.gpx line 2");
    EXPECT_EQ(table.record(1), recordFromCells({"11.6", "48.2", "1", "0", "0", "0"}));
    if (keepText) {
      EXPECT_EQ(table.cell(1, Column::Y), "48.2");
    }
  }
}

}  // namespace
}  // namespace tabrino
