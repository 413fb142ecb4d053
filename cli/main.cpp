// tabrino: speed-camera lists to camera database files, from a terminal.
#include "cli/command_line.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>  // CommandLineToArgvW, which WIN32_LEAN_AND_MEAN leaves out

#include <cstdio>
#include <cstdlib>
#endif

namespace {

#ifdef _WIN32
// argv holds the words in the ANSI code page, which cannot hold every
// character of a path: take the wide command line and make it UTF-8, the
// text the rest of the tool uses for paths and messages.
std::vector<std::string> commandArguments(int, char**) {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!words) return args;
  for (int i = 1; i < count; ++i) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, words[i], -1, nullptr, 0, nullptr, nullptr);
    std::string word(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, words[i], -1, word.data(), size, nullptr, nullptr);
    word.resize(word.size() - 1);  // the terminating zero
    args.push_back(std::move(word));
  }
  ::LocalFree(words);
  return args;
}

UINT originalOutputCodePage = 0;

// Lists and databases pass through standard input and output byte for byte
// (no CR before each LF), and the console shows the UTF-8 of messages as
// text. The console's code page is the user's: it is given back at exit.
void prepareStandardStreams() {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  originalOutputCodePage = ::GetConsoleOutputCP();
  if (originalOutputCodePage != 0 && ::SetConsoleOutputCP(CP_UTF8)) {
    std::atexit([] { ::SetConsoleOutputCP(originalOutputCodePage); });
  }
}
#else
std::vector<std::string> commandArguments(int argc, char** argv) { return {argv + 1, argv + argc}; }
void prepareStandardStreams() {}
#endif

}  // namespace

int main(int argc, char** argv) {
  prepareStandardStreams();
  const tabrino::cli::CommandLine line = tabrino::cli::parseCommandLine(commandArguments(argc, argv));
  switch (line.command) {
    case tabrino::cli::Command::Convert:
      return tabrino::cli::runConvert(line.convert);
    case tabrino::cli::Command::Inspect:
      return tabrino::cli::runInspect(line.inspect);
    case tabrino::cli::Command::Dump:
      return tabrino::cli::runDump(line.dump);
    case tabrino::cli::Command::Map:
      return tabrino::cli::runMap(line.map);
    case tabrino::cli::Command::Diff:
      return tabrino::cli::runDiff(line.diff);
    case tabrino::cli::Command::None:
      break;
  }
  return line.exitStatus;
}
