#include "core/export/geo_export.h"

#include "core/base/utf8_text.h"
#include "core/database/record_reader.h"
#include "core/list/list_text.h"
#include "core/model/coordinate_text.h"

#include <algorithm>
#include <iterator>

namespace tabrino {
namespace {

constexpr std::size_t kPendingBytes = 1 << 16;

std::string jsonEscaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : utf8OrLatin1(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// GIS readers take a coordinate for the place it names, so the exports
// write the stored value itself rather than the list's shortest text.
struct ExactPoint {
  std::string lon, lat;
  explicit ExactPoint(const CameraRecord& record)
      : lon(exactCoordinateText(record.longitude)), lat(exactCoordinateText(record.latitude)) {}
};

// The heading a camera watches, in degrees, for the formats that turn a
// mark to it; none for a camera of all directions.
std::optional<std::int32_t> headingOf(const CameraRecord& record) {
  if (record.directionType != 1 && record.directionType != 2) return std::nullopt;
  return directionDegrees(record.directionCode) % 360;
}

}  // namespace

std::string xmlEscaped(std::string_view text) {
  std::string out;
  for (const char c : utf8OrLatin1(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

const char* exportFormatName(ExportFormat format) noexcept {
  switch (format) {
    case ExportFormat::List: return "list";
    case ExportFormat::Gpx: return "gpx";
    case ExportFormat::Kml: return "kml";
    case ExportFormat::GeoJson: return "geojson";
  }
  return "";
}

std::optional<ExportFormat> exportFormatNamed(std::string_view name) noexcept {
  for (const ExportFormat format : {ExportFormat::List, ExportFormat::Gpx, ExportFormat::Kml, ExportFormat::GeoJson}) {
    if (name == exportFormatName(format)) return format;
  }
  return std::nullopt;
}

std::string cameraTypeName(std::uint8_t type) {
  // The meanings lists in this layout agree on.
  switch (type) {
    case 1: return "Fixed camera";
    case 2: return "Red-light and speed camera";
    case 3: return "Red-light camera";
    case 4: return "Section control";
    case 5: return "Mobile camera";
    default: return "Camera type " + std::to_string(type);
  }
}

TypeStyle cameraTypeStyle(std::uint8_t type) noexcept {
  switch (type) {
    case 1: return {"#d55e00", "circle", "Danger Area"};      // vermillion
    case 2: return {"#e69f00", "square", "Traffic Light"};    // orange
    case 3: return {"#cc79a7", "triangle", "Traffic Light"};  // reddish purple
    case 4: return {"#0072b2", "roadblock", "Flag, Blue"};    // blue
    case 5: return {"#009e73", "car", "Car"};                 // bluish green
    default: return {"#56b4e9", "camera", "Waypoint"};        // sky blue
  }
}

std::string cameraName(const CameraRecord& record) {
  std::string name = cameraTypeName(record.type);
  // Speeds below 10 are stored as 0: no limit. A name that ends in a
  // number ("Camera type 6") is set off from the speed's.
  if (record.speed != 0) {
    name += (name.back() >= '0' && name.back() <= '9' ? ", " : " ") + std::to_string(record.speed) + " km/h";
  }
  const std::int32_t heading = directionDegrees(record.directionCode) % 360;
  switch (record.directionType) {
    case 0: name += ", all directions"; break;
    case 1: name += ", heading " + std::to_string(heading) + "\u00B0"; break;
    case 2:
      name += ", headings " + std::to_string(std::min(heading, (heading + 180) % 360)) + "\u00B0 and " +
              std::to_string(std::max(heading, (heading + 180) % 360)) + "\u00B0";
      break;
    default: name += ", direction type " + std::to_string(record.directionType); break;
  }
  return name;
}

void ExportWriter::begin(const std::string& title) { header(pending_, title); }

void ExportWriter::add(const CameraRecord& record) {
  entry(pending_, ++count_, record);
  if (pending_.size() >= kPendingBytes) {
    write_(pending_);
    pending_.clear();
  }
}

void ExportWriter::end() {
  footer(pending_);
  write_(pending_);
  pending_.clear();
}

namespace {

class ListWriter : public ExportWriter {
 public:
  using ExportWriter::ExportWriter;

 protected:
  void header(std::string& out, const std::string&) override { out += listHeaderLine(); }
  void entry(std::string& out, std::uint64_t number, const CameraRecord& record) override {
    out += listLine(number, record);
  }
  void footer(std::string&) override {}
};

class GpxWriter : public ExportWriter {
 public:
  using ExportWriter::ExportWriter;

 protected:
  void header(std::string& out, const std::string& title) override {
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"tabrino\" xmlns=\"http://www.topografix.com/GPX/1/1\""
        " xmlns:tabrino=\"urn:tabrino:camera:1\">\n"
        "<metadata><name>" + xmlEscaped(title) + "</name></metadata>\n";
  }
  void entry(std::string& out, std::uint64_t number, const CameraRecord& record) override {
    const RecordTexts t = recordTexts(record);
    const ExactPoint at(record);
    // GPX takes longitudes below 180: the same meridian is -180. Our own
    // readers take the stored value back from the extension.
    const bool atSeam = at.lon == "180";
    out += "<wpt lat=\"" + at.lat + "\" lon=\"" + (atSeam ? std::string("-180") : at.lon) + "\"><name>" +
           xmlEscaped(cameraName(record)) + "</name><sym>" + cameraTypeStyle(record.type).gpxSymbol + "</sym><type>" +
           cameraTypeName(record.type) + "</type><extensions><tabrino:id>" + std::to_string(number) +
           "</tabrino:id><tabrino:type>" + t.type + "</tabrino:type><tabrino:speed>" + t.speed +
           "</tabrino:speed><tabrino:dirtype>" + t.dirType + "</tabrino:dirtype><tabrino:direction>" + t.direction +
           "</tabrino:direction>";
    if (const auto heading = headingOf(record)) out += "<tabrino:heading>" + std::to_string(*heading) + "</tabrino:heading>";
    if (atSeam) out += "<tabrino:lon>" + at.lon + "</tabrino:lon>";
    out += "</extensions></wpt>\n";
  }
  void footer(std::string& out) override { out += "</gpx>\n"; }
};

class KmlWriter : public ExportWriter {
 public:
  using ExportWriter::ExportWriter;

 protected:
  void header(std::string& out, const std::string& title) override {
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
        "<Document><name>" + xmlEscaped(title) + "</name>\n";
    for (const std::uint8_t type : kStyledTypes) style(out, std::to_string(type), cameraTypeStyle(type));
    style(out, "other", cameraTypeStyle(0));
    out +=
        "<Schema name=\"camera\" id=\"camera\"><SimpleField name=\"type\" type=\"int\"/>"
        "<SimpleField name=\"speed\" type=\"int\"/><SimpleField name=\"dirtype\" type=\"int\"/>"
        "<SimpleField name=\"direction\" type=\"int\"/></Schema>\n";
  }
  void entry(std::string& out, std::uint64_t number, const CameraRecord& record) override {
    const RecordTexts t = recordTexts(record);
    const ExactPoint at(record);
    const bool styled = std::find(std::begin(kStyledTypes), std::end(kStyledTypes), record.type) != std::end(kStyledTypes);
    out += "<Placemark id=\"camera-" + std::to_string(number) + "\"><name>" + xmlEscaped(cameraName(record)) +
           "</name><styleUrl>#type-" + (styled ? t.type : std::string("other")) + "</styleUrl>";
    // The type's style, its mark turned to the heading.
    if (const auto heading = headingOf(record)) {
      out += "<Style><IconStyle>" + kmlColour(cameraTypeStyle(record.type)) + "<heading>" + std::to_string(*heading) +
             "</heading></IconStyle></Style>";
    }
    out += "<ExtendedData><SchemaData schemaUrl=\"#camera\"><SimpleData name=\"type\">" + t.type +
           "</SimpleData><SimpleData name=\"speed\">" + t.speed + "</SimpleData><SimpleData name=\"dirtype\">" +
           t.dirType + "</SimpleData><SimpleData name=\"direction\">" + t.direction +
           "</SimpleData></SchemaData></ExtendedData><Point><coordinates>" + at.lon + "," + at.lat + "</coordinates></Point></Placemark>\n";
  }
  void footer(std::string& out) override { out += "</Document>\n</kml>\n"; }

 private:
  // KML colours are aabbggrr.
  static std::string kmlColour(const TypeStyle& look) {
    const std::string rgb(look.colour + 1);
    return "<color>ff" + rgb.substr(4, 2) + rgb.substr(2, 2) + rgb.substr(0, 2) + "</color>";
  }
  // The viewer's own mark in the type's colour: no icon to fetch.
  static void style(std::string& out, const std::string& id, const TypeStyle& look) {
    out += "<Style id=\"type-" + id + "\"><IconStyle>" + kmlColour(look) + "</IconStyle></Style>\n";
  }
};

class GeoJsonWriter : public ExportWriter {
 public:
  using ExportWriter::ExportWriter;

 protected:
  void header(std::string& out, const std::string& title) override {
    out += "{\"type\":\"FeatureCollection\",\"name\":\"" + jsonEscaped(title) + "\",\"features\":[\n";
  }
  void entry(std::string& out, std::uint64_t number, const CameraRecord& record) override {
    const RecordTexts t = recordTexts(record);
    const ExactPoint at(record);
    const std::string name = jsonEscaped(cameraName(record));
    const TypeStyle look = cameraTypeStyle(record.type);
    out += std::string(number == 1 ? "" : ",\n") + "{\"type\":\"Feature\",\"id\":" + std::to_string(number) + ",\"geometry\":{\"type\":\"Point\",\"coordinates\":[" +
           at.lon + "," + at.lat + "]},\"properties\":{\"name\":\"" + name + "\",\"title\":\"" + name +
           "\",\"marker-color\":\"" + look.colour + "\",\"marker-symbol\":\"" + look.symbol + "\",\"type\":" + t.type +
           ",\"speed\":" + t.speed + ",\"dirtype\":" + t.dirType + ",\"direction\":" + t.direction + "}}";
  }
  void footer(std::string& out) override { out += "\n]}\n"; }
};

}  // namespace

std::unique_ptr<ExportWriter> makeExportWriter(ExportFormat format, const TextWriter& write) {
  switch (format) {
    case ExportFormat::List: return std::make_unique<ListWriter>(write);
    case ExportFormat::Gpx: return std::make_unique<GpxWriter>(write);
    case ExportFormat::Kml: return std::make_unique<KmlWriter>(write);
    case ExportFormat::GeoJson: return std::make_unique<GeoJsonWriter>(write);
  }
  return std::make_unique<ListWriter>(write);
}

void exportRecords(ByteSource& source, std::uint64_t recordCount, ExportFormat format, const std::string& title,
                   const TextWriter& write, const ProgressCallback& progress) {
  const std::unique_ptr<ExportWriter> writer = makeExportWriter(format, write);
  writer->begin(title);
  forEachRecord(source, recordCount, [&](const CameraRecord& record) { writer->add(record); }, progress);
  writer->end();
}

}  // namespace tabrino
