#include "cli/output_folder.h"

#include "core/file_io.h"

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
  // A device or a pipe at the destination is written straight through:
  // opening it would already be a use of it. The conversion finds out.
  std::error_code ignored;
  const std::filesystem::file_status status = std::filesystem::status(destination, ignored);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return;
  // The conversion's own writer, never committed: it fails where the
  // conversion would, with the same message, and leaves nothing behind.
  const AtomicFileWriter probe(destination);
}

}  // namespace tabrino::cli
