// tabrino: speed-camera lists to camera database files, from a terminal.
#include "cli/convert_command.h"

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
  CLI::App* convert = tabrino::cli::addConvertCommand(app, convertOptions);

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
    const CLI::App* command = convert->parsed() ? convert : &app;
    std::cerr << (command == &app ? app.help() : command->help("tabrino"));
    return 2;
  }

  if (convert->parsed()) return tabrino::cli::runConvert(convertOptions);
  return 2;
}
