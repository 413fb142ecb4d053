// The formats a camera export writes, one writer each, chosen once: OV2 with
// skipper records, POI CSV, our CSV with named columns, and what dump writes
// of a database (GPX, KML, GeoJSON).
#pragma once

#include "core/export/camera_names.h"
#include "core/export/geo_export.h"
#include "core/model/camera_record.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

enum class CameraFileFormat { Ov2, PoiCsv, Csv, Gpx, Kml, GeoJson };

// "ov2", "poi-csv", "csv", "gpx", "kml", "geojson".
const char* cameraFileFormatName(CameraFileFormat format) noexcept;
std::optional<CameraFileFormat> cameraFileFormatNamed(std::string_view name) noexcept;
// ".ov2", ".csv", ".csv", ".gpx", ".kml", ".geojson".
const char* cameraFileExtension(CameraFileFormat format) noexcept;

// The whole file of `cameras`, handed to `write` in pieces. Text formats list
// the cameras in order of latitude, then longitude and the other fields, so
// that the same cameras in any order give the same file; OV2 orders them by
// its tree. `names` names each camera in OV2, POI CSV and CSV; `title` names
// the whole where the format has a title. Throws what `write` throws, and
// TooLargeError for an OV2 file past 2 GiB.
void writeCameraFile(CameraFileFormat format, std::vector<CameraRecord> cameras, const NameTemplate& names,
                     const std::string& title, const TextWriter& write);

}  // namespace tabrino
