#include "core/platform/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#include <string>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tabrino {

UniqueFile openFile(const std::filesystem::path& path, const char* mode) {
  clearSystemError();
#ifdef _WIN32
  std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return UniqueFile(::_wfopen(path.c_str(), wideMode.c_str()));
#else
  return UniqueFile(std::fopen(path.c_str(), mode));
#endif
}

#ifdef _WIN32
namespace {

// A stream for reading through a handle of the system's, which the stream
// then owns; null (and the handle closed) where the runtime takes none.
UniqueFile readingStreamOf(HANDLE handle) noexcept {
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    ::CloseHandle(handle);
    return nullptr;
  }
  UniqueFile file(::_fdopen(descriptor, "rb"));
  if (!file) ::_close(descriptor);
  return file;
}

}  // namespace
#endif

UniqueFile openSharedForReading(const std::filesystem::path& path) {
#ifdef _WIN32
  clearSystemError();
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    _doserrno = ::GetLastError();
    errno = EACCES;
    return nullptr;
  }
  return readingStreamOf(handle);
#else
  return openFile(path, "rb");  // nothing keeps others from a file open here
#endif
}

UniqueFile openTemporaryFile() {
  clearSystemError();
#ifdef _WIN32
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) {
    _doserrno = length == 0 ? ::GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    errno = ENOENT;
    return nullptr;
  }
  // The process, a count and the clock make the name; a name that is taken
  // all the same (a process of the same number before) gives way to the next.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring path = std::wstring(folder, length) + L"tabrino-" + std::to_wstring(::GetCurrentProcessId()) +
                              L"-" + std::to_wstring(counter.fetch_add(1)) + L"-" +
                              std::to_wstring(::GetTickCount()) + L".tmp";
    // _O_TEMPORARY: deleted when its last descriptor closes, and by the
    // system when the process ends without closing it.
    const int descriptor = ::_wopen(path.c_str(),
                                    _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY | _O_SHORT_LIVED,
                                    _S_IREAD | _S_IWRITE);
    if (descriptor < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    UniqueFile file(::_fdopen(descriptor, "w+b"));
    if (!file) ::_close(descriptor);
    return file;
  }
  errno = EEXIST;
  return nullptr;
#else
  return UniqueFile(std::tmpfile());
#endif
}

bool seekTo(std::FILE* file, std::uint64_t offset) noexcept {
#ifdef _WIN32
  using Offset = __int64;
#else
  using Offset = off_t;
#endif
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<Offset>::max())) {
    errno = EINVAL;  // as the system answers an offset it cannot take
    return false;
  }
#ifdef _WIN32
  return ::_fseeki64(file, static_cast<Offset>(offset), SEEK_SET) == 0;
#else
  return ::fseeko(file, static_cast<Offset>(offset), SEEK_SET) == 0;
#endif
}

UniqueFile ownReadHandle(std::FILE* file) noexcept {
#ifdef _WIN32
  const HANDLE shared = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  const HANDLE own = ::ReOpenFile(shared, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (own == INVALID_HANDLE_VALUE) return nullptr;
  return readingStreamOf(own);
#else
  (void)file;  // pread through one descriptor does not wait for another thread's
  return nullptr;
#endif
}

std::error_code readAt(std::FILE* file, std::uint64_t offset, char* buffer, std::size_t size,
                       std::size_t& got) noexcept {
  got = 0;
#ifdef _WIN32
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  while (got < size) {
    OVERLAPPED at{};
    const std::uint64_t position = offset + got;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - got, std::size_t{1} << 30));
    DWORD read = 0;
    if (!::ReadFile(handle, buffer + got, want, &read, &at)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) return {};
      return {static_cast<int>(error), std::system_category()};
    }
    if (read == 0) return {};
    got += read;
  }
