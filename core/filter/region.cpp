#include "core/filter/region.h"

#include "core/base/c_numbers.h"
#include "core/model/camera_record.h"
#include "core/platform/file_io.h"

#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <boost/iterator/function_output_iterator.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace tabrino {
namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

// A ring as given, its closing point (a repeat of the first) dropped.
Region::Ring closedRing(Region::Ring ring) {
  if (ring.size() > 1 && ring.front().longitude == ring.back().longitude &&
      ring.front().latitude == ring.back().latitude) {
    ring.pop_back();
  }
  return ring;
}

bool inRange(const Region::Point& point) {
  return std::fabs(point.longitude) <= 180.0 && std::fabs(point.latitude) <= 90.0;  // false for NaN too
}

const char kOutOfRange[] = "a point out of range (longitude -180 to 180, latitude -90 to 90)";

void checkPoint(const Region::Point& point, const std::string& where) {
  if (!inRange(point)) throw RegionError(where + ": " + kOutOfRange);
}

void checkRing(const Region::Ring& ring, const std::string& where) {
  if (ring.size() < 3) throw RegionError(where + ": a ring of fewer than three points");
}

// Text from a file for a message: a line of megabytes is cut short (at a
// character's start).
std::string shortened(std::string_view text) {
  constexpr std::size_t kMost = 60;
  if (text.size() <= kMost) return std::string(text);
  std::size_t end = kMost;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + "...";
}

std::string sizeText(std::size_t bytes) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  return bytes % kMiB == 0 && bytes > 0 ? std::to_string(bytes / kMiB) + " MiB" : std::to_string(bytes) + " bytes";
}

// Whole text as one number, in C syntax.
bool wholeNumber(std::string_view text, double& value) {
  const auto parsed = parseCDouble(text);
  value = parsed.value;
  return parsed.length > 0 && parsed.length == text.size();
}

// A .poly file, line by line as its lines come.
class PolyParser {
 public:
  explicit PolyParser(const std::string& name) : name_(name) {}

  std::uint64_t nextLineNumber() const noexcept { return lineNumber_ + 1; }
  std::string lineName(std::uint64_t number) const { return name_ + " line " + std::to_string(number); }
  // Lines with nothing but blanks, the first of them the name line.
  void skipBlankLines(std::uint64_t count) noexcept { lineNumber_ += count; }

  // The next line, without its '\n'; false once the last END is read, after
  // which nothing is read.
  bool line(std::string_view line) {
    ++lineNumber_;
    if (line.find('\0') != std::string_view::npos) throw notText(lineNumber_);
    const std::size_t first = line.find_first_not_of(" \t\r");
    line = first == std::string_view::npos ? std::string_view() : line.substr(first);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
    if (lineNumber_ == 1) return true;  // the region's name
    if (line.empty()) return true;
    if (line == "END") {
      if (!inRing_) return false;
      ring_ = closedRing(std::move(ring_));
      checkRing(ring_, ringStart_);
      rings_.push_back(std::move(ring_));
      ring_.clear();
      inRing_ = false;
      return true;
    }
    if (!inRing_) {  // a section's name; ! marks a hole, which even-odd needs no word of
      inRing_ = true;
      ringStart_ = lineName(lineNumber_);
      return true;
    }
    const std::size_t gap = line.find_first_of(" \t");
    Region::Point point{};
    const std::string_view rest = gap == std::string_view::npos ? std::string_view() : line.substr(gap);
    if (gap == std::string_view::npos || !wholeNumber(line.substr(0, gap), point.longitude) ||
        !wholeNumber(rest.substr(std::min(rest.find_first_not_of(" \t"), rest.size())), point.latitude)) {
      throw RegionError(lineName(lineNumber_) + ": expected a longitude and a latitude, got \"" + shortened(line) + "\"");
    }
    checkPoint(point, lineName(lineNumber_));
    ring_.push_back(point);
    return true;
  }

  RegionError notText(std::uint64_t number) const { return RegionError(lineName(number) + ": not text (a zero byte)"); }

