// The command line as users type it: commands, options, help and version,
// and usage errors that name the mistake. The one file that uses CLI11.
#pragma once

#include "cli/convert_command.h"
#include "cli/diff_command.h"
#include "cli/dump_command.h"
#include "cli/from_osm_command.h"
#include "cli/inspect_command.h"
#include "cli/map_command.h"

#include <string>
#include <vector>

namespace tabrino::cli {

enum class Command { None, Convert, Inspect, Dump, Map, Diff, FromOsm };

struct CommandLine {
  Command command = Command::None;  // None: nothing to run, exit with exitStatus
  int exitStatus = 0;               // 0 after help or version, 2 after a usage error
  ConvertOptions convert;
  InspectOptions inspect;
  DumpOptions dump;
  MapOptions map;
  DiffOptions diff;
  FromOsmOptions fromOsm;
};

// args: the words after the program's name, as UTF-8. Help and version go to
// stdout, usage errors to stderr.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace tabrino::cli
