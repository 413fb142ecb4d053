// Runs the command-line tool as users run it, through the shell.
#pragma once

#include "test_support.h"

#include <filesystem>
#include <string>

namespace tabrino::test {

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

// The tabrino under test.
std::string cliPath();
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

// examples/sample-cameras.txt.
std::filesystem::path sampleList();

// A folder holding DB_141114.dbh converted from the sample with seed 1.
struct ConvertedSample {
  TempDir dir;
  ConvertedSample();
  std::filesystem::path database() const { return dir / "DB_141114.dbh"; }
};

}  // namespace tabrino::test
