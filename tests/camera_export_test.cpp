// The pieces of a camera export: the OV2 file and its skipper tree read back
// by our own walk, the checks of inspectOv2 on broken files, camera and file
// names from templates, groups and their parts, the icons, and rows that
// give back a database's records exactly.
#include "core/export/bmp_icon.h"
#include "core/export/camera_files.h"
#include "core/export/camera_groups.h"
#include "core/export/csv_export.h"
#include "core/export/ov2_file.h"
#include "core/export/ov2_inspect.h"
#include "core/run/export_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace tabrino {
namespace {

std::int32_t int32At(const std::string& bytes, std::size_t at) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4; ++i) bits |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return static_cast<std::int32_t>(bits);
}

void setInt32(std::string& bytes, std::size_t at, std::int32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
}

std::vector<CameraRecord> randomCameras(std::mt19937& random, std::size_t count) {
  std::uniform_int_distribution<std::int32_t> lat(-kMaxLatitude, kMaxLatitude), lon(-kMaxLongitude, kMaxLongitude);
  std::uniform_int_distribution<int> type(1, 5), speed(0, 13), dir(0, 2), code(0, 180);
  std::vector<CameraRecord> cameras;
  for (std::size_t i = 0; i < count; ++i) {
    cameras.push_back({lat(random), lon(random), static_cast<std::uint8_t>(type(random)),
                       static_cast<std::uint8_t>(speed(random) * 10), static_cast<std::uint8_t>(dir(random)),
                       static_cast<std::uint8_t>(code(random))});
  }
  return cameras;
}

struct Ov2Poi {
  std::int32_t lon, lat;
  std::string name;
  bool operator<(const Ov2Poi& o) const { return std::tie(lon, lat, name) < std::tie(o.lon, o.lat, o.name); }
  bool operator==(const Ov2Poi& o) const { return lon == o.lon && lat == o.lat && name == o.name; }
};

// The POIs of an OV2 file, skipping over skipper records as a reader that
// does not use them does.
std::vector<Ov2Poi> poisOf(const std::string& bytes) {
  std::vector<Ov2Poi> pois;
  for (std::size_t at = 0; at < bytes.size();) {
    if (bytes[at] == kOv2Skipper) {
      at += kOv2SkipperSize;
      continue;
    }
    const auto length = static_cast<std::size_t>(int32At(bytes, at + 1));
    pois.push_back({int32At(bytes, at + 5), int32At(bytes, at + 9), bytes.substr(at + 13, length - 14)});
    at += length;
  }
  return pois;
}

std::vector<Ov2Poi> expectedPois(const std::vector<CameraRecord>& cameras, const NameTemplate& names) {
  std::vector<Ov2Poi> pois;
  for (const CameraRecord& c : cameras) pois.push_back({c.longitude * 10, c.latitude * 10, names.name(c)});
  std::sort(pois.begin(), pois.end());
  return pois;
}

TEST(Ov2File, HoldsEveryCameraAtTenTimesItsStoredPlaceUnderSoundSkippers) {
  std::mt19937 random(33);
  const NameTemplate names;
  for (const std::size_t count : {std::size_t{1}, std::size_t{20}, std::size_t{21}, std::size_t{1000}, std::size_t{5003}}) {
    SCOPED_TRACE(count);
    const std::vector<CameraRecord> cameras = randomCameras(random, count);
    std::string bytes;
    appendOv2File(bytes, cameras, names);
    const Ov2Inspection report = inspectOv2(bytes);
    EXPECT_TRUE(report.sound()) << report.problems.front().text;
    EXPECT_EQ(report.pois, count);
    EXPECT_LE(report.largestLeaf, kOv2LeafCameras);
    EXPECT_GE(report.skippers, (count + kOv2LeafCameras - 1) / kOv2LeafCameras);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), kOv2Skipper);
    EXPECT_EQ(static_cast<std::size_t>(int32At(bytes, 1)), bytes.size());  // the root's block is the file
    std::vector<Ov2Poi> pois = poisOf(bytes);
    std::sort(pois.begin(), pois.end());
    EXPECT_EQ(pois, expectedPois(cameras, names));
  }
}

TEST(Ov2File, RootBoxIsEastNorthWestSouthOfTheCameras) {
  const std::vector<CameraRecord> cameras = {{100, -200, 1, 50, 0, 0}, {-300, 400, 2, 60, 0, 0}};
  std::string bytes;
  appendOv2File(bytes, cameras, NameTemplate());
  ASSERT_EQ(bytes.size(), kOv2SkipperSize + 2 * (kOv2PoiFixedSize + 1) + std::string("Fixed camera@50").size() +
                              std::string("Red-light and speed camera@60").size());
  EXPECT_EQ(int32At(bytes, 5), 4000);    // east
  EXPECT_EQ(int32At(bytes, 9), 1000);    // north
  EXPECT_EQ(int32At(bytes, 13), -2000);  // west
  EXPECT_EQ(int32At(bytes, 17), -3000);  // south
  std::string none;
  appendOv2File(none, {}, NameTemplate());
  EXPECT_TRUE(none.empty());
}

