// GPX waypoints and KML placemarks, read as a stream with expat: only the
// camera being read is held. Element names are matched by their local part,
// whatever namespace prefix a writer chose.
#include "core/formats/format_readers.h"

#ifdef TABRINO_EXPAT
#include <expat.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>
#endif

namespace tabrino {
#ifdef TABRINO_EXPAT
namespace {

std::string_view localName(const XML_Char* name) noexcept {
  const std::string_view full(name);
  const std::size_t colon = full.rfind(':');
  return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

std::string_view attribute(const XML_Char** attributes, std::string_view wanted) noexcept {
  for (; attributes[0]; attributes += 2) {
    if (localName(attributes[0]) == wanted) return attributes[1];
  }
  return {};
}

std::string_view trimmed(std::string_view text) noexcept {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The fields of one camera, kept by meaning between its elements.
struct FieldTexts {
  std::array<std::string, 7> values;  // by CameraField
  void clear() {
    for (std::string& value : values) value.clear();
  }
  // A type that is not a number (GPX's <type> often names the kind in
  // words) does not take the place of one.
  void set(std::string_view name, std::string_view value) {
    const CameraField field = cameraFieldNamed(name);
    value = trimmed(value);
    if (field == CameraField::None || value.empty()) return;
    std::string& slot = values[static_cast<std::size_t>(field)];
    if (field == CameraField::Type && !slot.empty() && !(value.front() == '-' || (value.front() >= '0' && value.front() <= '9'))) return;
    slot.assign(value);
  }
  CameraFields fields() const {
    CameraFields out;
    out.type = values[static_cast<std::size_t>(CameraField::Type)];
    out.speed = values[static_cast<std::size_t>(CameraField::Speed)];
    out.dirType = values[static_cast<std::size_t>(CameraField::DirType)];
    out.direction = values[static_cast<std::size_t>(CameraField::Direction)];
    out.name = values[static_cast<std::size_t>(CameraField::Name)];
    out.speedUnit = values[static_cast<std::size_t>(CameraField::SpeedUnit)];
    return out;
  }
};

// Our GPX export's extensions, whose waypoints' coordinates are stored
// values written out, read back exactly.
constexpr std::string_view kOurPrefix = "tabrino:";
// Our KML export's schema, the same for its placemarks.
constexpr std::string_view kOurSchema = "#camera";

// One parser, with the handlers of a format; the handler object is the
// parser's user data.
class XmlReader {
 public:
  XmlReader() : parser_(XML_ParserCreate(nullptr)) {
    if (!parser_) throw std::bad_alloc();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlReader::startThunk, &XmlReader::endThunk);
    XML_SetCharacterDataHandler(parser_, &XmlReader::textThunk);
    // No camera file declares entities: one that does is refused, before an
    // entity can grow a few bytes into gigabytes or name another file.
    XML_SetEntityDeclHandler(parser_, &XmlReader::entityThunk);
  }
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;
  virtual ~XmlReader() { XML_ParserFree(parser_); }

  // Parses the whole input; returns its lines.
  std::uint64_t parse(ByteStream& in) {
    for (;;) {
      const std::string_view bytes = in.next();
      if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) in.fail("a block too large");
      if (XML_Parse(parser_, bytes.data(), static_cast<int>(bytes.size()), bytes.empty()) == XML_STATUS_ERROR) {
        in.fail("line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " +
                (refused_ ? refused_ : XML_ErrorString(XML_GetErrorCode(parser_))));
      }
      if (bytes.empty()) break;
    }
    finish();
    return line();
  }

 protected:
  virtual void start(std::string_view name, const XML_Char** attributes) = 0;
  virtual void end(std::string_view name) = 0;
  virtual void finish() {}
  std::uint64_t line() const noexcept { return XML_GetCurrentLineNumber(parser_); }

  std::string text_;      // the character data since the last element began
  bool collecting_ = false;
  std::string_view qualifiedName_;  // of the element ending, its prefix too

 private:
  // Stops the parse; its error then says `why`.
  void refuse(const char* why) {
    refused_ = why;
    XML_StopParser(parser_, XML_FALSE);
  }
  static void entityThunk(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                          const XML_Char*, const XML_Char*) {
    static_cast<XmlReader*>(self)->refuse("the file declares entities, which camera files never need");
  }
  static void startThunk(void* self, const XML_Char* name, const XML_Char** attributes) {
    auto* reader = static_cast<XmlReader*>(self);
    // The parser keeps every open element: a file of nothing but nesting
    // would take memory without end.
    if (++reader->depth_ > kMaxXmlDepth) return reader->refuse("elements nested deeper than 256");
    reader->text_.clear();
    reader->start(localName(name), attributes);
  }
  static void endThunk(void* self, const XML_Char* name) {
    auto* reader = static_cast<XmlReader*>(self);
    --reader->depth_;
    reader->qualifiedName_ = name;
    reader->end(localName(name));
    reader->text_.clear();
  }
  static void textThunk(void* self, const XML_Char* text, int length) {
    auto* reader = static_cast<XmlReader*>(self);
    if (reader->collecting_) reader->text_.append(text, static_cast<std::size_t>(length));
  }

  static constexpr int kMaxXmlDepth = 256;
  XML_Parser parser_;
  int depth_ = 0;
  const char* refused_ = nullptr;  // why the parse was stopped, if it was
};

// GPX: each wpt is a camera; its child elements and extensions give fields
// by name. Route and track points are not cameras.
class GpxReader : public XmlReader {
 public:
  explicit GpxReader(CameraSink& sink) : sink_(sink) {}

