// tabrino: speed-camera lists to camera database files, from a terminal.
#include "cli/convert_command.h"
#include "cli/diff_command.h"
#include "cli/dump_command.h"
#include "cli/inspect_command.h"
#include "cli/map_command.h"

#include <CLI/CLI.hpp>

#include <iostream>

#ifndef TABRINO_VERSION
#error "TABRINO_VERSION must be defined by the build"
#endif

int main(int argc, char** argv) {
  CLI::App app{"Tabrino: turns speed-camera lists into camera database files (DB_YYMMDD.dbh)", "tabrino"};
  app.set_version_flag("--version", std::string("tabrino ") + TABRINO_VERSION);
  app.require_subcommand(1);

  tabrino::cli::ConvertOptions convertOptions;
  tabrino::cli::InspectOptions inspectOptions;
  tabrino::cli::DumpOptions dumpOptions;
  tabrino::cli::MapOptions mapOptions;
  CLI::App* convert = tabrino::cli::addConvertCommand(app, convertOptions);
  CLI::App* inspect = tabrino::cli::addInspectCommand(app, inspectOptions);
  CLI::App* dump = tabrino::cli::addDumpCommand(app, dumpOptions);
  CLI::App* map = tabrino::cli::addMapCommand(app, mapOptions);
  tabrino::cli::DiffOptions diffOptions;
  CLI::App* diff = tabrino::cli::addDiffCommand(app, diffOptions);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForAllHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForVersion& version) {
    return app.exit(version);
  } catch (const CLI::ParseError& error) {
    std::cerr << "tabrino: " << error.what() << "\n\n";
    const auto parsed = app.get_subcommands();
    std::cerr << (parsed.empty() ? app.help() : parsed.front()->help("tabrino"));
    return 2;
  }

  if (convert->parsed()) return tabrino::cli::runConvert(convertOptions);
  if (inspect->parsed()) return tabrino::cli::runInspect(inspectOptions);
  if (dump->parsed()) return tabrino::cli::runDump(dumpOptions);
  if (map->parsed()) return tabrino::cli::runMap(mapOptions);
  if (diff->parsed()) return tabrino::cli::runDiff(diffOptions);
  return 2;
}