  // The rings, once the file has ended with its last END read.
  std::vector<Region::Ring> finish(bool ended) {
    if (!ended) throw RegionError(name_ + ": the .poly file ends without END");
    if (rings_.empty()) throw RegionError(name_ + ": no ring in the .poly file");
    return std::move(rings_);
  }

 private:
  const std::string& name_;
  std::uint64_t lineNumber_ = 0;
  bool inRing_ = false;
  std::string ringStart_;
  Region::Ring ring_;
  std::vector<Region::Ring> rings_;
};

// Builds a GeoJSON document as nlohmann's own reader would, with two
// differences: nesting deeper than Region::kMaxJsonDepth stops it (the
// document's depth would otherwise be the depth of the recursion that walks
// it), and members that describe no shape ("properties", "bbox", ...) are
// left out, their text often far larger than the coordinates.
class GeoJsonBuilder : public nlohmann::json_sax<nlohmann::json> {
 public:
  using json = nlohmann::json;

  // The document, once the parse returned true.
  json document;
  // Why the parse returned false.
  std::string problem;
  std::uint64_t offset = 0;  // of the text in the file, for positions

  bool null() override { return value(nullptr); }
  bool boolean(bool v) override { return value(v); }
  bool number_integer(number_integer_t v) override { return value(v); }
  bool number_unsigned(number_unsigned_t v) override { return value(v); }
  bool number_float(number_float_t v, const string_t&) override { return value(v); }
  bool string(string_t& v) override { return value(std::move(v)); }
  bool binary(binary_t&) override { return false; }  // not in JSON text
  bool start_object(std::size_t) override { return open(json::object()); }
  bool start_array(std::size_t) override { return open(json::array()); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }

  bool key(string_t& name) override {
    if (skipFrom_ == 0 && name != "type" && name != "coordinates" && name != "geometry" && name != "features") {
      skipFrom_ = depth_;
    }
    key_ = std::move(name);
    return true;
  }

  bool parse_error(std::size_t, const std::string& lastToken, const nlohmann::json::exception& error) override {
    if (error.id == 406) {
      problem = "a number out of range (" + shortened(lastToken) + ")";
    } else if (const auto* syntax = dynamic_cast<const nlohmann::json::parse_error*>(&error)) {
      problem = "not valid JSON (byte " + std::to_string(syntax->byte + offset) + ")";
    } else {
      problem = "not valid JSON";
    }
    return false;
  }

 private:
  bool value(json v) {
    if (skipFrom_ != 0) {
      if (depth_ == skipFrom_) skipFrom_ = 0;  // the member left out was this value
      return true;
    }
    place(std::move(v));
    return true;
  }

  json* place(json v) {
    if (open_.empty()) {
      document = std::move(v);
      return &document;
    }
    json& container = *open_.back();
    if (container.is_array()) {
      container.push_back(std::move(v));
      return &container.back();
    }
    json& member = container[key_];
    member = std::move(v);
    return &member;
  }

  bool open(json empty) {
    if (++depth_ > static_cast<std::size_t>(Region::kMaxJsonDepth)) {
      problem = "nested deeper than " + std::to_string(Region::kMaxJsonDepth) + " levels";
      return false;
    }
    // A container's place stays put while it is open: its parent takes no
    // other value before it closes.
    if (skipFrom_ == 0) open_.push_back(place(std::move(empty)));
    return true;
  }

  bool close() {
    --depth_;
    if (skipFrom_ == 0) {
      open_.pop_back();
    } else if (depth_ == skipFrom_) {
      skipFrom_ = 0;  // the member left out ends here
    }
    return true;
  }

  std::vector<json*> open_;  // the containers being filled, innermost last
  std::size_t depth_ = 0;    // containers open, kept or not
  std::size_t skipFrom_ = 0;  // when not 0, the depth of a member being left out
  std::string key_;           // the member whose value comes next
};

