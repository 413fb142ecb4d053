#include "cli/help_text.h"

#include "cli/progress_bar.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#endif

namespace tabrino::cli {
namespace {

// A description continued at its column has at least this much room, else
// it is continued at a small indent.
constexpr std::size_t kLeastRoom = 40;
constexpr std::size_t kNarrowIndent = 4;

// Where the text of a continued line starts: an option's description (after
// its name and a gap of two spaces or more), else the line's own indent.
std::size_t continuationColumn(std::string_view line) {
  const std::size_t indent = line.find_first_not_of(' ');
  if (indent == std::string_view::npos) return 0;
  const std::size_t gap = line.find("  ", indent);
  if (indent > 0 && gap != std::string_view::npos) {
    const std::size_t description = line.find_first_not_of(' ', gap);
    if (description != std::string_view::npos) return description;
  }
  return indent;
}

void wrapLine(std::string_view line, std::size_t width, std::string& out) {
  std::size_t column = continuationColumn(line);
  // A narrow terminal: room for the words first, then the layout.
  if (column + kLeastRoom > width) column = width < kLeastRoom ? 0 : kNarrowIndent;
  const std::string indent(column, ' ');
  bool first = true;
  while (true) {
    const std::size_t room = first ? width : width - column;
    if (line.size() <= room) break;
    // The last space that leaves the part within the room, past the
    // indent of a first line (never an empty part).
    const std::size_t lowest = first ? line.find_first_not_of(' ') + 1 : 1;
    std::size_t cut = line.rfind(' ', room);
    if (cut == std::string_view::npos || cut < lowest) cut = line.find(' ', room);
    if (cut == std::string_view::npos) break;
    std::string_view part = line.substr(0, cut);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    out.append(first ? "" : indent).append(part).append("\n");
    const std::size_t next = line.find_first_not_of(' ', cut);
    if (next == std::string_view::npos) return;
    line.remove_prefix(next);
    first = false;
  }
  out.append(first ? "" : indent).append(line).append("\n");
}

}  // namespace

std::size_t terminalColumns(std::FILE* stream) noexcept {
  if (!isTerminal(stream)) return kDefaultColumns;
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  if (!::GetConsoleScreenBufferInfo(handle, &info)) return kDefaultColumns;
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
#else
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0) return kDefaultColumns;
  const int columns = size.ws_col;
#endif
  return columns > 0 ? static_cast<std::size_t>(columns) : kDefaultColumns;
}

std::string wrapHelp(std::string_view text, std::size_t width) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    wrapLine(text.substr(0, end), width, out);
    if (end == std::string_view::npos) {
      out.pop_back();  // the text did not end its last line
      break;
    }
    text.remove_prefix(end + 1);
  }
  return out;
}

}  // namespace tabrino::cli
