// tabrino inspect FILE [--quiet]
#pragma once

#include <string>

namespace tabrino::cli {

struct InspectOptions {
  std::string file;  // "-": standard input
  bool quiet = false;
};

// Exit status: kSuccess sound, kProblems not sound, kFailure not readable, kUsage.
int runInspect(const InspectOptions& options);

}  // namespace tabrino::cli
