#include "core/osm/osm_extract.h"

#include "core/base/errors.h"
#include "core/base/utf8_text.h"
#include "core/list/list_text.h"
#include "core/model/camera_record.h"
#include "core/osm/editor_deletions.h"
#include "core/osm/osm_rules.h"
#include "core/platform/file_io.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;

// The hand-made extract and its expected lists; its .osm.pbf and .osm.bz2
// are made from it at build time with osmium cat.
const fs::path kFixtures = TABRINO_OSM_FIXTURE_DIR;
const fs::path kGenerated = TABRINO_OSM_GENERATED_DIR;

struct Extracted {
  std::string list;
  std::string report;
};

Extracted extracted(const CameraTable& table, const FindingList& findings) {
  Extracted out{listHeaderLine(), findingsReportHeader()};
  for (std::size_t i = 0; i < table.size(); ++i) out.list += listLine(i + 1, *table.record(i));
  for (const ListFinding& finding : findings.all()) out.report += findingsReportLine(finding);
  return out;
}

Extracted extract(const fs::path& path, OsmDirectionUse direction) {
  FindingList findings;
  CameraTable table;
  readExtract(path, table, {direction, &findings, {}});
  return extracted(table, findings);
}

TEST(OsmRules, SpeedsFromMaxspeedValues) {
  const struct {
    const char* value;
    std::int32_t kmh;
    bool understood;
  } cases[] = {
      {"50", 50, true},     {" 50 km/h", 50, true}, {"30 mph", 48, true},  {"70mph", 113, true},
      {"DE:urban", 50, true}, {"GB:nsl_single", 97, true}, {"XX:urban", 0, false}, {"none", 0, false},
      {"signals", 0, false}, {"variable", 0, false}, {"50;30", 0, false},  {"50 knots", 0, false},
      {"0", 0, false},      {"300", 0, false},     {"fast", 0, false},
  };
  for (const auto& c : cases) {
    const OsmSpeed speed = osmSpeed(c.value);
    EXPECT_EQ(speed.kmh, c.kmh) << c.value;
    EXPECT_EQ(speed.problem.empty(), c.understood) << c.value;
  }
}

TEST(OsmRules, HeadingsFromDirectionValues) {
  const struct {
    const char* value;
    OsmDirectionUse use;
    std::optional<std::int32_t> degrees;
    bool bothWays;
  } cases[] = {
      {"NE", OsmDirectionUse::Travel, 45, false},       {"NE", OsmDirectionUse::Facing, 225, false},
      {"WSW", OsmDirectionUse::Travel, 248, false},     {"90", OsmDirectionUse::Travel, 90, false},
      {"359.6", OsmDirectionUse::Travel, 0, false},     {"200", OsmDirectionUse::Facing, 20, false},
      {"90;270", OsmDirectionUse::Travel, 90, true},    {"N;S", OsmDirectionUse::Facing, 180, true},
      {"90;200", OsmDirectionUse::Travel, std::nullopt, false}, {"361", OsmDirectionUse::Travel, std::nullopt, false},
      {"-10", OsmDirectionUse::Travel, std::nullopt, false},    {"north", OsmDirectionUse::Travel, 0, false},
      {"west", OsmDirectionUse::Facing, 90, false},             {"east; west", OsmDirectionUse::Travel, 90, true},
      {"North", OsmDirectionUse::Travel, std::nullopt, false},  {"northeast", OsmDirectionUse::Travel, std::nullopt, false},
      {"", OsmDirectionUse::Travel, std::nullopt, false},
  };
  for (const auto& c : cases) {
    const std::optional<OsmHeading> heading = osmHeading(c.value, c.use);
    ASSERT_EQ(heading.has_value(), c.degrees.has_value()) << c.value;
    if (!heading) continue;
    EXPECT_EQ(heading->degrees, *c.degrees) << c.value;
    EXPECT_EQ(heading->bothWays, c.bothWays) << c.value;
  }
}