// GeoJSON rings: [[longitude, latitude], ...].
void addJsonPolygon(const nlohmann::json& polygon, const std::string& name, std::vector<Region::Ring>& rings) {
  if (!polygon.is_array()) throw RegionError(name + ": a Polygon's coordinates are not a list of rings");
  for (const nlohmann::json& points : polygon) {
    if (!points.is_array()) throw RegionError(name + ": a ring is not a list of points");
    Region::Ring ring;
    for (const nlohmann::json& position : points) {
      if (!position.is_array() || position.size() < 2 || !position[0].is_number() || !position[1].is_number()) {
        throw RegionError(name + ": a point is not [longitude, latitude]");
      }
      const Region::Point point{position[0].get<double>(), position[1].get<double>()};
      checkPoint(point, name);
      ring.push_back(point);
    }
    ring = closedRing(std::move(ring));
    checkRing(ring, name + " (ring " + std::to_string(rings.size() + 1) + ")");
    rings.push_back(std::move(ring));
  }
}

// Recursion as deep as the document, which the builder keeps shallow.
void addJsonGeometry(const nlohmann::json& object, const std::string& name, std::vector<Region::Ring>& rings) {
  if (!object.is_object()) throw RegionError(name + ": expected a GeoJSON object");
  const auto typeMember = object.find("type");
  if (typeMember != object.end() && !typeMember->is_string()) throw RegionError(name + ": \"type\" is not a string");
  const std::string type = typeMember != object.end() ? typeMember->get<std::string>() : std::string();
  if (type == "FeatureCollection" && object.contains("features") && object["features"].is_array()) {
    for (const nlohmann::json& feature : object["features"]) addJsonGeometry(feature, name, rings);
  } else if (type == "Feature" && object.contains("geometry")) {
    addJsonGeometry(object["geometry"], name, rings);
  } else if (type == "Polygon" && object.contains("coordinates")) {
    addJsonPolygon(object["coordinates"], name, rings);
  } else if (type == "MultiPolygon" && object.contains("coordinates") && object["coordinates"].is_array()) {
    for (const nlohmann::json& polygon : object["coordinates"]) addJsonPolygon(polygon, name, rings);
  } else {
    throw RegionError(name + ": expected a GeoJSON Polygon or MultiPolygon, got " +
                      (type.empty() ? std::string("an object without a type") : "a " + type));
  }
}

// `text` starts at the file's byte `offset`.
std::vector<Region::Ring> parseGeoJson(std::string_view text, std::uint64_t offset, const std::string& name) {
  GeoJsonBuilder builder;
  builder.offset = offset;
  std::vector<Region::Ring> rings;
  try {
    if (!nlohmann::json::sax_parse(text.begin(), text.end(), &builder)) throw RegionError(name + ": " + builder.problem);
    addJsonGeometry(builder.document, name, rings);
  } catch (const nlohmann::json::exception& error) {
    // Whatever the library refuses that the checks above did not foresee,
    // without its own prefix ("[json.exception.type_error.302] ").
    std::string_view what = error.what();
    what.remove_prefix(std::min(what.find("] ") + 2, what.size()));
    throw RegionError(name + ": not a GeoJSON region (" + std::string(what) + ")");
  }
  if (rings.empty()) throw RegionError(name + ": no ring in the GeoJSON");
  return rings;
}

// Takes a region file's bytes in pieces as they are read. A .poly file goes
// line by line as its lines complete, so that its text is never held whole
// and a file that is no region fails at its first wrong line; GeoJSON is kept
// whole for its parser. Either stops at maxBytes, and at a zero byte, which
// no text holds.
class RegionReader {
 public:
  RegionReader(const std::string& name, std::size_t maxBytes) : name_(name), maxBytes_(maxBytes), poly_(name) {}

  // False once the region is complete (a .poly file's last END): what
  // follows is not read.
  bool add(std::string_view bytes) {
    const bool over = bytes.size() > maxBytes_ - total_;
    if (over) bytes = bytes.substr(0, maxBytes_ - total_);
    total_ += bytes.size();
    const bool more = take(bytes);
    if (more && over) {
      throw RegionError(name_ + ": larger than " + sizeText(maxBytes_) + ", more than a region file may hold");
    }
    return more;
  }

