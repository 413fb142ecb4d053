#include "core/export/geo_export.h"

#include "core/model/coordinate_text.h"
#include "core/export/db_dump.h"

#include <algorithm>
#include <array>

namespace tabrino {
namespace {

constexpr std::size_t kRecordsPerBlock = 1 << 16;
constexpr std::size_t kPendingBytes = 1 << 16;

std::string jsonEscaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
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

// The fields every format carries beside the name, in degrees as a list holds them.
struct Fields {
  std::string type, speed, dirType, direction;
};

Fields fieldsOf(const CameraRecord& record) {
  return {std::to_string(record.type), std::to_string(record.speed), std::to_string(record.directionType),
          std::to_string(directionDegrees(record.directionCode))};
}

}  // namespace

std::string xmlEscaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
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

std::string cameraName(const CameraRecord& record) {
  std::string name = cameraTypeName(record.type);
  // Speeds below 10 are stored as 0: no limit.
  if (record.speed != 0) name += " " + std::to_string(record.speed) + " km/h";
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

void GeoExporter::begin(const std::string& title) {
  switch (format_) {
    case ExportFormat::List:
      pending_ += listHeaderLine();
      break;
    case ExportFormat::Gpx:
      pending_ +=
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<gpx version=\"1.1\" creator=\"tabrino\" xmlns=\"http://www.topografix.com/GPX/1/1\""
          " xmlns:tabrino=\"urn:tabrino:camera:1\">\n"
          "<metadata><name>" + xmlEscaped(title) + "</name></metadata>\n";
      break;
    case ExportFormat::Kml:
      pending_ +=
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
          "<Document><name>" + xmlEscaped(title) + "</name>\n";
      break;
    case ExportFormat::GeoJson:
      pending_ += "{\"type\":\"FeatureCollection\",\"name\":\"" + jsonEscaped(title) + "\",\"features\":[\n";
      break;
  }
}

void GeoExporter::add(const CameraRecord& record) {
  ++count_;
  const std::string lon = coordinateText(record.longitude);
  const std::string lat = coordinateText(record.latitude);
  const Fields fields = fieldsOf(record);
  switch (format_) {
    case ExportFormat::List:
      pending_ += listLine(count_, record);
      break;
    case ExportFormat::Gpx:
      pending_ += "<wpt lat=\"" + lat + "\" lon=\"" + lon + "\"><name>" + xmlEscaped(cameraName(record)) +
                  "</name><type>" + cameraTypeName(record.type) + "</type><extensions><tabrino:type>" +
                  fields.type + "</tabrino:type><tabrino:speed>" + fields.speed + "</tabrino:speed><tabrino:dirtype>" +
                  fields.dirType + "</tabrino:dirtype><tabrino:direction>" + fields.direction +
                  "</tabrino:direction></extensions></wpt>\n";
      break;
    case ExportFormat::Kml:
      pending_ += "<Placemark><name>" + xmlEscaped(cameraName(record)) +
                  "</name><ExtendedData><Data name=\"type\"><value>" + fields.type +
                  "</value></Data><Data name=\"speed\"><value>" + fields.speed +
                  "</value></Data><Data name=\"dirtype\"><value>" + fields.dirType +
                  "</value></Data><Data name=\"direction\"><value>" + fields.direction +
                  "</value></Data></ExtendedData><Point><coordinates>" + lon + "," + lat +
                  "</coordinates></Point></Placemark>\n";
      break;
    case ExportFormat::GeoJson:
      pending_ += std::string(count_ == 1 ? "" : ",\n") +
                  "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[" + lon + "," + lat +
                  "]},\"properties\":{\"name\":\"" + jsonEscaped(cameraName(record)) + "\",\"type\":" + fields.type +
                  ",\"speed\":" + fields.speed + ",\"dirtype\":" + fields.dirType +
                  ",\"direction\":" + fields.direction + "}}";
      break;
  }
  if (pending_.size() >= kPendingBytes) {
    write_(pending_);
    pending_.clear();
  }
}

void GeoExporter::end() {
  switch (format_) {
    case ExportFormat::List: break;
    case ExportFormat::Gpx: pending_ += "</gpx>\n"; break;
    case ExportFormat::Kml: pending_ += "</Document>\n</kml>\n"; break;
    case ExportFormat::GeoJson: pending_ += "\n]}\n"; break;
  }
  write_(pending_);
  pending_.clear();
}

void forEachRecord(ByteSource& source, std::uint64_t recordCount,
                   const std::function<void(const CameraRecord&)>& visit, const ProgressCallback& progress) {
  const std::uint64_t begin = kHeaderSize + kRandomBlockSize;
  const std::uint64_t inFile = source.size() > begin ? (source.size() - begin) / kRecordSize : 0;
  const std::uint64_t count = std::min(recordCount, inFile);
  std::uint64_t done = 0;
  forEachBlock(source, begin, begin + count * kRecordSize, kRecordsPerBlock * kRecordSize,
               [&](std::uint64_t, const std::uint8_t* bytes, std::size_t size) {
                 for (std::size_t at = 0; at < size; at += kRecordSize) visit(decodeRecord(bytes + at));
                 done += size / kRecordSize;
                 if (progress) progress(done, count);
               });
}

void exportRecords(ByteSource& source, std::uint64_t recordCount, ExportFormat format, const std::string& title,
                   const TextWriter& write, const ProgressCallback& progress) {
  GeoExporter exporter(format, write);
  exporter.begin(title);
  forEachRecord(source, recordCount, [&](const CameraRecord& record) { exporter.add(record); }, progress);
  exporter.end();
}

}  // namespace tabrino
