// A file a run reads, or standard input, opened once. Its first bytes are read to tell a database, an
// OpenStreetMap extract and a list apart, and handed on with it, so that a
// pipe, a FIFO or bash's <(...) is read like a file: none of them could be
// opened or read again.
#pragma once

#include "core/formats/camera_formats.h"
#include "core/list/text_import.h"
#include "core/osm/osm_extract.h"
#include "core/platform/byte_source.h"
#include "core/platform/file_io.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace tabrino {

class InputFile {
 public:
  // Opens it; a failure is told by what reads it next. Messages name it
  // `shownName`, by default its path.
  explicit InputFile(const std::filesystem::path& path, std::string shownName = {});
  // Standard input, named so in messages.
  struct StandardInput {};
  explicit InputFile(StandardInput);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Begins with a database's magic.
  bool startsLikeDatabase() const noexcept;
  // An OpenStreetMap extract's format, by its first bytes, else its name;
  // nothing for a list, a database, or an input that could not be opened.
  std::optional<ExtractFormat> extractFormat() const;
  // The input as an extract, read to its end. Once only. Throws
  // FileReadError when it could not be opened, else as readExtract.
  std::size_t readExtract(CameraTable& table, const ExtractOptions& options);
  // A shared format (GPX, KML, GeoJSON, CSV, OV2) by its first bytes, else
  // its name; nothing for a list, a database, an extract, or an input that could
  // not be opened.
  std::optional<CameraFormat> cameraFormat() const;
  // The input in that format, read to its end. Once only. Throws
  // FileReadError when it could not be opened, else as readCameraFile.
  CameraFileRead readCameras(CameraFormat format, CameraTable& table, const CameraFileOptions& options);
  // The input as a database: a regular file read where it lies, anything
  // else read whole into memory. Once only. Throws FileOpenError or
  // FileReadError.
  std::unique_ptr<ByteSource> database();
  // The input as a list, read to its end. Once only.
  ImportResult importList(CameraTable& table, const ImportOptions& options);
  // For a reader that imports it itself (diff); file is null when the input
  // could not be opened: then openFailure() says why.
  ListStream listStream() const;
  ImportResult openFailure() const;
  // Its first bytes (up to kExtractHeadSize, or kFormatHeadSize where a
  // list's header is not among those), already read: what a message
  // can quote of a list that failed the header test.
  const std::string& firstBytes() const noexcept { return head_; }
  // As messages name it.
  const std::string& shownName() const noexcept { return shownName_; }
  // A regular file's size, else 0.
  std::uint64_t size() const noexcept { return size_; }

 private:
  void readHead();

  std::string shownName_;    // as messages name it
  std::filesystem::path path_;  // empty for standard input
  UniqueFile owned_;         // the named file; standard input is not ours
  std::FILE* file_ = nullptr;
  std::error_code reason_;   // why it could not be opened
  std::string head_;         // its first bytes, read from file_ already
  std::uint64_t size_ = 0;   // a regular file's size, else 0
};

}  // namespace tabrino
