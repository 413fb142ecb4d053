// The few file operations the core needs, over the C runtime, with paths that
// may hold any characters on every platform (wide paths on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tabrino {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// fopen with a path of any characters; errno tells why it failed.
UniqueFile openFile(const std::filesystem::path& path, const char* mode);

// Moves to a byte offset, beyond 2 GiB too on every platform.
bool seekTo(std::FILE* file, std::uint64_t offset) noexcept;

// Pushes written data through to the storage device, so that a file reported
// as written survives a crash of the system right after.
bool syncToDisk(std::FILE* file) noexcept;

// The operating system's description of an errno value.
std::string systemErrorText(int errorNumber);
// The description of errno after a failed call; a call that failed without
// saying why reads as an input/output error.
std::string lastErrorText();

// A path as the user should read it in a message (UTF-8 on every platform).
std::string displayPath(const std::filesystem::path& path);

// Writes a file that appears complete or not at all: the bytes go to a
// temporary file beside the destination (so that the final rename never
// crosses file systems), which is flushed, synced, closed and renamed into
// place by commit(). Until then an earlier file at the destination is
// untouched, and a writer destroyed without commit() removes what it created.
// Throws FileOpenError (creating, putting in place) or FileWriteError.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::filesystem::path& destination);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void write(const void* bytes, std::size_t size);
  void write(const std::string& text) { write(text.data(), text.size()); }
  void commit();

  const std::filesystem::path& destination() const noexcept { return destination_; }
  const std::string& shownPath() const noexcept { return shownPath_; }

 private:
  void flushBuffer();
  [[noreturn]] void failWrite() const;

  std::filesystem::path destination_;
  std::filesystem::path temporary_;
  std::string shownPath_;
  UniqueFile file_;
  std::vector<char> buffer_;  // written in large blocks, whatever the callers' pieces
  bool committed_ = false;
};

}  // namespace tabrino
