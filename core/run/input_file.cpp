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
  return extractFormatOf(head_, path_);
}

std::size_t InputFile::readExtract(CameraTable& table, const ExtractOptions& options) {
  if (!file_) throw FileReadError(shownName_, reason_);
  return tabrino::readExtract({file_, head_, path_, shownName_, size_, owned_ && size_ > 0}, table, options);
}

ListStream InputFile::listStream() const noexcept { return {file_, head_, size_, owned_ && size_ > 0}; }

ImportResult InputFile::openFailure() const { return {ImportOutcome::OpenFailed, 0, 0, reason_}; }

ImportResult InputFile::importList(CameraTable& table, const ImportOptions& options) {
  return file_ ? importCameraStream(listStream(), table, options) : openFailure();
}

}  // namespace tabrino