// The ";" lists mappers write, with or without spaces, and the kinds of an
// enforcement relation read from them.
TEST(OsmRules, ListsAndEnforcementKinds) {
  EXPECT_EQ(osmListValues(" maxspeed ;traffic_signals; "), (std::vector<std::string_view>{"maxspeed", "traffic_signals", ""}));
  EXPECT_EQ(osmListValues("maxspeed"), (std::vector<std::string_view>{"maxspeed"}));
  const struct {
    const char* value;
    unsigned kinds;
  } cases[] = {
      {"maxspeed", kOsmSpeedKind},
      {"traffic_signals ; maxspeed", kOsmSpeedKind | kOsmSignalsKind},
      {"maxspeed; traffic_signals", kOsmSpeedKind | kOsmSignalsKind},
      {" average_speed", kOsmSectionKind},
      {"maxspeed;check", 0},
      {"maxspeed;", 0},
      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(osmEnforcementKinds(c.value), c.kinds) << c.value;
  for (const char* road : {"motorway", "trunk_link", "residential", "living_street", "service", "unclassified"}) {
    EXPECT_TRUE(isMotorRoad(road)) << road;
  }
  for (const char* path : {"footway", "path", "cycleway", "steps", "track", "pedestrian", "speed_camera", ""}) {
    EXPECT_FALSE(isMotorRoad(path)) << path;
  }
}

// An editor's deletion becomes visible="false" whatever the quotes, the
// editor's own visible attribute and where the file's pieces are cut; any
// other text passes as it is.
TEST(OsmRules, EditorDeletionsMarkedForTheParser) {
  const struct {
    const char* text;
    const char* mended;
  } cases[] = {
      {"<node id='-1' action='delete' visible='true' lat='1' lon='2'/>", "<node id='-1' visible='false' lat='1' lon='2'/>"},
      {"<way id=\"7\" action=\"delete\">", "<way id=\"7\" visible=\"false\">"},
      {"<relation action=\"delete\" id=\"7\" visible=\"true\"><tag k=\"a\" v=\"b\"/>",
       "<relation visible=\"false\" id=\"7\"><tag k=\"a\" v=\"b\"/>"},
      {"<node id='1' action='modify' lat='1' lon='2'/>", "<node id='1' action='modify' lat='1' lon='2'/>"},
      {"<tag k='note' v='action=\"delete\"'/><bounds action='delete'/>",
       "<tag k='note' v='action=\"delete\"'/><bounds action='delete'/>"},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("<osm>\n") + c.text + "\n</osm>\n";
    const std::string mended = std::string("<osm>\n") + c.mended + "\n</osm>\n";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
      EditorDeletions deletions;
      std::string got = deletions.mend(text.substr(0, cut));
      got += deletions.mend(text.substr(cut));
      got += deletions.rest();
      ASSERT_EQ(got, mended) << c.text << " cut at " << cut;
    }
  }
}

TEST(OsmRules, InitialBearings) {
  EXPECT_EQ(initialBearing(0, 0, 1, 0), 0);
  EXPECT_EQ(initialBearing(0, 0, 0, 1), 90);
  EXPECT_EQ(initialBearing(0, 0, -1, 0), 180);
  EXPECT_EQ(initialBearing(0, 0, 0, -1), 270);
  // Land's End to John o' Groats leaves at 9°07'.
  EXPECT_EQ(initialBearing(50.0359, -5.4253, 58.3838, -3.0412), 9);
  // Along a parallel the great circle starts north of east: 66°08' here.
  EXPECT_EQ(initialBearing(50, 0, 50, 60), 66);
  EXPECT_EQ(initialBearing(10, 179.5, 10, -179.5), 90);  // across the date line
}

// Every format gives the same list and the same findings; a format this build
// cannot read says how to get one it can.
TEST(OsmExtract, EveryFormatGivesTheGoldenListAndFindings) {
  const std::string list = test::readText(kFixtures / "cameras.txt");
  const std::string report = test::readText(kFixtures / "cameras-report.csv");
  const struct {
    fs::path path;
    ExtractFormat format;
  } extracts[] = {{kFixtures / "cameras.osm", ExtractFormat::Xml},
                  {kGenerated / "cameras.osm.pbf", ExtractFormat::Pbf},
                  {kGenerated / "cameras.osm.bz2", ExtractFormat::XmlBzip2}};
  for (const auto& e : extracts) {
    ASSERT_EQ(extractFormatOf(e.path), e.format) << e.path;
    if (!extractFormatReadable(e.format)) {
      try {
        extract(e.path, OsmDirectionUse::Ignore);
        ADD_FAILURE() << e.path << " read";
      } catch (const ExtractError& error) {
        EXPECT_NE(std::string(error.what()).find("convert it to .osm.pbf with osmium cat"), std::string::npos);
      }
      continue;
    }
    const Extracted got = extract(e.path, OsmDirectionUse::Ignore);
    EXPECT_EQ(got.list, list) << e.path;
    EXPECT_EQ(got.report, report) << e.path;
  }
}

