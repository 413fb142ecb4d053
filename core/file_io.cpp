#include "file_io.h"

#include "errors.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tabrino {

UniqueFile openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return UniqueFile(::_wfopen(path.c_str(), wideMode.c_str()));
#else
  return UniqueFile(std::fopen(path.c_str(), mode));
#endif
}

bool seekTo(std::FILE* file, std::uint64_t offset) noexcept {
#ifdef _WIN32
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return false;
  return ::_fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
  return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool syncToDisk(std::FILE* file) noexcept {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return ::_commit(::_fileno(file)) == 0;
#else
  return ::fsync(::fileno(file)) == 0;
#endif
}

std::string systemErrorText(int errorNumber) {
  return std::error_code(errorNumber, std::generic_category()).message();
}

std::string lastErrorText() { return systemErrorText(errno ? errno : EIO); }

std::string displayPath(const std::filesystem::path& path) {
#if defined(__cpp_lib_char8_t)
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.u8string();
#endif
}

namespace {

constexpr std::size_t kWriteBlockSize = std::size_t{1} << 20;

// A name no other writer uses at the same moment, in the destination's folder.
std::filesystem::path temporaryPathFor(const std::filesystem::path& destination) {
  static std::atomic<unsigned> counter{0};
  const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::filesystem::path temporary = destination;
  temporary += ".tmp-" + std::to_string(ticks % 1000000007ull) + "-" + std::to_string(counter.fetch_add(1));
  return temporary;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(const std::filesystem::path& destination)
    : destination_(destination), temporary_(temporaryPathFor(destination)), shownPath_(displayPath(destination)) {
  errno = 0;
  file_ = openFile(temporary_, "wb");
  if (!file_) throw FileOpenError(shownPath_, systemErrorText(errno));
  buffer_.reserve(kWriteBlockSize);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (committed_) return;
  file_.reset();
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
}

void AtomicFileWriter::write(const void* bytes, std::size_t size) {
  const char* p = static_cast<const char*>(bytes);
  if (buffer_.empty() && size >= kWriteBlockSize) {  // large enough to go as it is
    errno = 0;
    if (std::fwrite(p, 1, size, file_.get()) != size) failWrite();
    return;
  }
  while (size > 0) {
    const std::size_t room = kWriteBlockSize - buffer_.size();
    const std::size_t take = size < room ? size : room;
    buffer_.insert(buffer_.end(), p, p + take);
    p += take;
    size -= take;
    if (buffer_.size() == kWriteBlockSize) flushBuffer();
  }
}

void AtomicFileWriter::flushBuffer() {
  errno = 0;
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_.get()) != buffer_.size()) failWrite();
  buffer_.clear();
}

void AtomicFileWriter::failWrite() const { throw FileWriteError(shownPath_, lastErrorText()); }

void AtomicFileWriter::commit() {
  flushBuffer();
  errno = 0;
  if (!syncToDisk(file_.get())) failWrite();
  errno = 0;
  if (std::fclose(file_.release()) != 0) failWrite();
  std::error_code ec;
  std::filesystem::rename(temporary_, destination_, ec);
  if (ec) throw FileOpenError(shownPath_, ec.message());
  committed_ = true;
}

}  // namespace tabrino
