// tabrino: speed-camera lists to camera database files, from a terminal.
#include "cli/command_line.h"
#include "cli/messages.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
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
// A reader that stops early (`| head`) must not kill the run midway, before
// it could say so or take back its unfinished files: writing to the closed
// pipe fails with EPIPE instead, and the run ends as any failed write does.
void prepareStandardStreams() { std::signal(SIGPIPE, SIG_IGN); }
#endif

// What a command printed must have reached its reader: a full disk or a
// closed pipe behind standard output is a failure, not a success.
int checkStandardOutput(const tabrino::cli::CommandLine& line, int status) {
  using namespace tabrino::cli;
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int failed = std::max(status, line.outputFailureStatus);
  if (failureReported()) return failed;
  // The error may have struck an earlier write, whose reason is gone.
  std::cerr << messagePrefix() << "could not write to standard output";
  if (errno != 0) std::cerr << ": " << tabrino::systemErrorText(errno);
  if (status == kSuccess && line.keptOnOutputFailure) std::cerr << " (" << line.keptOnOutputFailure << ")";
  std::cerr << "\n";
  return failed;
}

}  // namespace

int main(int argc, char** argv) {
  prepareStandardStreams();
  // An interrupted run leaves no partial file behind.
  tabrino::removeTemporariesOnInterrupt();
  const tabrino::cli::CommandLine line = tabrino::cli::parseCommandLine(commandArguments(argc, argv));
  if (!line.command.empty()) tabrino::cli::setCommandName(line.command);
  int status = line.exitStatus;
  try {
    if (line.run) status = line.run();
  } catch (const std::exception& error) {
    // Unwinding has removed whatever unfinished file the command had begun.
    std::cerr << tabrino::cli::messagePrefix() << "unexpected failure: " << error.what() << "\n";
    return tabrino::cli::kFailure;
  } catch (...) {
    std::cerr << tabrino::cli::messagePrefix() << "unexpected failure\n";
    return tabrino::cli::kFailure;
  }
  return checkStandardOutput(line, status);
}
