// The interactive page's data, read back as its script reads it: every
// camera in bounds with its fields and number, the types with their names
// and counts, the land, borders, lakes and places, the first view across
// the 180th meridian; and the page written only when whole.
// (tests/camera_page_test.sh has Chromium draw it.)
#include "core/map/camera_page.h"

#include "core/base/errors.h"
#include "core/map/camera_map.h"
#include "core/map/world_borders.h"
#include "core/map/world_places.h"
#include "markup_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tabrino {
namespace {

const MapTitle kTitle{"cams <&> \"x\".txt", "2014-11-14"};

// The text between `open` and the next `close`.
std::string between(const std::string& text, const std::string& open, const std::string& close) {
  const std::size_t start = text.find(open);
  EXPECT_NE(start, std::string::npos) << open;
  if (start == std::string::npos) return "";
  const std::size_t end = text.find(close, start + open.size());
  return text.substr(start + open.size(), end - start - open.size());
}

struct PageCamera {
  CameraRecord record;
  std::uint32_t number;
};

// The cameras' columns, as the script splits them.
std::vector<PageCamera> pageCameras(const std::string& html) {
  const std::vector<std::uint8_t> bytes = test::fromBase64(between(html, "id=\"cameras\">", "</script>"));
  const std::size_t count = std::stoul(between(html, "id=\"page\" hidden data-count=\"", "\""));
  EXPECT_EQ(bytes.size(), 16 * count);
  const auto u32 = [&](std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
  };
  std::vector<PageCamera> out;
  for (std::size_t i = 0; i < count && bytes.size() == 16 * count; ++i) {
    out.push_back({{static_cast<std::int32_t>(u32(4 * i)), static_cast<std::int32_t>(u32(4 * (count + i))),
                    bytes[12 * count + i], bytes[13 * count + i], bytes[14 * count + i], bytes[15 * count + i]},
                   u32(4 * (2 * count + i))});
  }
  return out;
}

TEST(CameraPage, HoldsEveryCameraInBoundsWithItsFieldsAndNumber) {
  const std::vector<CameraRecord> cameras = {
      {525000, 134000, 1, 60, 1, 135},
      {-900001, 0, 2, 50, 0, 0},  // out of bounds: left out
      {-899999, -1800000, 5, 0, 2, 0},
      {900000, 1800000, 192, 250, 7, 255},
  };
  // A database's cameras go by their place in it, a list's by their line.
  const std::string byRecord = cameraPageHtml(cameras, kTitle);
  const std::vector<PageCamera> records = pageCameras(byRecord);
  ASSERT_EQ(records.size(), 3u);
  const std::size_t kept[] = {0, 2, 3};
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].record, cameras[kept[i]]) << i;
    EXPECT_EQ(records[i].number, kept[i] + 1) << i;
  }
  EXPECT_NE(byRecord.find("data-numbering=\"record\""), std::string::npos);

  const std::string byLine = cameraPageHtml(
      cameras, kTitle,
      {{2, 3, 7, std::uint64_t{1} << 32}, "A\t1\t2\t3\nout\t200\t2\t3\n<C>\\\t1\t2\t3\nD\t1\t2\t3\n", {{"a.txt", 0}, {"<b>.txt", 5}}});
  const std::vector<PageCamera> lines = pageCameras(byLine);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].number, 2u);
  EXPECT_EQ(lines[1].number, 7u);
  EXPECT_EQ(lines[2].number, 0u) << "a line past 32 bits shows no number";
  EXPECT_NE(byLine.find("data-numbering=\"line\""), std::string::npos);
  // The list's cells beside the cameras (the one out of bounds left out), no
  // "<" to end the element.
  EXPECT_NE(byLine.find("<script type=\"text/plain\" id=\"ids\" data-values=\"yes\">"
                        "A\t1\t2\t3\n\\x3cC>\\\\\t1\t2\t3\nD\t1\t2\t3\n</script>"),
            std::string::npos);
  // With several lists, where each begins, for the page to name a line's list.
  EXPECT_NE(byLine.find("<ul id=\"lists\">\n<li data-first=\"0\">a.txt</li>\n<li data-first=\"5\">&lt;b&gt;.txt</li>\n</ul>"),
            std::string::npos);
  // Past the page's budget the list's values are left out; the IDX stays.
  const std::string huge(9 << 20, '1');
  const std::string byIdx =
      cameraPageHtml(cameras, kTitle, {{2, 3, 7, 8}, "A\t" + huge + "\t2\t3\nB\t1\t2\t3\nC\t1\t2\t3\nD\t1\t2\t3\n", {}});
  EXPECT_NE(byIdx.find("<script type=\"text/plain\" id=\"ids\" data-values=\"no\">A\nC\nD\n</script>"),
            std::string::npos);

  // Each type present is a layer, named, with its count, and drawn as the
  // picture draws it.
  EXPECT_NE(byRecord.find("<li data-type=\"1\" data-count=\"1\" data-colour=\"#d55e00\" data-shape=\"circle\">"
                          "Fixed camera</li>\n"
                          "<li data-type=\"5\" data-count=\"1\" data-colour=\"#009e73\" data-shape=\"triangleDown\">"
                          "Mobile camera</li>\n"
                          "<li data-type=\"192\" data-count=\"1\" data-colour=\"#56b4e9\" data-shape=\"cross\">"
                          "Camera type 192</li>\n</ul>"),
            std::string::npos);
  const test::XmlElement picture = test::parseXml(cameraMapSvg(cameras, kTitle));
  for (const test::XmlElement& ofType : picture.byId("cameras")->children) {
    const std::string type = ofType.attribute("data-type");
    const std::string colour = ofType.all("g").front()->attribute("fill");
    EXPECT_NE(byRecord.find("<li data-type=\"" + type + "\" data-count=\"1\" data-colour=\"" + colour + "\""),
              std::string::npos)
        << "type " << type << " in the picture's colour";
  }
  EXPECT_EQ(byRecord.find("data-type=\"2\""), std::string::npos) << "its only camera was out of bounds";
}

