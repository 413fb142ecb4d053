#include "core/platform/file_io.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
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

bool isStandardInput(const std::filesystem::path& path) {
#ifdef _WIN32
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  BY_HANDLE_FILE_INFORMATION in{}, named{};
  if (input == INVALID_HANDLE_VALUE || input == nullptr || ::GetFileType(input) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(input, &in)) {
    return false;
  }
  const HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = ::GetFileInformationByHandle(file, &named) != 0;
  ::CloseHandle(file);
  return known && in.dwVolumeSerialNumber == named.dwVolumeSerialNumber && in.nFileIndexHigh == named.nFileIndexHigh &&
         in.nFileIndexLow == named.nFileIndexLow;
#else
  struct stat in {}, named {};
  return ::fstat(STDIN_FILENO, &in) == 0 && S_ISREG(in.st_mode) && ::stat(path.c_str(), &named) == 0 &&
         in.st_dev == named.st_dev && in.st_ino == named.st_ino;
#endif
}

}  // namespace tabrino
