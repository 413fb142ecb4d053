// Random access to the bytes of a file under examination. Readers take what
// they need in blocks, so a file of any size is examined in little memory,
// in a 32-bit process too.
#pragma once

#include "core/platform/file_io.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const noexcept = 0;
  // Fills out with the bytes [offset, offset + count), which must lie inside
  // the source. Throws FileReadError when they cannot be had.
  virtual void read(std::uint64_t offset, std::uint8_t* out, std::size_t count) = 0;
};

// A file image already in memory (tests, small files).
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(const std::vector<std::uint8_t>& bytes) noexcept : bytes_(bytes) {}
  std::uint64_t size() const noexcept override { return bytes_.size(); }
  void read(std::uint64_t offset, std::uint8_t* out, std::size_t count) override;

 private:
  const std::vector<std::uint8_t>& bytes_;
};

// A file on disk, read on demand. Throws FileOpenError when it cannot be
// opened (a folder included).
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::filesystem::path& path);
  // The regular file at path, already open (its first bytes perhaps read to
  // tell what it is): it is not opened again.
  FileSource(UniqueFile file, const std::filesystem::path& path);
  std::uint64_t size() const noexcept override { return size_; }
  void read(std::uint64_t offset, std::uint8_t* out, std::size_t count) override;

 private:
  std::string shownPath_;
  UniqueFile file_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;  // where the next read starts without a seek
};

// A stream that cannot seek, a pipe above all, held in memory: read to its
// end when constructed, in blocks, up to `limit` bytes. alreadyRead is what
// was read from it before (its first bytes, to tell what it is), taken as
// its start. Throws FileReadError naming shownName when reading fails or the
// stream holds more than the limit (a file that large should be named, not
// piped).
class StreamSource : public ByteSource {
 public:
  static constexpr std::uint64_t kDefaultLimit = std::uint64_t{256} << 20;

  StreamSource(std::FILE* stream, std::string shownName, std::string_view alreadyRead = {},
               std::uint64_t limit = kDefaultLimit);
  std::uint64_t size() const noexcept override { return size_; }
  void read(std::uint64_t offset, std::uint8_t* out, std::size_t count) override;

 private:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  std::string shownName_;
  std::vector<std::vector<std::uint8_t>> blocks_;  // each kBlockSize, the last one shorter
  std::uint64_t size_ = 0;
};

// Reads [begin, end) of the source in order, in blocks of at most blockSize
// bytes, and hands each block to visit with its offset.
using BlockVisitor = std::function<void(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count)>;
void forEachBlock(ByteSource& source, std::uint64_t begin, std::uint64_t end, std::size_t blockSize,
                  const BlockVisitor& visit);

}  // namespace tabrino
