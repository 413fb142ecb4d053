// The cameras as comma-separated text for the tools that take it: the POI
// CSV of one family of devices' POI loaders (`lon,lat,"name","comment"`, no
// header), and our own CSV with named columns
// (`lon,lat,type,speed,dirtype,direction,name`), which GIS tools read as a
// layer and which converts back to the same records. Coordinates are the
// stored values exactly, as in the other exports.
#pragma once

#include "core/export/camera_names.h"
#include "core/export/geo_export.h"

#include <memory>

namespace tabrino {

// The header line of our CSV, with its line end.
inline constexpr const char* kCameraCsvHeader = "lon,lat,type,speed,dirtype,direction,name\n";

// `names` must outlive the writer.
std::unique_ptr<ExportWriter> makePoiCsvWriter(const TextWriter& write, const NameTemplate& names);
std::unique_ptr<ExportWriter> makeCameraCsvWriter(const TextWriter& write, const NameTemplate& names);

// The text in double quotes, a quote inside doubled, as CSV readers take it.
std::string csvQuoted(std::string_view text);

}  // namespace tabrino
