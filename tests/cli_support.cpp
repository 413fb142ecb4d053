#include "cli_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace tabrino::test {

std::string cliPath() { return TABRINO_CLI; }

std::string quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

CliRun runShell(const std::filesystem::path& cwd, const std::string& command) {
  const TempDir capture;
  const std::string line = "cd " + quote(cwd.string()) + " && " + command + " >" + quote((capture / "out").string()) +
                           " 2>" + quote((capture / "err").string());
  const int status = std::system(("sh -c " + quote(line)).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(capture / "out"), readText(capture / "err")};
}

CliRun tabrino(const std::filesystem::path& cwd, const std::string& args, const std::string& prefix) {
  return runShell(cwd, prefix + " " + quote(cliPath()) + " " + args);
}

std::filesystem::path sampleList() { return examplesDir() / "sample-cameras.txt"; }

ConvertedSample::ConvertedSample() {
  const CliRun run = tabrino(dir.path(), "convert " + quote(sampleList().string()) + " --seed 1 --date 2014-11-14");
  EXPECT_EQ(run.exitCode, 0) << run.err;
}

}  // namespace tabrino::test