 private:
  void start(std::string_view name, const XML_Char** attributes) override {
    if (inWaypoint_) return;
    if (name == "wpt") {
      inWaypoint_ = collecting_ = true;
      waypointLine_ = line();
      ours_ = false;
      fields_.clear();
      lat_ = attribute(attributes, "lat");
      lon_ = attribute(attributes, "lon");
    } else if (name == "rtept" || name == "trkpt") {
      if (otherPoints_++ == 0) firstOtherLine_ = line();
    }
  }
  void end(std::string_view name) override {
    if (!inWaypoint_) return;
    if (name != "wpt") {
      if (qualifiedName_.substr(0, kOurPrefix.size()) == kOurPrefix) {
        ours_ = true;
        // GPX takes longitudes below 180, so our export writes a camera at
        // 180 at -180 and keeps the stored value here. Its record number and
        // heading say again what its fields say.
        if (name == "lon") seamLon_ = text_;
        if (name == "lon" || name == "id" || name == "heading") return;
      }
      fields_.set(name, text_);
      return;
    }
    inWaypoint_ = collecting_ = false;
    CameraFields fields = fields_.fields();
    fields.x = ours_ && !seamLon_.empty() ? seamLon_ : lon_;
    fields.y = lat_;
    sink_.add(fields, waypointLine_, ours_);
    seamLon_.clear();
  }
  void finish() override {
    if (otherPoints_ == 0) return;
    sink_.find(firstOtherLine_, FindingKind::NotACamera,
               std::to_string(otherPoints_) + (otherPoints_ == 1 ? " route or track point" : " route and track points") +
                   " (rtept, trkpt): not cameras, not read");
  }

  CameraSink& sink_;
  bool inWaypoint_ = false;
  bool ours_ = false;  // our export's waypoint
  std::uint64_t waypointLine_ = 0;
  std::string lat_, lon_, seamLon_;
  FieldTexts fields_;
  std::uint64_t otherPoints_ = 0;
  std::uint64_t firstOtherLine_ = 0;
};

// KML: each Placemark with a Point, at any depth of Folders; each Point of a
// MultiGeometry is a camera. Data and SimpleData give fields by name.
class KmlReader : public XmlReader {
 public:
  explicit KmlReader(CameraSink& sink) : sink_(sink) {}

 private:
  void start(std::string_view name, const XML_Char** attributes) override {
    if (name == "Placemark") {
      inPlacemark_ = collecting_ = true;
      placemarkLine_ = line();
      ours_ = false;
      depth_ = 0;
      fields_.clear();
      points_.clear();
      otherGeometry_.clear();
      return;
    }
    if (!inPlacemark_) return;
    ++depth_;
    if (name == "Point") {
      inPoint_ = true;
    } else if (name == "Data" || name == "SimpleData") {
      dataName_ = attribute(attributes, "name");
    } else if (name == "SchemaData") {
      ours_ = attribute(attributes, "schemaUrl") == kOurSchema;
    } else if (name == "LineString" || name == "LinearRing" || name == "Polygon" || name == "Track" ||
               name == "MultiTrack" || name == "Model") {
      if (otherGeometry_.empty()) otherGeometry_ = std::string(name);
    }
  }
  void end(std::string_view name) override {
    if (!inPlacemark_) return;
    if (name == "Placemark") {
      inPlacemark_ = collecting_ = false;
      placemark();
      return;
    }
    if (name == "coordinates" && inPoint_) {
      points_.push_back(text_);
    } else if (name == "Point") {
      inPoint_ = false;
    } else if (name == "value" || name == "SimpleData") {
      fields_.set(dataName_, text_);
    } else if (name == "name" && depth_ == 1) {
      fields_.set("name", text_);
    }
    --depth_;
  }

  void placemark() {
    if (points_.empty()) {
      sink_.find(placemarkLine_, FindingKind::NotACamera,
                 "Placemark " + (otherGeometry_.empty() ? std::string("without a geometry") : "of a " + otherGeometry_) +
                     ": not a point, not read");
      return;
    }
    CameraFields fields = fields_.fields();
    for (const std::string& point : points_) {
      // "lon,lat[,alt]"; the first tuple of a Point's coordinates.
      std::string_view tuple = trimmed(point);
      tuple = tuple.substr(0, tuple.find_first_of(" \t\r\n"));
      const std::size_t comma = tuple.find(',');
      fields.x = tuple.substr(0, comma);
      fields.y = comma == std::string_view::npos ? std::string_view() : tuple.substr(comma + 1);
      fields.y = fields.y.substr(0, fields.y.find(','));
      sink_.add(fields, placemarkLine_, ours_);
    }
  }

  CameraSink& sink_;
  bool inPlacemark_ = false;
  bool inPoint_ = false;
  bool ours_ = false;  // our export's placemark
  int depth_ = 0;  // below the Placemark
  std::uint64_t placemarkLine_ = 0;
  std::string dataName_;
  FieldTexts fields_;
  std::vector<std::string> points_;
  std::string otherGeometry_;
};

}  // namespace

std::uint64_t readGpx(ByteStream& in, CameraSink& sink) {
  GpxReader reader(sink);
  return reader.parse(in);
}

std::uint64_t readKml(ByteStream& in, CameraSink& sink) {
  KmlReader reader(sink);
  return reader.parse(in);
}

#else  // a build without expat

std::uint64_t readGpx(ByteStream& in, CameraSink&) { in.fail("GPX is not available in this build"); }
std::uint64_t readKml(ByteStream& in, CameraSink&) { in.fail("KML is not available in this build"); }

#endif

}  // namespace tabrino
