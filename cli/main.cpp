// tabrino: speed-camera lists to camera database files, from a terminal.
#include "cli/command_line.h"
#include "core/platform/file_io.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <iostream>
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

int runCommand(const tabrino::cli::CommandLine& line) {
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
    case tabrino::cli::Command::FromOsm:
      return tabrino::cli::runFromOsm(line.fromOsm);
    case tabrino::cli::Command::None:
      break;
  }
  return line.exitStatus;
}

// What a command printed must have reached its reader: a full disk or a
// closed pipe behind standard output is a failure, not a success.
int checkStandardOutput(const tabrino::cli::CommandLine& line, int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  // The error may have struck an earlier write, whose reason is gone.
  std::cerr << "tabrino: could not write to standard output";
  if (errno != 0) std::cerr << ": " << tabrino::systemErrorText(errno);
  if (line.command == tabrino::cli::Command::Convert && status == 0) std::cerr << " (the database is written and in place)";
  std::cerr << "\n";
  return status == 0 ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) {
  prepareStandardStreams();
  // An interrupted run leaves no partial file behind.
  tabrino::removeTemporariesOnInterrupt();
  const tabrino::cli::CommandLine line = tabrino::cli::parseCommandLine(commandArguments(argc, argv));
  int status = 1;
  try {
    status = runCommand(line);
  } catch (const std::exception& error) {
    // Unwinding has removed whatever unfinished file the command had begun.
    std::cerr << "tabrino: unexpected failure: " << error.what() << "\n";
    return 1;
  } catch (...) {
    std::cerr << "tabrino: unexpected failure\n";
    return 1;
  }
  return checkStandardOutput(line, status);
}
