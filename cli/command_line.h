// The command line as users type it: commands, options, help and version,
// and usage errors that name the mistake. The one file that uses CLI11; its
// table of commands is the one place that names them.
#pragma once

#include "cli/exit_codes.h"

#include <functional>
#include <string>
#include <vector>

namespace tabrino::cli {

struct CommandLine {
  std::string command;         // the command's name; empty: nothing to run
  int exitStatus = kSuccess;   // with nothing to run: kSuccess after help or version, kUsage after a mistake
  std::function<int()> run;    // the command with its options; returns the exit status
  const char* keptOnOutputFailure = nullptr;  // what is safe when standard output fails after success
  int outputFailureStatus = kFailure;         // the least exit status when standard output fails
};

// args: the words after the program's name, as UTF-8. Help and version go to
// stdout, usage errors to stderr.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace tabrino::cli
