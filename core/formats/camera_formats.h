// The formats camera lists are shared in besides our own list: GPX
// waypoints, KML placemarks (and a .kmz holding one), GeoJSON, CSV with named
// columns, the headerless POI CSV of many devices, and OV2. Each is told from
// its first bytes (its name only a hint) and read as a stream into a table,
// one row per camera, each tagged with the line it was found on.
#pragma once

#include "core/base/errors.h"
#include "core/base/progress.h"
#include "core/formats/camera_fields.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tabrino {

enum class CameraFormat { Gpx, Kml, Kmz, GeoJson, NamedCsv, PoiCsv, Ov2 };

// "GPX", "KML", "KMZ", "GeoJSON", "CSV", "POI CSV", "OV2": as messages name them.
const char* cameraFormatName(CameraFormat format) noexcept;

// How many first bytes tell every format: an XML root after its prolog, a
// CSV header line. Fewer are enough for most files (see needsLongerHead).
inline constexpr std::size_t kFormatHeadSize = 4096;

// Whether `head` (the first bytes read, fewer than kFormatHeadSize) may be
// one of these formats whose telling needs more of it. False for a list's
// header: a list is told from its first bytes alone.
bool needsLongerHead(std::string_view head) noexcept;

// The format of a file from its first bytes (all of them when it is
// shorter than kFormatHeadSize), its name as a hint; nothing for a list
// (whose header passes today's test), and for anything in none of them,
// which then reads as a list and fails as one.
std::optional<CameraFormat> cameraFormatOf(std::string_view head, const std::filesystem::path& name);

// The file could not be read as the format it was told to be: broken XML
// or JSON, a .kmz that holds no KML, or a failing read.
class CameraFileError : public TabrinoError {
 public:
  CameraFileError(const std::string& name, CameraFormat format, std::string reason)
      : TabrinoError("Cannot read the " + std::string(cameraFormatName(format)) + " file " + name, std::move(reason)) {}
  CameraFileError(const std::string& name, CameraFormat format, std::error_code code)
      : TabrinoError("Cannot read the " + std::string(cameraFormatName(format)) + " file " + name, code) {}
};

// A file of one of these formats, already open with its first bytes read.
struct CameraFileInput {
  std::FILE* file = nullptr;
  std::string_view alreadyRead;  // read from file before, taken first
  std::filesystem::path path;    // for the speed in its name; empty for standard input
  std::string shownName;         // as messages name it
  std::uint64_t size = 0;        // for progress; 0 when unknown
};

struct CameraFileOptions {
  FindingSink* findings = nullptr;
  ProgressCallback progress;
  CameraDefaults defaults;
  std::uint64_t firstLine = 0;  // the line (from 0) the file's first line takes among several inputs
  bool keepText = false;        // give the table the list text the cameras make
  bool severalInputs = false;   // a finding of no line takes the file's first (see CameraSink)
};

struct CameraFileRead {
  std::size_t cameras = 0;  // rows added
  std::uint64_t lines = 0;  // the file's lines (an OV2's records, plus one)
  std::string text;         // with keepText: the list the cameras make
};

// Reads the whole input, appending its cameras to `table` (or, with
// keepText, to the text returned). Throws CameraFileError.
CameraFileRead readCameraFile(CameraFormat format, const CameraFileInput& input, CameraTable& table,
                              const CameraFileOptions& options);

}  // namespace tabrino
