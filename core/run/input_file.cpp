#include "core/run/input_file.h"

#include "core/base/errors.h"
#include "core/database/camera_db_format.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

namespace tabrino {

InputFile::InputFile(StandardInput) : shownName_("standard input"), file_(stdin) { readHead(); }

InputFile::InputFile(const std::filesystem::path& path, std::string shownName)
    : shownName_(shownName.empty() ? displayPath(path) : std::move(shownName)), path_(path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path_, ec)) {
    reason_ = folderNotFileError();
    return;
  }
  owned_ = openFile(path_, "rb");
  if (!owned_) {
    reason_ = lastSystemError();
    return;
  }
  file_ = owned_.get();
  if (std::filesystem::is_regular_file(path_, ec)) size_ = std::filesystem::file_size(path_, ec);
  readHead();
}

void InputFile::readHead() {
  head_.resize(std::max(kMagic.size(), kExtractHeadSize));
  head_.resize(std::fread(head_.data(), 1, head_.size(), file_));
  // A list is told by its first bytes; a shared format may need more of
  // them (an XML prolog, a long CSV header line), which are kept as read.
  if (head_.size() == std::max(kMagic.size(), kExtractHeadSize) && !startsLikeDatabase() && needsLongerHead(head_)) {
    const std::size_t had = head_.size();
    head_.resize(kFormatHeadSize);
    head_.resize(had + std::fread(head_.data() + had, 1, kFormatHeadSize - had, file_));
  }
}

bool InputFile::startsLikeDatabase() const noexcept {
  return startsWithMagic(reinterpret_cast<const std::uint8_t*>(head_.data()), head_.size());
}

std::unique_ptr<ByteSource> InputFile::database() {
  if (!file_) throw FileOpenError(shownName_, reason_);
  // A regular file is read in blocks where they are needed; a pipe cannot
  // be read twice, nor at an offset.
  if (owned_ && size_ > 0) return std::make_unique<FileSource>(std::move(owned_), path_);
  return std::make_unique<StreamSource>(file_, shownName_, head_);
}

std::optional<ExtractFormat> InputFile::extractFormat() const {
  if (!file_) return std::nullopt;
  const std::optional<ExtractFormat> format = extractFormatOf(head_, path_);
  // Any XML reads as an extract, but for GPX and KML.
  if (format == ExtractFormat::Xml) {
    const std::optional<CameraFormat> camera = cameraFormatOf(head_, path_);
    if (camera == CameraFormat::Gpx || camera == CameraFormat::Kml) return std::nullopt;
  }
  return format;
}

std::size_t InputFile::readExtract(CameraTable& table, const ExtractOptions& options) {
  if (!file_) throw FileReadError(shownName_, reason_);
  return tabrino::readExtract({file_, head_, path_, shownName_, size_, owned_ && size_ > 0}, table, options);
}

std::optional<CameraFormat> InputFile::cameraFormat() const {
  if (!file_ || startsLikeDatabase() || extractFormat()) return std::nullopt;
  return cameraFormatOf(head_, path_);
}

CameraFileRead InputFile::readCameras(CameraFormat format, CameraTable& table, const CameraFileOptions& options) {
  if (!file_) throw FileReadError(shownName_, reason_);
  return readCameraFile(format, {file_, head_, path_, shownName_, size_}, table, options);
}

ListStream InputFile::listStream() const {
  const bool onDisk = owned_ && size_ > 0;
  return {file_, head_, size_, onDisk, onDisk ? path_ : std::filesystem::path()};
}

ImportResult InputFile::openFailure() const { return {ImportOutcome::OpenFailed, 0, 0, reason_}; }

ImportResult InputFile::importList(CameraTable& table, const ImportOptions& options) {
  return file_ ? importCameraStream(listStream(), table, options) : openFailure();
}

}  // namespace tabrino
