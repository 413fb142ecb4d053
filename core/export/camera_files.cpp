#include "core/export/camera_files.h"

#include "core/export/csv_export.h"
#include "core/export/ov2_file.h"

#include <algorithm>
#include <memory>
#include <tuple>

namespace tabrino {
namespace {

constexpr CameraFileFormat kFormats[] = {CameraFileFormat::Ov2, CameraFileFormat::PoiCsv, CameraFileFormat::Csv,
                                         CameraFileFormat::Gpx, CameraFileFormat::Kml,    CameraFileFormat::GeoJson};

std::unique_ptr<ExportWriter> textWriter(CameraFileFormat format, const TextWriter& write, const NameTemplate& names) {
  switch (format) {
    case CameraFileFormat::PoiCsv: return makePoiCsvWriter(write, names);
    case CameraFileFormat::Csv: return makeCameraCsvWriter(write, names);
    case CameraFileFormat::Gpx: return makeExportWriter(ExportFormat::Gpx, write);
    case CameraFileFormat::Kml: return makeExportWriter(ExportFormat::Kml, write);
    case CameraFileFormat::GeoJson:
    case CameraFileFormat::Ov2: break;
  }
  return makeExportWriter(ExportFormat::GeoJson, write);
}

}  // namespace

const char* cameraFileFormatName(CameraFileFormat format) noexcept {
  switch (format) {
    case CameraFileFormat::Ov2: return "ov2";
    case CameraFileFormat::PoiCsv: return "poi-csv";
    case CameraFileFormat::Csv: return "csv";
    case CameraFileFormat::Gpx: return "gpx";
    case CameraFileFormat::Kml: return "kml";
    case CameraFileFormat::GeoJson: return "geojson";
  }
  return "";
}

std::optional<CameraFileFormat> cameraFileFormatNamed(std::string_view name) noexcept {
  for (const CameraFileFormat format : kFormats) {
    if (name == cameraFileFormatName(format)) return format;
  }
  return std::nullopt;
}

const char* cameraFileExtension(CameraFileFormat format) noexcept {
  switch (format) {
    case CameraFileFormat::Ov2: return ".ov2";
    case CameraFileFormat::PoiCsv:
    case CameraFileFormat::Csv: return ".csv";
    case CameraFileFormat::Gpx: return ".gpx";
    case CameraFileFormat::Kml: return ".kml";
    case CameraFileFormat::GeoJson: return ".geojson";
  }
  return "";
}

void writeCameraFile(CameraFileFormat format, std::vector<CameraRecord> cameras, const NameTemplate& names,
                     const std::string& title, const TextWriter& write) {
  if (format == CameraFileFormat::Ov2) {
    std::string bytes;
    appendOv2File(bytes, std::move(cameras), names);
    write(bytes);
    return;
  }
  std::sort(cameras.begin(), cameras.end(), [](const CameraRecord& a, const CameraRecord& b) {
    return std::tie(a.latitude, a.longitude, a.type, a.speed, a.directionType, a.directionCode) <
           std::tie(b.latitude, b.longitude, b.type, b.speed, b.directionType, b.directionCode);
  });
  const std::unique_ptr<ExportWriter> writer = textWriter(format, write, names);
  writer->begin(title);
  for (const CameraRecord& camera : cameras) writer->add(camera);
  writer->end();
}

}  // namespace tabrino