  std::vector<Region::Ring> finish() {
    if (format_ == Format::GeoJson) return parseGeoJson(text_, total_ - text_.size(), name_);
    if (format_ == Format::Unknown) poly_.skipBlankLines(blankLines_);  // nothing but blanks
    if (!ended_ && !text_.empty()) ended_ = !poly_.line(text_);         // a last line without '\n'
    return poly_.finish(ended_);
  }

 private:
  enum class Format { Unknown, Poly, GeoJson };

  bool take(std::string_view bytes) {
    if (ended_) return false;
    if (format_ == Format::Unknown) {
      bytes = skipStart(bytes);
      if (format_ == Format::Unknown) return true;
    }
    if (format_ == Format::GeoJson) {
      const std::size_t zero = bytes.find('\0');
      if (zero != std::string_view::npos) {
        throw RegionError(name_ + ": not text (a zero byte at byte " +
                          std::to_string(total_ - bytes.size() + zero + 1) + ")");
      }
      text_.append(bytes);
      return true;
    }
    for (std::size_t end; (end = bytes.find('\n')) != std::string_view::npos;) {
      std::string_view line = bytes.substr(0, end);
      if (!text_.empty()) line = text_.append(line);
      ended_ = !poly_.line(line);
      text_.clear();
      bytes.remove_prefix(end + 1);
      if (ended_) return false;
    }
    // The line is not complete yet; one with a zero byte will fail however
    // it goes on, and /dev/zero never ends its first.
    if (bytes.find('\0') != std::string_view::npos) throw poly_.notText(poly_.nextLineNumber());
    text_.append(bytes);
    return true;
  }

  // Skips a byte order mark and blanks, and tells the format by the first
  // other byte: { or [ for GeoJSON. What is skipped is only counted.
  std::string_view skipStart(std::string_view bytes) {
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    while (!bytes.empty()) {
      const char c = bytes.front();
      if (skipped_ < kBom.size() && bomBytes_ == skipped_ && c == kBom[bomBytes_]) {
        ++bomBytes_;
      } else if (bomBytes_ > 0 && bomBytes_ < kBom.size()) {
        format_ = Format::Poly;  // the start of no mark: part of the name line, which says nothing
        break;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        blankLines_ += c == '\n';
      } else {
        format_ = c == '{' || c == '[' ? Format::GeoJson : Format::Poly;
        break;
      }
      ++skipped_;
      bytes.remove_prefix(1);
    }
    if (format_ == Format::Poly) poly_.skipBlankLines(blankLines_);
    return bytes;
  }

  const std::string& name_;
  std::size_t maxBytes_;
  std::size_t total_ = 0;  // bytes taken
  Format format_ = Format::Unknown;
  std::size_t skipped_ = 0, bomBytes_ = 0;
  std::uint64_t blankLines_ = 0;
  // GeoJSON: the text from its first {; a .poly file: a line not yet complete.
  std::string text_;
  PolyParser poly_;
  bool ended_ = false;
};

}  // namespace

// The edges in an R-tree of their boxes. Boxes compare exactly, so the edges
// a query returns include every edge that the plain test over all edges
// would count.
struct Region::EdgeIndex {
  struct Edge {
    double x1, y1, x2, y2;  // scaled longitude and latitude
  };
  using Point = bg::model::point<double, 2, bg::cs::cartesian>;
  using Box = bg::model::box<Point>;
  // An edge's box, made when the tree asks: kept beside each edge it would
  // double a leaf's size.
  struct BoxOf {
    using result_type = Box;
    Box operator()(const Edge& e) const noexcept {
      return Box({std::min(e.x1, e.x2), std::min(e.y1, e.y2)}, {std::max(e.x1, e.x2), std::max(e.y1, e.y2)});
    }
  };

  bgi::rtree<Edge, bgi::rstar<16>, BoxOf> tree;
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
};