TEST(Ov2File, SameCamerasInAnyOrderGiveTheSameBytes) {
  std::mt19937 random(7);
  std::vector<CameraRecord> cameras = randomCameras(random, 3000);
  // Ties on each axis, which the cut must break the same way every time.
  for (std::size_t i = 0; i < 600; ++i) cameras[i].longitude = 123456;
  for (std::size_t i = 600; i < 1200; ++i) cameras[i] = cameras[0];
  std::string first;
  appendOv2File(first, cameras, NameTemplate());
  std::shuffle(cameras.begin(), cameras.end(), random);
  std::string second;
  appendOv2File(second, cameras, NameTemplate());
  EXPECT_TRUE(first == second);
}

// Thirty cameras in a line: the root's block, then two of fifteen; the first
// POI, after the root's and its block's skippers, broken one way at a time.
TEST(Ov2Inspect, FindsEachKindOfDamage) {
  const std::vector<CameraRecord> cameras = []() {
    std::vector<CameraRecord> list;
    for (std::int32_t i = 0; i < 30; ++i) list.push_back({i * 100, i * 100, 1, 50, 0, 0});
    return list;
  }();
  std::string good;
  appendOv2File(good, cameras, NameTemplate("x"));
  ASSERT_TRUE(inspectOv2(good).sound());
  ASSERT_EQ(good[2 * kOv2SkipperSize], static_cast<char>(kOv2Poi));
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"unknown type", [&](std::string& b) { b[2 * kOv2SkipperSize] = 9; }, "record of unknown type 9"},
      {"short record", [&](std::string& b) { setInt32(b, 2 * kOv2SkipperSize + 1, 5); }, "is below the least"},
      {"block past the file", [&](std::string& b) { setInt32(b, 1, static_cast<std::int32_t>(b.size() + 7)); },
       "runs past the end of its file by 7 bytes"},
      {"POI past its block", [&](std::string& b) { setInt32(b, kOv2SkipperSize + 1, kOv2SkipperSize + 20); },
       "runs past the end of its block"},
      {"POI outside the box", [&](std::string& b) { setInt32(b, 2 * kOv2SkipperSize + 5, 500000); },
       "lies outside the box"},
      {"name not ended", [&](std::string& b) { b[2 * kOv2SkipperSize + 14] = 'y'; }, "does not end with a zero byte"},
      {"box turned over", [&](std::string& b) { setInt32(b, 13, 2000000000); }, "skipper box has west"},
      {"cut short", [&](std::string& b) { b.resize(b.size() - 3); }, "runs past the end of its"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = good;
    c.damage(bytes);
    const Ov2Inspection report = inspectOv2(bytes);
    ASSERT_FALSE(report.sound());
    EXPECT_NE(report.problems.front().text.find(c.message), std::string::npos) << report.problems.front().text;
  }
}

TEST(Ov2Inspect, ReadsSkippersNestedDeeperThanAStackWouldHoldAsAProblem) {
  const std::size_t depth = 200000;
  std::string bytes;
  for (std::size_t i = 0; i < depth; ++i) {
    bytes += static_cast<char>(kOv2Skipper);
    bytes += std::string(4, '\0');
    for (const std::int32_t v : {10, 10, 0, 0}) bytes += std::string(4, '\0'), setInt32(bytes, bytes.size() - 4, v);
  }
  for (std::size_t i = 0; i < depth; ++i) setInt32(bytes, i * kOv2SkipperSize + 1, static_cast<std::int32_t>(bytes.size() - i * kOv2SkipperSize));
  const Ov2Inspection report = inspectOv2(bytes);
  ASSERT_FALSE(report.sound());
  EXPECT_NE(report.problems.front().text.find("nested deeper"), std::string::npos);
  EXPECT_FALSE(startsLikeOv2("rudb\x01\x02"));
  EXPECT_TRUE(startsLikeOv2(bytes.substr(0, 5)));
}

