// libFuzzer target: any bytes read as each shared camera format (GPX, KML,
// KMZ, GeoJSON, named-column CSV, POI CSV, OV2) give cameras or a
// TabrinoError naming the file, never a crash, another exception or a read
// outside them; every camera read is one a database can hold. The format
// the bytes look like, if any, is read the same way twice.
#include "core/formats/camera_formats.h"

#include "core/list/camera_table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Reads `bytes` as `format`; what it read, or the error's text.
std::string readAs(tabrino::CameraFormat format, const std::string& bytes) {
  using namespace tabrino;
  std::FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (!file) return "no file";
  CameraTable table;
  FindingList findings;
  CameraFileOptions options;
  options.findings = &findings;
  std::string outcome;
  try {
    const CameraFileRead read = readCameraFile(format, {file, {}, "fuzz.dat", "fuzz.dat", bytes.size()}, table, options);
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (const auto record = table.record(i)) {
        if (!inBounds(record->latitude, record->longitude)) std::abort();
        outcome += std::to_string(record->latitude) + "," + std::to_string(record->longitude) + ";";
      }
    }
    outcome += std::to_string(read.cameras) + " " + std::to_string(findings.all().size());
  } catch (const TabrinoError& error) {
    if (std::string(error.what()).find("fuzz.dat") == std::string::npos) std::abort();
    outcome = error.what();
  }
  std::fclose(file);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tabrino;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const CameraFormat format : {CameraFormat::Gpx, CameraFormat::Kml, CameraFormat::Kmz, CameraFormat::GeoJson,
                                    CameraFormat::NamedCsv, CameraFormat::PoiCsv, CameraFormat::Ov2}) {
    readAs(format, bytes);
  }
  if (const auto format = cameraFormatOf(std::string_view(bytes).substr(0, kFormatHeadSize), "fuzz.dat")) {
    if (readAs(*format, bytes) != readAs(*format, bytes)) std::abort();
  }
  return 0;
}
