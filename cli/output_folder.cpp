#include "cli/output_folder.h"

#include "core/errors.h"
#include "core/file_io.h"

#include <cerrno>
#include <chrono>
#include <system_error>

namespace tabrino::cli {

std::filesystem::path argumentPath(const std::string& utf8) {
#if defined(__cpp_lib_char8_t)
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return std::filesystem::u8path(utf8);
#endif
}

void checkOutputFolder(const std::filesystem::path& destination) {
  // A name of the kind the conversion's own temporary file has, so the probe
  // fails exactly where the conversion would.
  std::filesystem::path probe = destination;
  probe += ".probe-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
  errno = 0;
  UniqueFile file = openFile(probe, "wb");
  if (!file) throw FileOpenError(displayPath(destination), systemErrorText(errno));
  file.reset();
  std::error_code ignored;
  std::filesystem::remove(probe, ignored);
}

}  // namespace tabrino::cli