Region::Region(const std::vector<Ring>& rings) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  double minX = kInfinity, minY = kInfinity, maxX = -kInfinity, maxY = -kInfinity;
  std::size_t points = 0;
  for (const Ring& ring : rings) points += ring.size();
  std::vector<EdgeIndex::Edge> edges;
  edges.reserve(points);
  for (const Ring& ring : rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const Point& a = ring[i];
      const Point& b = ring[(i + 1) % ring.size()];
      if (!inRange(a)) throw RegionError(kOutOfRange);
      const EdgeIndex::Edge edge{a.longitude * kCoordinateScale, a.latitude * kCoordinateScale,
                                 b.longitude * kCoordinateScale, b.latitude * kCoordinateScale};
      if (edge.y1 == edge.y2) continue;  // a ray along the parallel never crosses it
      minX = std::min({minX, edge.x1, edge.x2});
      minY = std::min({minY, edge.y1, edge.y2});
      maxX = std::max({maxX, edge.x1, edge.x2});
      maxY = std::max({maxY, edge.y1, edge.y2});
      edges.push_back(edge);
    }
  }
  if (edges.empty()) return;
  auto index = std::make_shared<EdgeIndex>();
  index->tree = decltype(index->tree)(edges.begin(), edges.end());  // packed, in one pass
  index->minX = minX;
  index->maxX = maxX;
  index->minY = minY;
  index->maxY = maxY;
  index_ = std::move(index);
}

std::size_t Region::edgeCount() const noexcept { return index_ ? index_->tree.size() : 0; }

bool Region::contains(std::int32_t latitude, std::int32_t longitude) const noexcept {
  if (!index_) return false;
  const EdgeIndex& index = *index_;
  const double x = longitude, y = latitude;
  // An edge counts when its latitudes reach from y (included) to above y,
  // and x lies west of where it meets the parallel. That meeting point,
  // rounded, lies no more than a few units of the last place outside the
  // edge's box; with coordinates of at most 1.8e6 that is below 1e-9, and
  // kMargin keeps every edge that might count.
  constexpr double kMargin = 1.0;
  if (y < index.minY || y >= index.maxY || x > index.maxX + kMargin) return false;
  // A ring's edges that reach across the parallel are even in number (the
  // ring goes above and below it as often): west of every edge the ray
  // crosses them all, and anywhere the count east of x and the count of the
  // others have one parity. So the side nearer the edge of the box is
  // counted, for the same result from fewer edges.
  if (x < index.minX - kMargin) return false;
  const bool east = index.maxX - x <= x - index.minX;
  const EdgeIndex::Box side = east ? EdgeIndex::Box({x - kMargin, y}, {index.maxX, y})
                                   : EdgeIndex::Box({index.minX, y}, {x + kMargin, y});
  bool inside = false;
  index.tree.query(bgi::intersects(side), boost::make_function_output_iterator([&](const EdgeIndex::Edge& e) {
                     if ((e.y1 > y) != (e.y2 > y) &&
                         (x < e.x1 + (y - e.y1) * (e.x2 - e.x1) / (e.y2 - e.y1)) == east) {
                       inside = !inside;
                     }
                   }));
  return inside;
}

Region Region::parse(std::string_view text, const std::string& name) {
  RegionReader reader(name, std::numeric_limits<std::size_t>::max());
  reader.add(text);
  return Region(reader.finish());
}

Region Region::read(std::FILE* file, const std::string& name, std::size_t maxBytes) {
  RegionReader reader(name, maxBytes);
  std::vector<char> buffer(std::size_t{1} << 16);
  for (;;) {
    clearSystemError();
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    if (got > 0 && !reader.add(std::string_view(buffer.data(), got))) break;
    if (got < buffer.size()) {  // fread comes back short only at the end or on an error
      if (std::ferror(file)) throw FileReadError(name, lastSystemError());
      break;
    }
  }
  return Region(reader.finish());
}

Region Region::read(const std::filesystem::path& path, const std::string& name, std::size_t maxBytes) {
  const UniqueFile file = openFile(path, "rb");
  if (!file) throw FileReadError(name, lastSystemError());
  return read(file.get(), name, maxBytes);
}

}  // namespace tabrino