// An extract is read through the file the caller opened, its first bytes
// already read: a file on disk again from its start for each pass, a stream
// on from where it stands, copied once. Under any name: a folder outside
// the ANSI code page is found on Windows too.
TEST(OsmExtract, ReadOnceFromAnOpenFileOrStreamUnderAnyName) {
  test::TempDir dir;
  const fs::path folder = dir.path() / fs::u8path("Kameras \xC3\xBC \xE6\x97\xA5\xE6\x9C\xAC");
  fs::create_directory(folder);
  const std::string list = test::readText(kFixtures / "cameras.txt");
  const std::string report = test::readText(kFixtures / "cameras-report.csv");
  const struct {
    fs::path fixture;
    ExtractFormat format;
  } extracts[] = {{kGenerated / "cameras.osm.pbf", ExtractFormat::Pbf},
                  {kFixtures / "cameras.osm", ExtractFormat::Xml},
                  {kGenerated / "cameras.osm.bz2", ExtractFormat::XmlBzip2}};
  for (const auto& e : extracts) {
    if (!extractFormatReadable(e.format)) continue;
    fs::path path = folder / fs::u8path("c\xC3\xA4meras");
    path += e.fixture.extension();
    fs::copy_file(e.fixture, path, fs::copy_options::overwrite_existing);
    EXPECT_EQ(extract(path, OsmDirectionUse::Ignore).list, list) << path;
    for (const bool onDisk : {true, false}) {
      const UniqueFile file = openFile(path, "rb");
      ASSERT_TRUE(file) << path;
      std::string head(kExtractHeadSize, '\0');
      head.resize(std::fread(&head[0], 1, head.size(), file.get()));
      ASSERT_EQ(extractFormatOf(head, {}), e.format) << path;
      FindingList findings;
      CameraTable table;
      readExtract({file.get(), head, {}, "extract", fs::file_size(path), onDisk}, table,
                  {OsmDirectionUse::Ignore, &findings, {}});
      const Extracted got = extracted(table, findings);
      EXPECT_EQ(got.list, list) << path << (onDisk ? " on disk" : " as a stream");
      EXPECT_EQ(got.report, report) << path << (onDisk ? " on disk" : " as a stream");
    }
  }
}

// 40,000 cameras without maxspeed, each on a road of its own: each takes
// its own road's speed, and its bearing for direction=forward or backward.
TEST(OsmExtract, ManyCamerasEachTakeTheirOwnRoad) {
  if (!extractFormatReadable(ExtractFormat::Xml)) GTEST_SKIP() << "this build reads no XML";
  constexpr int kCameras = 40000;
  test::TempDir dir;
  std::string xml = "<osm version=\"0.6\">\n";
  std::vector<CameraRecord> expected;
  std::string ways;
  for (int i = 0; i < kCameras; ++i) {
    // Places in 64ths of a degree: exact in every unit the reader goes through.
    const double lat = 40 + (i / 200) / 64.0, lon = 5 + (i % 200) / 64.0;
    const bool northwards = i % 2 == 0, backward = i % 3 == 0;
    const int speed = 30 + 10 * (i % 8);
    const long long id = 3LL * i + 1;
    char nodes[400];
    std::snprintf(nodes, sizeof nodes,
                  " <node id=\"%lld\" lat=\"%.6f\" lon=\"%.6f\"/>\n"
                  " <node id=\"%lld\" lat=\"%.6f\" lon=\"%.6f\"><tag k=\"highway\" v=\"speed_camera\"/>"
                  "<tag k=\"direction\" v=\"%s\"/></node>\n"
                  " <node id=\"%lld\" lat=\"%.6f\" lon=\"%.6f\"/>\n",
                  id, lat - 1 / 256.0, lon, id + 1, lat, lon, backward ? "backward" : "forward", id + 2,
                  lat + 1 / 256.0, lon);
    xml += nodes;
    const long long first = northwards ? id : id + 2, last = northwards ? id + 2 : id;
    ways += " <way id=\"" + std::to_string(i + 1) + "\"><nd ref=\"" + std::to_string(first) + "\"/><nd ref=\"" +
            std::to_string(id + 1) + "\"/><nd ref=\"" + std::to_string(last) +
            "\"/><tag k=\"highway\" v=\"primary\"/><tag k=\"maxspeed\" v=\"" + std::to_string(speed) +
            "\"/></way>\n";
    expected.push_back({scaleCoordinate(lat), scaleCoordinate(lon), 1, speedByte(speed), 1,
                        directionCode(northwards != backward ? 0 : 180)});
  }
  test::writeText(dir / "roads.osm", xml + ways + "</osm>\n");
  FindingSummary findings;
  CameraTable table;
  ASSERT_EQ(readExtract(dir / "roads.osm", table, {OsmDirectionUse::Travel, &findings, {}}),
            static_cast<std::size_t>(kCameras));
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(table.record(i), expected[i]) << "camera " << i;
  EXPECT_EQ(findings.count(FindingKind::OsmRoadSpeed), static_cast<std::uint64_t>(kCameras));
  EXPECT_EQ(findings.total(), static_cast<std::uint64_t>(kCameras));
  EXPECT_EQ(findings.examples(FindingKind::OsmRoadSpeed).back().detail, "node 8 (maxspeed 50 of way 3)");
}