TEST(CameraPage, IsOneSelfContainedPageWhateverTheTitle) {
  const std::string html = cameraPageHtml({}, {"</script><b>.txt", "2014-11-14"});
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
  EXPECT_NE(html.find("<title>&lt;/script&gt;&lt;b&gt;.txt \u2014 2014-11-14</title>"), std::string::npos);
  // Four scripts (land, cameras, Leaflet, the page's own), and each ends
  // where it should: nothing inside closes one early.
  std::size_t scripts = 0;
  for (std::size_t at = html.find("</script"); at != std::string::npos; at = html.find("</script", at + 1)) ++scripts;
  EXPECT_EQ(scripts, 4u);
  // Leaflet as the build found it, its license beside its code.
  const std::string license = test::readText(TABRINO_LEAFLET_LICENSE_FILE);
  ASSERT_FALSE(license.empty());
  EXPECT_NE(html.find("/* Leaflet, https://leafletjs.com/\n" + license + "*/\n"), std::string::npos)
      << "Leaflet's license, from " TABRINO_LEAFLET_LICENSE_FILE;
  const std::string code = test::readText(TABRINO_LEAFLET_JS);
  EXPECT_NE(html.find(code.substr(0, code.find('\n', 200))), std::string::npos) << "Leaflet's code";
  EXPECT_NE(html.find("data-count=\"0\""), std::string::npos);
  // Nothing is loaded from elsewhere but the optional tiles.
  EXPECT_EQ(html.find("<script src"), std::string::npos);
  EXPECT_EQ(html.find("<link"), std::string::npos);
}

// A list's name may hold bytes that are not UTF-8 (a name from another
// system's file names): the page's and the picture's titles read only those
// bytes as Latin-1 and keep the rest, the dash and dot between name and
// date too.
TEST(CameraPage, ATitleReadsOnlyItsStrayBytesAsLatin1) {
  const struct {
    std::string fileName;
    std::string shown;
  } cases[] = {
      {"cameras.txt", "cameras.txt"},
      {"bad\xFF\xFE.txt", "bad\xC3\xBF\xC3\xBE.txt"},
      {"caf\xE9.txt", "caf\xC3\xA9.txt"},
      {"caf\xC3\xA9 \xE9t\xE9.txt", "caf\xC3\xA9 \xC3\xA9t\xC3\xA9.txt"},
      {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0\x80.txt",
       "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0\xC2\x80.txt"},  // a stray byte after Cyrillic
      {"\xE2\x82 & \xE2\x82\xAC.txt", "\xC3\xA2\xC2\x82 &amp; \xE2\x82\xAC.txt"},
  };
  for (const auto& c : cases) {
    const MapTitle title{c.fileName, "2014-11-14"};
    const std::string html = cameraPageHtml({}, title);
    EXPECT_EQ(between(html, "<title>", "</title>"), c.shown + " \u2014 2014-11-14") << c.shown;
    EXPECT_EQ(between(html, "<span id=\"heading\">", "</span>"), c.shown + " \u2014 2014-11-14") << c.shown;
    const std::string svg = cameraMapSvg({}, title);
    EXPECT_EQ(between(svg, "<title>", "</title>"), c.shown + " \u00B7 2014-11-14 \u00B7 0 cameras") << c.shown;
  }
}

