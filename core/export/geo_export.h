// A database's cameras written for the tools people already use: GPX 1.1
// waypoints, KML placemarks, a GeoJSON FeatureCollection, or a camera list
// (what dump writes). Each camera is styled by its type (colour, symbol)
// where the format has a way to say it. The list writes coordinates as dump does, so that they
// convert back to the stored bytes; the other formats write the stored value
// exactly (409709 is 40.9709), which is where a GIS reader puts the camera.
#pragma once

#include "core/platform/byte_source.h"
#include "core/database/camera_db_format.h"
#include "core/base/progress.h"

#include <cstdint>
#include <functional>
#include <memory>
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

// How a type looks wherever we draw or export it: a colour from Okabe and
// Ito's palette, which people with any common colour blindness tell apart,
// and a symbol for the tools that choose marks by name (Mapbox's Maki names
// for GeoJSON, so a type is told apart by its shape too; for GPX a name
// from the symbol set GPS units carry, one each for fixed, red-light,
// section and mobile cameras). KML gets the colour on the viewer's own
// mark: an icon named by address would need the network. Types without a
// common meaning share one style.
struct TypeStyle {
  const char* colour;     // "#d55e00"
  const char* symbol;     // "circle"
  const char* gpxSymbol;  // "Danger Area"
};
TypeStyle cameraTypeStyle(std::uint8_t type) noexcept;
// The types with a style of their own; all others look like type 0.
inline constexpr std::uint8_t kStyledTypes[] = {1, 2, 3, 4, 5};

// Text for XML content or an attribute value: markup characters escaped,
// control characters (which XML 1.0 forbids) dropped, and bytes that are
// not UTF-8 read as Latin-1 (see utf8OrLatin1), so the document stays valid.
std::string xmlEscaped(std::string_view text);

// Hands each piece of the output on as it is made; throws to stop.
using TextWriter = std::function<void(const std::string& text)>;

// Streams an export of records one by one: begin, then add for each record
// (numbered from 1), then end. `title` names the whole (a file name). Each
// format is one writer, chosen once; output is handed on in blocks, not a
// call per record.
class ExportWriter {
 public:
  explicit ExportWriter(const TextWriter& write) : write_(write) {}
  virtual ~ExportWriter() = default;
  void begin(const std::string& title);
  void add(const CameraRecord& record);
  void end();

 protected:
  virtual void header(std::string& out, const std::string& title) = 0;
  virtual void entry(std::string& out, std::uint64_t number, const CameraRecord& record) = 0;
  virtual void footer(std::string& out) = 0;

 private:
  const TextWriter& write_;
  std::uint64_t count_ = 0;
  std::string pending_;
};

std::unique_ptr<ExportWriter> makeExportWriter(ExportFormat format, const TextWriter& write);

// An export of the first recordCount records of a database (those inside the
// file). Throws what source and write throw.
void exportRecords(ByteSource& source, std::uint64_t recordCount, ExportFormat format, const std::string& title,
                   const TextWriter& write, const ProgressCallback& progress = {});

}  // namespace tabrino