// A node that cannot be taken as it stands costs a finding naming it, never
// the rest of the extract; a value shown in a finding is cut between
// characters.
TEST(OsmExtract, NodesThatCannotBeTakenAsTheyStandAreFindings) {
  if (!extractFormatReadable(ExtractFormat::Xml)) GTEST_SKIP() << "this build reads no XML";
  const std::string e30 = [] {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "\xC3\xA9";
    return text;
  }();
  const std::string e19 = e30.substr(0, 38);
  const std::string camera = "<tag k=\"highway\" v=\"speed_camera\"/>";
  const struct {
    const char* what;
    std::string nodes;
    std::string list;    // the rows after the header
    std::string report;  // the lines after the header
  } cases[] = {
      {"a place out of range, and a deleted node",
       " <node id=\"1\" lat=\"95\" lon=\"1\">" + camera + "<tag k=\"maxspeed\" v=\"50\"/></node>\n"
       " <node id=\"2\" lat=\"2\" lon=\"2\">" + camera + "<tag k=\"maxspeed\" v=\"50\"/></node>\n"
       " <node id=\"3\" version=\"2\" visible=\"false\">" + camera + "</node>\n"
       " <node id=\"4\" lat=\"4\" lon=\"-181\">" + camera + "</node>\n",
       "1,2,2,1,50,0,0\n",
       "0,out-of-range,node 1: location out of range\n"
       "0,out-of-range,node 3: no location\n"
       "0,out-of-range,node 4: location out of range\n"},
      {"values of two-byte characters, cut short between two of them",
       " <node id=\"1\" lat=\"1\" lon=\"1\">" + camera + "<tag k=\"maxspeed\" v=\"x" + e30 + "\"/></node>\n"
       " <node id=\"2\" lat=\"2\" lon=\"2\">" + camera + "<tag k=\"maxspeed\" v=\"50\"/>"
       "<tag k=\"direction\" v=\"x" + e30 + "\"/></node>\n",
       "1,1,1,1,0,0,0\n2,2,2,1,50,0,0\n",
       "0,osm-no-speed,\"node 1 (maxspeed \"\"x" + e19 + "\"\" not understood)\"\n"
       "0,osm-direction,\"node 2 (direction \"\"x" + e19 + "\"\" not understood): all directions\"\n"},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    test::writeText(dir / "nodes.osm", "<osm version=\"0.6\">\n" + c.nodes + "</osm>\n");
    const Extracted got = extract(dir / "nodes.osm", OsmDirectionUse::Travel);
    EXPECT_EQ(got.list, listHeaderLine() + c.list) << c.what;
    EXPECT_EQ(got.report, findingsReportHeader() + c.report) << c.what;
    EXPECT_TRUE(isValidUtf8(got.report)) << c.what;
  }
}