TEST(NameTemplate, MakesNamesFromFieldsAndRefusesUnknownOnes) {
  const CameraRecord fixed{400000, 100000, 1, 50, 1, directionCode(90)};
  const CameraRecord mobile{400000, 100000, 5, 0, 0, 0};
  struct Case {
    const char* text;
    std::string fixedName, mobileName;
  };
  const Case cases[] = {
      {NameTemplate::kDefault, "Fixed camera@50", "Mobile camera@0"},
      {"{speed} km/h {type} ({heading})", "50 km/h Fixed camera (90)", "0 km/h Mobile camera ()"},
      {"plain", "plain", "plain"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const NameTemplate names(c.text);
    EXPECT_EQ(names.name(fixed), c.fixedName);
    EXPECT_EQ(names.name(mobile), c.mobileName);
  }
  for (const char* bad : {"{kind}", "{type", "a{speed}{"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(NameTemplate{bad}, NameTemplateError);
  }
  EXPECT_EQ(cameraComment(fixed), "Fixed camera; 50 km/h; heading 90");
  EXPECT_EQ(cameraComment(mobile), "Mobile camera; no limit; all directions");
}

std::map<std::string, std::size_t> groupSizes(const std::vector<CameraGroup>& groups) {
  std::map<std::string, std::size_t> sizes;
  for (const CameraGroup& group : groups) sizes[group.baseName] = group.cameras.size();
  return sizes;
}

TEST(CameraGroups, SplitByEachKeyAndNameByTheTemplate) {
  const std::vector<CameraRecord> cameras = {
      {1, 1, 1, 50, 0, 0}, {2, 2, 1, 50, 0, 0}, {3, 3, 1, 80, 0, 0}, {4, 4, 5, 50, 0, 0}, {5, 5, 200, 0, 0, 0}};
  struct Case {
    SplitBy split;
    const char* fileTemplate;
    std::map<std::string, std::size_t> sizes;
  };
  const Case cases[] = {
      {SplitBy::Speed, FileNameFields::kDefault, {{"All_50", 3}, {"All_80", 1}, {"All_0", 1}}},
      {SplitBy::Type, "{type}", {{"Fixed", 3}, {"Mobile", 1}, {"Type200", 1}}},
      {SplitBy::TypeAndSpeed, FileNameFields::kDefault,
       {{"Fixed_50", 2}, {"Fixed_80", 1}, {"Mobile_50", 1}, {"Type200_0", 1}}},
      {SplitBy::Nothing, "cameras", {{"cameras", 5}}},
      {SplitBy::Speed, "{region}-{speed}", {{"bavaria-50", 3}, {"bavaria-80", 1}, {"bavaria-0", 1}}},
      {SplitBy::Speed, "a/b:{speed}", {{"a_b_50", 3}, {"a_b_80", 1}, {"a_b_0", 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileTemplate);
    EXPECT_EQ(groupSizes(groupCameras(cameras, c.split, {c.fileTemplate, "bavaria"}, 0)), c.sizes);
  }
  // Groups come in order of type, then speed.
  const std::vector<CameraGroup> ordered = groupCameras(cameras, SplitBy::TypeAndSpeed, {}, 0);
  EXPECT_EQ(ordered.front().baseName, "Fixed_50");
  EXPECT_EQ(ordered.back().baseName, "Type200_0");
  EXPECT_THROW(groupCameras(cameras, SplitBy::TypeAndSpeed, {"{speed}", ""}, 0), FileTemplateError);
  EXPECT_THROW(groupCameras(cameras, SplitBy::Speed, {"{region}", ""}, 0), FileTemplateError);
  EXPECT_THROW(groupCameras(cameras, SplitBy::Speed, {"{sped}", ""}, 0), FileTemplateError);
  EXPECT_THROW(groupCameras(cameras, SplitBy::Speed, {"{speed", ""}, 0), FileTemplateError);
}

TEST(CameraGroups, CapCutsGroupsIntoFewCompactPartsTheSameWayWhateverTheOrder) {
  std::mt19937 random(3);
  std::vector<CameraRecord> cameras = randomCameras(random, 1000);
  for (CameraRecord& c : cameras) c.speed = 50;
  for (const std::uint64_t cap : {std::uint64_t{10}, std::uint64_t{333}, std::uint64_t{999}, std::uint64_t{1000}}) {
    SCOPED_TRACE(cap);
    const std::vector<CameraGroup> parts = groupCameras(cameras, SplitBy::Speed, {}, cap);
    EXPECT_EQ(parts.size(), (1000 + cap - 1) / cap);
    std::size_t total = 0;
    for (const CameraGroup& part : parts) {
      EXPECT_LE(part.cameras.size(), cap);
      total += part.cameras.size();
    }
    EXPECT_EQ(total, cameras.size());
    if (parts.size() > 1) {
      EXPECT_EQ(parts[1].baseName, "All_50-2");
    }
    std::vector<CameraRecord> shuffled = cameras;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    const std::vector<CameraGroup> again = groupCameras(shuffled, SplitBy::Speed, {}, cap);
    ASSERT_EQ(again.size(), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) EXPECT_TRUE(again[i].cameras == parts[i].cameras);
  }
  // Two parts of a line of cameras: the west half and the east half.
  std::vector<CameraRecord> line;
  for (std::int32_t i = 0; i < 20; ++i) line.push_back({0, i * 1000, 1, 50, 0, 0});
  const std::vector<CameraGroup> halves = groupCameras(line, SplitBy::Nothing, {"line", ""}, 10);
  ASSERT_EQ(halves.size(), 2u);
  EXPECT_EQ(boxAround(halves[0].cameras).east, 9000);
  EXPECT_EQ(boxAround(halves[1].cameras).west, 10000);
}

TEST(BmpIcon, IsA22By22TrueColourBitmapInTheColourGiven) {
  const std::string bmp = bmpIcon({0xd55e00, IconShape::Circle}, 0);
  ASSERT_EQ(bmp.size(), 54u + 22u * 68u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(int32At(bmp, 2), static_cast<std::int32_t>(bmp.size()));
  EXPECT_EQ(int32At(bmp, 10), 54);
  EXPECT_EQ(int32At(bmp, 18), 22);
  EXPECT_EQ(int32At(bmp, 22), 22);
  EXPECT_EQ(bmp[28], 24);
  auto pixel = [&](const std::string& b, int x, int y) {  // from the top
    const std::size_t at = 54 + static_cast<std::size_t>(21 - y) * 68 + static_cast<std::size_t>(x) * 3;
    return std::uint32_t{static_cast<unsigned char>(b[at + 2])} << 16 |
           std::uint32_t{static_cast<unsigned char>(b[at + 1])} << 8 | static_cast<unsigned char>(b[at]);
  };
  EXPECT_EQ(pixel(bmp, 11, 11), 0xd55e00u);
  EXPECT_EQ(pixel(bmp, 0, 0), 0xffffffu);  // the circle leaves the corner white
  EXPECT_EQ(pixel(bmpIcon({0x0072b2, IconShape::Square}, 0), 2, 2), 0x333333u);  // the square reaches it, outlined
  // The digits differ by speed, and a speed shows white on the shape.
  const std::string fifty = bmpIcon({0xd55e00, IconShape::Circle}, 50);
  EXPECT_NE(fifty, bmpIcon({0xd55e00, IconShape::Circle}, 80));
  EXPECT_NE(fifty, bmp);
  std::size_t white = 0;
  for (int y = 6; y < 16; ++y) {
    for (int x = 4; x < 18; ++x) white += pixel(fifty, x, y) == 0xffffffu ? 1u : 0u;
  }
  EXPECT_GT(white, 20u);
  EXPECT_EQ(rgbOfHex("#0072b2"), 0x0072b2u);
  EXPECT_EQ(rgbOfHex("red"), 0u);
}

TEST(DatabaseRows, EveryStoredLatitudeScalesBackExactly) {
  std::size_t wrong = 0;
  for (std::int32_t stored = -kMaxLatitude; stored <= kMaxLatitude; ++stored) {
    wrong += scaleCoordinate(rowLatitude(stored)) == stored ? 0u : 1u;
  }
  EXPECT_EQ(wrong, 0u);
}

TEST(CameraFiles, CsvFormatsWriteEachCameraOnALineInOrderOfPlace) {
  const std::vector<CameraRecord> cameras = {{409709, -36528, 2, 50, 1, directionCode(150)},
                                             {403890, -37268, 3, 0, 0, 0}};
  struct Case {
    CameraFileFormat format;
    std::string text;
  };
  const Case cases[] = {
      {CameraFileFormat::PoiCsv,
       "-3.7268,40.389,\"Red-light camera@0\",\"Red-light camera; no limit; all directions\"\n"
       "-3.6528,40.9709,\"Red-light and speed camera@50\",\"Red-light and speed camera; 50 km/h; heading 150\"\n"},
      {CameraFileFormat::Csv,
       "lon,lat,type,speed,dirtype,direction,name\n-3.7268,40.389,3,0,0,181,\"Red-light camera@0\"\n"
       "-3.6528,40.9709,2,50,1,150,\"Red-light and speed camera@50\"\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(cameraFileFormatName(c.format));
    std::string text;
    writeCameraFile(c.format, cameras, NameTemplate(), "t", [&](const std::string& piece) { text += piece; });
    EXPECT_EQ(text, c.text);
  }
  EXPECT_EQ(csvQuoted("say \"hi\"\n"), "\"say \"\"hi\"\" \"");
  for (const char* name : {"ov2", "poi-csv", "csv", "gpx", "kml", "geojson"}) {
    EXPECT_STREQ(cameraFileFormatName(*cameraFileFormatNamed(name)), name);
  }
  EXPECT_FALSE(cameraFileFormatNamed("list"));
}

}  // namespace
}  // namespace tabrino
