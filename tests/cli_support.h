// Runs the command-line tool as users run it, through the shell.
#pragma once

#include <filesystem>
#include <string>

namespace tabrino::test {

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

// Whether `part` occurs in `text`: for messages checked in part.
inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Single-quoted for sh.
std::string quote(const std::string& text);

// Runs a shell command line in folder `cwd` (another program reading what
// tabrino wrote, say).
CliRun runShell(const std::filesystem::path& cwd, const std::string& command);

// Runs `tabrino ARGS` in folder `cwd`; `prefix` may set the environment or
// limits first.
CliRun tabrino(const std::filesystem::path& cwd, const std::string& args, const std::string& prefix = "");

}  // namespace tabrino::test
