#include "core/platform/file_io.h"

#include <cerrno>
#include <cstdint>
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

}  // namespace tabrino