#else
  while (got < size) {
    const std::uint64_t position = offset + got;
    if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
      return std::make_error_code(std::errc::value_too_large);
    }
    const ssize_t read = ::pread(::fileno(file), buffer + got, size - got, static_cast<off_t>(position));
    if (read < 0) {
      if (errno == EINTR) continue;
      return {errno, std::generic_category()};
    }
    if (read == 0) return {};
    got += static_cast<std::size_t>(read);
  }
#endif
  return {};
}

int descriptorAtStart(std::FILE* file) noexcept {
  // What is written through `file` (a temporary copy) reaches the descriptor.
  if (std::fflush(file) != 0) return -1;
#ifdef _WIN32
  const int descriptor = ::_dup(::_fileno(file));
  if (descriptor < 0) return -1;
  if (::_lseeki64(descriptor, 0, SEEK_SET) != 0) {
    const int error = errno;
    ::_close(descriptor);
    errno = error;
    return -1;
  }
#else
  const int descriptor = ::dup(::fileno(file));
  if (descriptor < 0) return -1;
  if (::lseek(descriptor, 0, SEEK_SET) != 0) {
    const int error = errno;
    ::close(descriptor);
    errno = error;
    return -1;
  }
#endif
  return descriptor;
}

bool syncToDisk(std::FILE* file) noexcept {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return ::_commit(::_fileno(file)) == 0;
#else
  return ::fsync(::fileno(file)) == 0;
#endif
}

void clearSystemError() noexcept {
  errno = 0;
#ifdef _WIN32
  _doserrno = 0;
#endif
}

std::error_code lastSystemError() noexcept {
#ifdef _WIN32
  if (_doserrno != 0) return {static_cast<int>(_doserrno), std::system_category()};
#endif
  return {errno ? errno : EIO, std::generic_category()};
}

std::error_code folderNotFileError() noexcept {
#ifdef _WIN32
  return {ERROR_ACCESS_DENIED, std::system_category()};
#else
  return std::make_error_code(std::errc::is_a_directory);
#endif
}

std::string errorText(const std::error_code& code) {
#ifdef _WIN32
  if (code && code.category() == std::system_category()) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code.value()), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text ? text : L"", length);
    ::LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ')) words.pop_back();
    if (!words.empty() && words.back() == L'.') words.pop_back();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, words.data(), static_cast<int>(words.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size > 0) {
      std::string utf8(static_cast<std::size_t>(size), '\0');
      ::WideCharToMultiByte(CP_UTF8, 0, words.data(), static_cast<int>(words.size()), utf8.data(), size, nullptr,
                            nullptr);
      return utf8;
    }
  }
#endif
  return code ? code.message() : std::string();
}

std::string systemErrorText(int errorNumber) {
  return std::error_code(errorNumber, std::generic_category()).message();
}

std::string displayPath(const std::filesystem::path& path) {
#if defined(__cpp_lib_char8_t)
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.u8string();
#endif
}

bool stampOf(std::FILE* file, FileStamp& stamp) noexcept {
  clearSystemError();
#ifdef _WIN32
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info)) {
    _doserrno = static_cast<unsigned long>(::GetLastError());
    return false;
  }
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.index = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  stamp.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  stamp.written =
      static_cast<std::int64_t>(std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32 | info.ftLastWriteTime.dwLowDateTime);
#else
  struct stat info {};
  if (::fstat(::fileno(file), &info) != 0) return false;
  stamp.volume = static_cast<std::uint64_t>(info.st_dev);
  stamp.index = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.written = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
#endif
  return true;
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

bool isReadOnlyFile(const std::filesystem::path& path) {
#ifdef _WIN32
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  // Root may write anything: for root a file is read-only when nobody may
  // write it, as someone who ran chmod a-w meant.
  if (::geteuid() == 0) return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
#endif
}

void allowReplacing(const std::filesystem::path& path) {
#ifdef _WIN32
  // Windows refuses to move a file over a read-only one.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  }
#else
  (void)path;  // a rename replaces a file whatever its permissions
#endif
}

}  // namespace tabrino