TEST(OsmExtract, DirectionTagsTakenAsAsked) {
  const fs::path pbf = kGenerated / "cameras.osm.pbf";
  EXPECT_EQ(extract(pbf, OsmDirectionUse::Travel).list, test::readText(kFixtures / "cameras-travel.txt"));
  EXPECT_EQ(extract(pbf, OsmDirectionUse::Facing).list, test::readText(kFixtures / "cameras-facing.txt"));
}

TEST(OsmExtract, DirectionsThatCannotBeUsedAreFindings) {
  test::TempDir dir;
  test::writeText(dir / "d.osm",
                  "<osm version=\"0.6\">\n"
                  " <node id=\"1\" lat=\"1\" lon=\"1\"><tag k=\"highway\" v=\"speed_camera\"/>"
                  "<tag k=\"maxspeed\" v=\"50\"/><tag k=\"direction\" v=\"forward\"/></node>\n"
                  " <node id=\"2\" lat=\"2\" lon=\"2\"><tag k=\"highway\" v=\"speed_camera\"/>"
                  "<tag k=\"maxspeed\" v=\"50\"/><tag k=\"direction\" v=\"uphill\"/></node>\n"
                  "</osm>\n");
  if (!extractFormatReadable(ExtractFormat::Xml)) GTEST_SKIP() << "this build reads no XML";
  const Extracted got = extract(dir / "d.osm", OsmDirectionUse::Travel);
  EXPECT_EQ(got.list, "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,1,1,1,50,0,0\n2,2,2,1,50,0,0\n");
  EXPECT_EQ(got.report,
            "line,kind,detail\n"
            "0,osm-direction,node 1 (direction=forward on 0 roads): all directions\n"
            "0,osm-direction,\"node 2 (direction \"\"uphill\"\" not understood): all directions\"\n");
}

TEST(OsmExtract, FormatFromContentBeforeName) {
  test::TempDir dir;
  fs::copy_file(kGenerated / "cameras.osm.pbf", dir / "cameras.dat");
  test::writeText(dir / "list.osm.pbf.txt", "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n");
  test::writeText(dir / "list.txt", "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n");
  test::writeText(dir / "named.osm.pbf", "not an extract at all");
  EXPECT_EQ(extractFormatOf(dir / "cameras.dat"), ExtractFormat::Pbf);
  EXPECT_EQ(extractFormatOf(dir / "list.txt"), std::nullopt);
  EXPECT_EQ(extractFormatOf(dir / "list.osm.pbf.txt"), std::nullopt);
  EXPECT_EQ(extractFormatOf(dir / "named.osm.pbf"), ExtractFormat::Pbf);
}

// A damaged extract ends in an error that names it and says what is wrong,
// and leaves the table empty of anything half-read.
TEST(OsmExtract, MalformedExtractsFailClearly) {
  test::TempDir dir;
  const std::vector<std::uint8_t> pbf = test::readBytes(kGenerated / "cameras.osm.pbf");
  test::writeText(dir / "cut.osm.pbf", std::string(pbf.begin(), pbf.begin() + static_cast<std::ptrdiff_t>(pbf.size() / 2)));
  test::writeText(dir / "junk.osm.pbf", "not an extract at all\n");
  test::writeText(dir / "gpx.osm", "<?xml version=\"1.0\"?>\n<gpx><wpt lat=\"1\" lon=\"2\"/></gpx>\n");
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {{"cut.osm.pbf", "PBF error"}, {"junk.osm.pbf", "PBF error"}, {"gpx.osm", "gpx"}};
  for (const auto& c : cases) {
    if (std::string(c.name) == "gpx.osm" && !extractFormatReadable(ExtractFormat::Xml)) continue;
    CameraTable table;
    try {
      readExtract(dir / c.name, table);
      ADD_FAILURE() << c.name << " read";
    } catch (const ExtractError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("Cannot read the OpenStreetMap extract"), std::string::npos) << message;
      EXPECT_NE(message.find(c.name), std::string::npos) << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
    EXPECT_TRUE(table.empty()) << c.name;
  }
  CameraTable table;
  EXPECT_THROW(readExtract(dir / "missing.osm.pbf", table), FileReadError);
}

}  // namespace
}  // namespace tabrino
