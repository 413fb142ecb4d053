// tabrino inspect FILE [--quiet]
#pragma once

#include <string>

namespace tabrino::cli {

struct InspectOptions {
  std::string file;  // "-": standard input
  bool quiet = false;
};

// Exit status: 0 sound, 1 not sound or not readable, 2 bad usage.
int runInspect(const InspectOptions& options);

}  // namespace tabrino::cli
