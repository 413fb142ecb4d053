// A database's cameras written for the tools people already use: GPX 1.1
// waypoints, KML placemarks, a GeoJSON FeatureCollection, or the list that
// dump writes. Coordinates are written as dumps write them, so each converts
// back to the stored value.
#pragma once

#include "core/platform/byte_source.h"
#include "core/database/camera_db_format.h"
#include "core/base/progress.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

enum class ExportFormat { List, Gpx, Kml, GeoJson };

// "list", "gpx", "kml", "geojson".
const char* exportFormatName(ExportFormat format) noexcept;
std::optional<ExportFormat> exportFormatNamed(std::string_view name) noexcept;

// "Fixed camera", "Mobile camera", ..., "Camera type 192" for a code
// without a common meaning.
std::string cameraTypeName(std::uint8_t type);
// What a person reads first: "Fixed camera 60 km/h, heading 90°".
std::string cameraName(const CameraRecord& record);

// Text for XML content or an attribute value: markup characters escaped,
// control characters (which XML 1.0 forbids) dropped.
std::string xmlEscaped(std::string_view text);

// Hands each piece of the output on as it is made; throws to stop.
using TextWriter = std::function<void(const std::string& text)>;

// Streams an export of records one by one: begin, then add for each record
// (numbered from 1), then end. `title` names the whole (a file name).
class GeoExporter {
 public:
  GeoExporter(ExportFormat format, const TextWriter& write) : format_(format), write_(write) {}
  void begin(const std::string& title);
  void add(const CameraRecord& record);
  void end();

 private:
  ExportFormat format_;
  const TextWriter& write_;
  std::uint64_t count_ = 0;
  std::string pending_;  // written in blocks, not a call per record
};

// Reads the first recordCount records of the database in source (those
// inside the file) in blocks and hands each on. Throws FileReadError.
void forEachRecord(ByteSource& source, std::uint64_t recordCount,
                   const std::function<void(const CameraRecord&)>& visit, const ProgressCallback& progress = {});

// An export of a whole database. Throws what source and write throw.
void exportRecords(ByteSource& source, std::uint64_t recordCount, ExportFormat format, const std::string& title,
                   const TextWriter& write, const ProgressCallback& progress = {});

}  // namespace tabrino
