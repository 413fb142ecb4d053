// The readers of each format, behind readCameraFile: each takes the input's
// bytes from a ByteStream and hands every camera and finding to a
// CameraSink. Returns the input's lines (an OV2's records, plus one).
#pragma once

#include "core/formats/camera_fields.h"
#include "core/formats/camera_formats.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tabrino {

// An input's bytes block by block: those read to tell its format first,
// then the rest of the file. Reports progress as it goes.
class ByteStream {
 public:
  ByteStream(const CameraFileInput& input, CameraFormat format, const ProgressCallback& progress);
  // The next bytes; empty at the end. Throws CameraFileError when a read fails.
  std::string_view next();
  // The whole rest, for formats read at once (OV2, a .kmz).
  std::string rest();
  [[noreturn]] void fail(const std::string& reason) const;
  const std::string& name() const noexcept { return input_.shownName; }

 private:
  const CameraFileInput& input_;
  CameraFormat format_;
  ProgressCallback progress_;
  bool headGiven_ = false;
  std::uint64_t done_ = 0;
  std::vector<char> buffer_;
};

std::uint64_t readGpx(ByteStream& in, CameraSink& sink);
std::uint64_t readKml(ByteStream& in, CameraSink& sink);
// KML held in a .kmz: a zip of one KML entry.
std::uint64_t readKmz(ByteStream& in, CameraSink& sink);
std::uint64_t readGeoJson(ByteStream& in, CameraSink& sink);
std::uint64_t readNamedCsv(ByteStream& in, CameraSink& sink);
std::uint64_t readPoiCsv(ByteStream& in, CameraSink& sink);
std::uint64_t readOv2(ByteStream& in, CameraSink& sink);

// For the text formats: one text's cells split as CSV (RFC 4180) with
// `separator`, spaces around a quoted cell dropped.
void splitCsvRecord(std::string_view record, char separator, std::vector<std::string>& cells);

}  // namespace tabrino
