#include "core/platform/byte_source.h"

#include "core/base/errors.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace tabrino {

void MemorySource::read(std::uint64_t offset, std::uint8_t* out, std::size_t count) {
  if (offset > bytes_.size() || count > bytes_.size() - offset) {
    throw std::out_of_range("read past the end of a memory source");
  }
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), count, out);
}

FileSource::FileSource(const std::filesystem::path& path) : shownPath_(displayPath(path)) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw FileOpenError(shownPath_, folderNotFileError());
  }
  file_ = openFile(path, "rb");
  if (!file_) throw FileOpenError(shownPath_, lastSystemError());
  size_ = std::filesystem::file_size(path, ec);
  if (ec) throw FileOpenError(shownPath_, ec);
}

FileSource::FileSource(UniqueFile file, const std::filesystem::path& path)
    : shownPath_(displayPath(path)), file_(std::move(file)) {
  std::error_code ec;
  size_ = std::filesystem::file_size(path, ec);
  if (ec) throw FileOpenError(shownPath_, ec);
  position_ = size_ + 1;  // wherever the caller left it: the first read seeks
}

void FileSource::read(std::uint64_t offset, std::uint8_t* out, std::size_t count) {
  if (offset > size_ || count > size_ - offset) {
    throw FileReadError(shownPath_, "read past the end of the file");
  }
  clearSystemError();
  if (offset != position_ && !seekTo(file_.get(), offset)) {
    throw FileReadError(shownPath_, lastSystemError());
  }
  const std::size_t got = std::fread(out, 1, count, file_.get());
  position_ = offset + got;
  if (got != count) {
    position_ = size_ + 1;  // unknown: the next read seeks
    // A file that shrank while it was read ends early without an error.
    if (std::ferror(file_.get())) throw FileReadError(shownPath_, lastSystemError());
    throw FileReadError(shownPath_, "the file ended early");
  }
}

StreamSource::StreamSource(std::FILE* stream, std::string shownName, std::string_view alreadyRead,
                           std::uint64_t limit)
    : shownName_(std::move(shownName)) {
  // Blocks rather than one growing buffer: no copy of everything read so far
  // each time it grows, which a 32-bit process could not afford.
  for (;;) {
    std::vector<std::uint8_t> block(kBlockSize);
    // What was read before fills the first block (it is never more).
    const std::size_t before = std::min(alreadyRead.size(), block.size());
    std::copy_n(alreadyRead.data(), before, block.data());
    alreadyRead.remove_prefix(before);
    clearSystemError();
    const std::size_t read = std::fread(block.data() + before, 1, block.size() - before, stream);
    const std::size_t got = before + read;
    if (read == 0 && std::ferror(stream)) throw FileReadError(shownName_, lastSystemError());
    if (got == 0) break;
    size_ += got;
    if (size_ > limit) {
      throw FileReadError(shownName_, "more than " + std::to_string(limit >> 20) +
                                          " MiB; give the file's name instead of piping it");
    }
    block.resize(got);
    blocks_.push_back(std::move(block));
    if (got < kBlockSize) {  // fread comes back short only at the end or on an error
      if (std::ferror(stream)) throw FileReadError(shownName_, lastSystemError());
      break;
    }
  }
}

void StreamSource::read(std::uint64_t offset, std::uint8_t* out, std::size_t count) {
  if (offset > size_ || count > size_ - offset) throw FileReadError(shownName_, "read past the end of the stream");
  while (count > 0) {
    const auto& block = blocks_[static_cast<std::size_t>(offset / kBlockSize)];
    const auto begin = static_cast<std::size_t>(offset % kBlockSize);
    const std::size_t part = std::min(count, block.size() - begin);
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(begin), part, out);
    out += part;
    offset += part;
    count -= part;
  }
}

void forEachBlock(ByteSource& source, std::uint64_t begin, std::uint64_t end, std::size_t blockSize,
                  const BlockVisitor& visit) {
  if (begin >= end) return;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, end - begin)));
  for (std::uint64_t offset = begin; offset < end;) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), end - offset));
    source.read(offset, block.data(), count);
    visit(offset, block.data(), count);
    offset += count;
  }
}

}  // namespace tabrino