// Varint steps of 0.0001°, as the page's script decodes them.
class LandReader {
 public:
  explicit LandReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t varint() {
    std::uint64_t value = 0;
    for (int shift = 0; at_ < bytes_.size(); shift += 7) {
      const std::uint8_t b = bytes_[at_++];
      value |= std::uint64_t{b & 0x7Fu} << shift;
      if (!(b & 0x80)) break;
    }
    return value;
  }
  // A count of what follows, each at least a byte: more than the bytes left
  // is a broken file, and fits no size_t on a 32-bit system either.
  std::size_t count() {
    const std::uint64_t value = varint();
    if (value > bytes_.size() - at_) throw std::runtime_error("a count past the end of the data");
    return static_cast<std::size_t>(value);
  }
  std::int64_t zigzag() {
    const std::uint64_t v = varint();
    return (v & 1) ? -static_cast<std::int64_t>(v >> 1) - 1 : static_cast<std::int64_t>(v >> 1);
  }
  std::vector<std::vector<GeoPoint>> lines() {
    std::vector<std::vector<GeoPoint>> out(count());
    for (auto& line : out) {
      line.resize(count());
      std::int64_t x = 0, y = 0;
      for (GeoPoint& point : line) {
        x += zigzag();
        y += zigzag();
        point = {static_cast<double>(x) / 1e4, static_cast<double>(y) / 1e4};
      }
    }
    return out;
  }
  std::vector<Place> places() {
    std::vector<Place> out(count());
    for (Place& place : out) {
      const std::size_t length = count();
      place.name.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                        bytes_.begin() + static_cast<std::ptrdiff_t>(std::min(at_ + length, bytes_.size())));
      at_ += length;
      const std::int64_t lon = zigzag(), lat = zigzag();
      place.at = {static_cast<double>(lon) / 1e4, static_cast<double>(lat) / 1e4};
      place.minZoom = static_cast<double>(varint()) / 10;
    }
    return out;
  }
  bool atEnd() const { return at_ == bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

TEST(CameraPage, CarriesTheBuiltInLandBordersLakesAndPlaces) {
  LandReader reader(test::fromBase64(between(cameraPageHtml({}, kTitle), "id=\"land\">", "</script>")));
  const WorldBorders& world = worldBorders();
  const auto sameLines = [](const std::vector<std::vector<GeoPoint>>& read,
                            const std::vector<std::vector<GeoPoint>>& built) {
    ASSERT_EQ(read.size(), built.size());
    for (std::size_t l = 0; l < read.size(); ++l) {
      ASSERT_EQ(read[l].size(), built[l].size()) << l;
      for (std::size_t p = 0; p < read[l].size(); ++p) {
        EXPECT_NEAR(read[l][p].lon, built[l][p].lon, 0.6e-4) << l << "," << p;
        EXPECT_NEAR(read[l][p].lat, built[l][p].lat, 0.6e-4) << l << "," << p;
      }
    }
  };
  sameLines(reader.lines(), world.landRings);
  sameLines(reader.lines(), world.borderLines);
  sameLines(reader.lines(), worldPlaces().lakeRings);
  const std::vector<Place> places = reader.places();
  ASSERT_EQ(places.size(), worldPlaces().places.size());
  for (std::size_t i = 0; i < places.size(); ++i) {
    const Place& built = worldPlaces().places[i];
    ASSERT_EQ(places[i].name, built.name) << i;
    EXPECT_NEAR(places[i].at.lon, built.at.lon, 0.6e-4) << built.name;
    EXPECT_NEAR(places[i].at.lat, built.at.lat, 0.6e-4) << built.name;
    EXPECT_DOUBLE_EQ(places[i].minZoom, built.minZoom) << built.name;
  }
  EXPECT_TRUE(reader.atEnd());
}

// The first view frames the cameras near the rest; longitudes are taken
// within half a turn of the page's meridian, so cameras on both sides of
// the 180th meridian make a narrow extent rather than the whole world.
TEST(CameraPage, FramesCamerasOnBothSidesOfThe180thMeridianTogether) {
  const auto at = [](double lon, double lat) {
    return CameraRecord{scaleCoordinate(lat), scaleCoordinate(lon), 1, 60, 0, 0};
  };
  const struct {
    const char* name;
    std::vector<CameraRecord> cameras;
    long west, east;  // in 0.0001°, within half a turn of the meridian
  } cases[] = {
      {"Berlin", {at(13.3, 52.45), at(13.5, 52.55)}, 133000, 135000},
      {"both sides of 180", {at(179.9, -16.5), at(-179.9, -16.6)}, 1799000, 1801000},
      {"west of 180 first", {at(-179.9, -16.6), at(-179.5, -16.6), at(179.8, -16.5)}, 1798000, 1805000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string html = cameraPageHtml(c.cameras, kTitle);
    std::istringstream extent(between(html, "data-extent=\"", "\""));
    long south, west, north, east;
    extent >> south >> west >> north >> east;
    const long meridian = std::stol(between(html, "data-meridian=\"", "\""));
    // The same extent, a whole turn apart, is the same view.
    const long turn = 3600000, shift = west - c.west;
    EXPECT_EQ(shift % turn, 0) << west;
    EXPECT_EQ(east - shift, c.east);
    EXPECT_LE(std::labs(west - meridian), turn / 2);
    EXPECT_LE(std::labs(east - meridian), turn / 2);
  }
}

TEST(CameraPage, IsWrittenWholeOrNotAtAll) {
  test::TempDir dir;
  writeCameraPage(dir / "cameras.html", {{525000, 134000, 1, 60, 1, 135}}, kTitle);
  EXPECT_EQ(test::readText(dir / "cameras.html"), cameraPageHtml({{525000, 134000, 1, 60, 1, 135}}, kTitle));
  EXPECT_THROW(writeCameraPage(dir / "missing" / "cameras.html", {}, kTitle), FileOpenError);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"cameras.html"});
}

}  // namespace
}  // namespace tabrino
