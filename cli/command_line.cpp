#include "cli/command_line.h"

#include "cli/convert_command.h"
#include "cli/date_option.h"
#include "cli/diff_command.h"
#include "cli/dump_command.h"
#include "cli/export_command.h"
#include "cli/from_osm_command.h"
#include "cli/exit_codes.h"
#include "cli/help_text.h"
#include "cli/inspect_command.h"
#include "cli/map_command.h"
#include "cli/messages.h"
#include "core/filter/camera_filter.h"
#include "core/check/duplicates.h"
#include "tabrino_version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <string_view>

namespace tabrino::cli {
namespace {

constexpr const char* kProgram = kProgramName;
// Where the manual is: Windows has no man, and the zip holds it as HTML.
#ifdef _WIN32
constexpr const char* kManual = "manual.html (beside tabrino-cli.exe)";
#else
constexpr const char* kManual = "'man tabrino'";
#endif

// Validators run on the text before CLI11 converts it, so the message can
// say what was expected in the user's own terms.
CLI::Validator dateText() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        if (parseIsoDate(text)) return {};
        return "expected a calendar date as YYYY-MM-DD, got \"" + text + "\"";
      },
      "");
}

CLI::Validator seedText() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        std::uint32_t value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc() && result.ptr == text.data() + text.size()) {
          // Leading zeros are decimal, as people mean them, not octal.
          text = std::to_string(value);
          return {};
        }
        return "expected a whole number from 0 to 4294967295, got \"" + text + "\"";
      },
      "");
}

// A count from 0 up: CLI11 would take "-1" for the largest count, no limit.
CLI::Validator wholeCount() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        std::uint64_t value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc() && result.ptr == text.data() + text.size()) return {};
        return "expected a whole number from 0, got \"" + text + "\"";
      },
      "");
}

// How an OpenStreetMap camera's direction tag is taken (extracts only).
void addOsmDirection(CLI::App& command, std::string& osmDirection) {
  command.add_option("--osm-direction", osmDirection,
                     "For an OpenStreetMap extract: take a camera's direction tag as the heading of the traffic "
                     "(travel) or as where the camera looks (facing); by default it is not used")
      ->type_name("travel|facing")
      ->check(CLI::IsMember({"travel", "facing"}).description(""));
}

// What the cameras of the shared formats take when they do not say.
void addCameraDefaults(CLI::App& command, CameraDefaultOptions& options) {
  command.add_option("--camera-type", options.type,
                     "For GPX, KML, GeoJSON, CSV and OV2 files: the TYPE of cameras that give none (default: 1)")
      ->type_name("TYPE")
      ->check(CLI::Range(0, 255).description(""));
  command.add_option("--camera-speed", options.speed,
                     "For GPX, KML, GeoJSON, CSV and OV2 files: the SPEED of cameras that give none, neither in a "
                     "field nor after @ in their name (default: a number in the file's name, else 0)")
      ->type_name("KMH")
      ->check(CLI::Range(0, 255).description(""));
}

// The findings of a run that reads lists (convert, export): all of them to a
// file, and rows near each other among them.
void addReportOption(CLI::App& command, std::string& report) {
  command.add_option("--report", report,
                     "Write every row or line that did not become a camera as meant, or repeats an earlier "
                     "camera, and why, to this CSV file (line numbers from 1); - writes standard output")
      ->type_name("FILE");
}

void addNearOption(CLI::App& command, double& nearMetres) {
  command.add_option("--near", nearMetres, "Also report rows within METERS of an earlier row with the same direction")
      ->type_name("METERS")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            char* end = nullptr;
            const double metres = std::strtod(text.c_str(), &end);
            if (end != text.c_str() && *end == '\0' && metres > 0 && metres <= kMaxNearMetres) return {};
            return "METERS must be a number above 0 and at most 1000";
          },
          ""));
}

// Outputs marked read-only are kept unless the user insists.
void addForce(CLI::App& command, bool& force) {
  command.add_flag("--force", force, "Replace an output file even when it is marked read-only");
}

// A filter's text, checked by its own parser so the message names what is wrong.
CLI::Validator filterText(std::function<bool(const std::string&, std::string&)> parses) {
  return CLI::Validator(
      [parses](std::string& text) -> std::string {
        std::string problem;
        return parses(text, problem) ? std::string() : problem;
      },
      "");
}

void addFilterOptions(CLI::App* command, FilterOptions& options) {
  command->add_option("--bbox", options.bbox,
                      "Keep only cameras in this box, in degrees, bounds included (W above E crosses the 180th "
                      "meridian)")
      ->type_name("W,S,E,N")
      ->check(filterText([](const std::string& t, std::string& p) { return parseBoundingBox(t, p).has_value(); }));
  command->add_option("--polygon", options.polygon,
                      "Keep only cameras inside this region: a .poly file (holes marked !) or a GeoJSON Polygon or "
                      "MultiPolygon")
      ->type_name("FILE");
  command->add_option("--types", options.types, "Keep only cameras of these types")
      ->type_name("1,2,3")
      ->check(filterText([](const std::string& t, std::string& p) { return parseTypes(t, p).has_value(); }));
  command->add_option("--speed", options.speed, "Keep only cameras whose speed is in this range (km/h, inclusive)")
      ->type_name("MIN-MAX")
      ->check(filterText([](const std::string& t, std::string& p) { return parseSpeedRange(t, p).has_value(); }));
  // One file a use, as every option that takes a file: a list named after it
  // is still a list to convert, not a second list to leave out.
  command->add_option("--exclude", options.exclude,
                      "Leave out the cameras (place and direction) of this list; repeat it for several lists")
      ->type_name("LIST")
      ->allow_extra_args(false);
}

void addConvertOptions(CLI::App* command, ConvertOptions& options) {
  command->add_option("LIST", options.lists,
                      "Speed-camera lists (IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION), made one in the order given; "
                      "- reads standard input")
      ->required()
      ->type_name("");
  command->add_option("-o,--output-dir", options.outputDirectory, "Folder for the database file (default: .)")
      ->type_name("DIR");
  command->add_option("--date", options.date,
                      "Date in the header and file name (default: SOURCE_DATE_EPOCH, else today in UTC)")
      ->type_name("YYYY-MM-DD")
      ->check(dateText());
  command->add_option("--seed", options.seed, "Seed of the random block (default: the current time in seconds)")
      ->type_name("N")
      ->transform(seedText());
  addReportOption(*command, options.report);
  addNearOption(*command, options.nearMetres);
  command->add_flag("--drop-duplicates", options.dropDuplicates,
                    "Write one record for each camera entered more than once: the lowest speed above 0, "
                    "else the first");
  addOsmDirection(*command, options.osmDirection);
  addCameraDefaults(*command, options.cameraDefaults);
  addFilterOptions(command, options.filter);
  command->add_option("--max-records", options.maxRecords,
                      "Fail, writing nothing, when more than N cameras would be written")
      ->type_name("N")
      ->check(wholeCount());
  command->add_flag("--fail-on-findings", options.failOnFindings,
                    "Exit with status 3 when a row or line did not become a camera as meant or repeats an earlier "
                    "camera; the database is still written");
  addForce(*command, options.force);
  command->add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
}

void addFromOsmOptions(CLI::App* command, FromOsmOptions& options) {
  command->add_option("EXTRACT", options.extract,
                      "OpenStreetMap extract (.osm.pbf, .osm or .osm.bz2); - reads standard input")
      ->required()
      ->type_name("");
  command->add_option("-o,--output", options.output, "List to write (default and -: standard output)")
      ->type_name("FILE");
  command->add_option("--report", options.report,
                      "Write every object left out or guessed at (speed, direction), and why, to this CSV file; "
                      "- writes standard output")
      ->type_name("FILE");
  addOsmDirection(*command, options.osmDirection);
  command->add_flag("--fail-on-findings", options.failOnFindings,
                    "Exit with status 3 when an object was left out or guessed at; the list is still written");
  addForce(*command, options.force);
  command->add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
}

void addInspectOptions(CLI::App* command, InspectOptions& options) {
  command->add_option("FILE", options.file, "Camera database file (DB_YYMMDD.dbh) or OV2 file; - reads standard input")
      ->required()
      ->type_name("");
  command->add_flag("-q,--quiet", options.quiet, "Print only the problems found, and errors");
}

void addDumpOptions(CLI::App* command, DumpOptions& options) {
  command->add_option("FILE", options.file, "Camera database file (DB_YYMMDD.dbh); - reads standard input")
      ->required()
      ->type_name("");
  command->add_option("-o,--output", options.output, "List to write (default and -: standard output)")
      ->type_name("FILE");
  command->add_option("--format", options.format,
                      "list (a speed-camera list, the default), gpx (GPX 1.1 waypoints), kml (placemarks) or "
                      "geojson (a FeatureCollection of points)")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"list", "gpx", "kml", "geojson"}).description(""));
  addFilterOptions(command, options.filter);
  addForce(*command, options.force);
  command->add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
}

void addExportOptions(CLI::App* command, ExportOptions& options) {
  command->add_option("INPUT", options.inputs,
                      "Speed-camera lists, OpenStreetMap extracts or camera databases, made one in the order given; "
                      "- reads standard input")
      ->required()
      ->type_name("");
  command->add_option("--format", options.format,
                      "ov2 (POIs with skipper records), poi-csv (lon,lat,\"name\",\"comment\"), csv "
                      "(lon,lat,type,speed,dirtype,direction,name), gpx, kml or geojson")
      ->required()
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"ov2", "poi-csv", "csv", "gpx", "kml", "geojson"}).description(""));
  command->add_option("-o,--output", options.output, "The file to write; - writes standard output")->type_name("FILE");
  command->add_option("--output-dir", options.outputDirectory,
                      "Write files into this folder instead, named by --file-name, with manifest.csv")
      ->type_name("DIR");
  command->add_option("--split-by", options.splitBy, "With --output-dir: one file per speed, type, or both")
      ->type_name("speed|type|type,speed")
      ->check(CLI::IsMember({"speed", "type", "type,speed", "speed,type"}).description(""));
  command->add_option("--file-name", options.fileName,
                      "With --output-dir: each file's name from {type} (Fixed, Mobile, ...), {speed} and {region} "
                      "(--polygon's file name) (default: {type}_{speed})")
      ->type_name("TEMPLATE");
  command->add_option("--max-per-file", options.maxPerFile,
                      "With --output-dir: cut a file of more than N cameras into parts of nearby cameras "
                      "(NAME-1, NAME-2, ...)")
      ->type_name("N")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            std::uint64_t value = 0;
            const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
            if (result.ec == std::errc() && result.ptr == text.data() + text.size() && value > 0) return {};
            return "expected a whole number from 1, got \"" + text + "\"";
          },
          ""));
  command->add_flag("--icons", options.icons,
                    "With --output-dir: write beside each file a 22x22 BMP icon of the same name (the type's "
                    "colour and shape, the speed)");
  command->add_option("--name", options.name,
                      "Each camera's name in ov2, poi-csv and csv, from {type}, {speed} and {heading} "
                      "(default: {type}@{speed})")
      ->type_name("TEMPLATE");
  addNearOption(*command, options.nearMetres);
  command->add_flag("--drop-duplicates", options.dropDuplicates,
                    "Write one camera for each camera entered more than once: the lowest speed above 0, else the "
                    "first");
  addReportOption(*command, options.report);
  command->add_flag("--fail-on-findings", options.failOnFindings,
                      "Exit with status 3 when a row or line did not become a camera as meant or repeats an earlier "
                      "camera; the files are still written");
  addOsmDirection(*command, options.osmDirection);
  addFilterOptions(command, options.filter);
  command->add_option("--max-records", options.maxRecords,
                      "Fail, writing nothing, when more than N cameras would be written")
      ->type_name("N")
      ->check(wholeCount());
  addForce(*command, options.force);
  command->add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
}

void addMapOptions(CLI::App* command, MapOptions& options) {
  command->add_option("FILE", options.file, "Speed-camera list or camera database file; - reads standard input")
      ->required()
      ->type_name("");
  command->add_option("-o,--output", options.output,
                      "Picture or page to write (default: FILE's name with .svg, or .html for --format html, "
                      "beside it); - writes standard output")
      ->type_name("FILE");
  command->add_option("--format", options.format,
                      "svg (a picture) or html (an interactive page that works offline); default: html for an "
                      "output named .html or .htm, else svg")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"svg", "html"}).description(""));
  command->add_option("--report", options.report,
                      "For a list: write every row or line that did not become a camera as meant, and why, to this "
                      "CSV file (line numbers from 1); - writes standard output")
      ->type_name("FILE");
  addCameraDefaults(*command, options.cameraDefaults);
  addFilterOptions(command, options.filter);
  addForce(*command, options.force);
  command->add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
}

void addDiffOptions(CLI::App* command, DiffOptions& options) {
  command->add_option("OLD", options.before, "The earlier list, extract or database file; - reads standard input")->required()->type_name("");
  command->add_option("NEW", options.after, "The later list, extract or database file; - reads standard input")->required()->type_name("");
  command->add_option("--report", options.report, "Write every difference to this CSV file; - writes standard output")->type_name("FILE");
  addCameraDefaults(*command, options.cameraDefaults);
  addForce(*command, options.force);
  command->add_flag("-q,--quiet", options.quiet, "Print only the summary line, and errors");
}

// A command's run, bound to an options value that its CLI11 options fill.
template <class Options, void (*addOptions)(CLI::App*, Options&), int (*run)(const Options&)>
std::function<int()> defineCommand(CLI::App* command) {
  auto options = std::make_shared<Options>();
  addOptions(command, *options);
  return [options] { return run(*options); };
}

struct CommandEntry {
  const char* name;
  const char* summary;
  // Adds the operands and options to `command`; returns the run.
  std::function<int()> (*define)(CLI::App* command);
  // Said when standard output fails after the command succeeded.
  const char* keptOnOutputFailure;
  // The least exit status when standard output fails.
  int outputFailureStatus;
};

// Every command, in the order help lists them. Registration, help, the
// messages that name the commands and dispatch all read this table; the bash
// completion is checked against the help it makes (tests/completion_test.sh).
const CommandEntry kCommands[] = {
    {"convert", "Convert a speed-camera list into DB_YYMMDD.dbh",
     defineCommand<ConvertOptions, addConvertOptions, runConvert>, "the database is written and in place", kFailure},
    {"inspect", "Check a database or OV2 file and show what it holds",
     defineCommand<InspectOptions, addInspectOptions, runInspect>, nullptr, kFailure},
    {"dump", "Write a database file's records as a speed-camera list",
     defineCommand<DumpOptions, addDumpOptions, runDump>, nullptr, kFailure},
    {"export", "Write the cameras of lists, extracts or databases for other devices: OV2, POI CSV, CSV, GPX, KML, GeoJSON",
     defineCommand<ExportOptions, addExportOptions, runExport>, "the files are written and in place", kFailure},
    {"map", "Draw the cameras of a list or a database as an SVG picture",
     defineCommand<MapOptions, addMapOptions, runMap>, "the picture is written and in place", kFailure},
    {"diff", "Show which cameras were added, removed or changed between two lists or databases",
     defineCommand<DiffOptions, addDiffOptions, runDiff>, nullptr, kTrouble},
    {"from-osm", "Write the cameras of an OpenStreetMap extract as a speed-camera list",
     defineCommand<FromOsmOptions, addFromOsmOptions, runFromOsm>, "the list is written and in place", kFailure},
};

std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "tabrino" or "tabrino convert": how the command names itself in messages.
std::string commandName(const CLI::App* command) {
  return command->get_parent() ? std::string(kProgram) + " " + command->get_name() : kProgram;
}

std::vector<std::string> optionNames(const CLI::App* command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command->get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

std::vector<std::string> commandNames() {
  std::vector<std::string> names;
  for (const CommandEntry& command : kCommands) names.push_back(command.name);
  return names;
}

// "convert, inspect, dump, map or diff", with `more` after them if given.
std::string commandList(const char* more = nullptr) {
  std::vector<std::string> names = commandNames();
  if (more) names.push_back(more);
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  }
  return text;
}

// The closest of candidates to word, if it is close enough to be what the
// user meant; empty otherwise.
std::string closestMatch(const std::string& word, const std::vector<std::string>& candidates) {
  if (word.size() < 4) return {};  // "-x": any short option is as close as any other
  std::string best;
  std::size_t bestDistance = 0;
  for (const std::string& candidate : candidates) {
    // A word cut short ("--out") means the one candidate it begins.
    const bool prefix = candidate.compare(0, word.size(), word) == 0;
    const std::size_t distance = prefix ? 0 : editDistance(word, candidate);
    if (best.empty() || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  // Up to a third of the letters wrong, at most 3: more is a different word.
  const std::size_t allowed = std::min<std::size_t>(3, std::max<std::size_t>(1, word.size() / 3));
  return !best.empty() && bestDistance <= allowed ? best : std::string();
}

std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string match = closestMatch(word, candidates);
  return match.empty() ? "" : " (did you mean '" + match + "'?)";
}

int usageError(const CLI::App* command, const std::string& message) {
  const std::string name = commandName(command);
  std::cerr << name << ": " << message << "\nRun '" << name << " --help' for usage.\n";
  return kUsage;
}

// "--" ends a command's options: every word after it is an operand. CLI11
// hands those words back to the top level once each operand has one, so
// "convert a.txt -- -" would read "-" as a command: the mark is taken out
// here instead, and a word CLI11 would read as an option or a command is
// written as the same path from "." ("./-x.txt").
std::vector<std::string> operandsAfterMark(const std::vector<std::string>& args) {
  const auto mark = std::find(args.begin() + (args.empty() ? 0 : 1), args.end(), "--");
  if (mark == args.end()) return args;
  std::vector<std::string> words(args.begin(), mark);
  const std::vector<std::string> commands = commandNames();
  for (auto word = mark + 1; word != args.end(); ++word) {
    const bool readAsOption = word->size() > 1 && word->front() == '-';
    const bool readAsCommand = std::find(commands.begin(), commands.end(), *word) != commands.end() || *word == "help";
    words.push_back(readAsOption || readAsCommand ? "./" + *word : *word);
  }
  return words;
}

// A word as the user typed it, before operandsAfterMark wrote it from ".".
std::string asTyped(const std::string& word, const std::vector<std::string>& args) {
  if (word.compare(0, 2, "./") != 0) return word;
  const auto mark = std::find(args.begin() + (args.empty() ? 0 : 1), args.end(), "--");
  return mark != args.end() && std::find(mark + 1, args.end(), word.substr(2)) != args.end() ? word.substr(2) : word;
}

// The words nobody took, without the "--" that ends the options; `operand`
// tells whether the first of them came after it.
std::vector<std::string> leftOver(const CLI::App* where, bool& operand) {
  std::vector<std::string> left;
  bool afterMark = false;
  for (std::string& word : where->remaining()) {
    if (word == "--" && !afterMark) {
      afterMark = true;
      continue;
    }
    if (left.empty()) operand = afterMark;
    left.push_back(std::move(word));
  }
  return left;
}

// The first word no command or option took, named as the mistake it is.
// Returns kSuccess when every word was taken.
int reportLeftOver(const CLI::App& app, const CLI::App* command, const std::vector<std::string>& args) {
  const CLI::App* where = command ? command : &app;
  bool operand = false;
  std::vector<std::string> left = leftOver(where, operand);
  if (left.empty() && command) {
    where = &app;
    left = leftOver(&app, operand);
  }
  if (left.empty()) return kSuccess;
  const std::string word = left.front().substr(0, left.front().find('='));  // "--ouput-dir=x"
  if (!operand && word.size() > 1 && word[0] == '-') {
    return usageError(where, "unknown option '" + word + "'" + didYouMean(word, optionNames(where)));
  }
  if (where == &app) {
    return usageError(where, "unknown command '" + word + "'" + didYouMean(word, commandNames()));
  }
  return usageError(where, "unexpected argument '" + asTyped(left.front(), args) + "'");
}

const CLI::App* parsedCommand(const CLI::App& app) {
  const auto parsed = app.get_subcommands();
  return parsed.empty() ? nullptr : parsed.front();
}

// An option that takes a value, given last with none: "option '--output-dir'
// needs a DIR" says more than CLI11's own words. Empty when there is none.
std::string missingValue(const CLI::App* command, const std::vector<std::string>& args) {
  if (!command || args.empty()) return {};
  const CLI::Option* option = command->get_option_no_throw(args.back());
  if (!option || option->get_items_expected_min() == 0) return {};
  return "option '" + option->get_name() + "' needs a " + option->get_type_name();
}

// Help wrapped to the terminal, or to 80 columns in a pipe or a file.
void printHelp(const std::string& text) { std::cout << wrapHelp(text, terminalColumns(stdout)); }

// `tabrino help [COMMAND]`, read here: CLI11 would take the COMMAND word for
// that command itself.
int showHelp(const CLI::App& app, const std::vector<std::string>& args) {
  const CLI::App* help = app.get_subcommand("help");
  if (args.size() == 1 || args[1] == "-h" || args[1] == "--help") {
    printHelp(app.help());
    return kSuccess;
  }
  if (args.size() > 2) return usageError(help, "unexpected argument '" + args[2] + "'");
  for (const CommandEntry& command : kCommands) {
    if (command.name == args[1]) {
      printHelp(app.get_subcommand(command.name)->help(kProgram));
      return kSuccess;
    }
  }
  return usageError(help, "unknown command '" + args[1] + "'" + didYouMean(args[1], commandNames()));
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  CLI::App app{"Tabrino: turns speed-camera lists into camera database files (DB_YYMMDD.dbh)", kProgram};
  app.set_version_flag("--version", std::string(kProgram) + " " + TABRINO_VERSION, "Print the version and exit");
  app.set_help_flag("-h,--help", "Print this help and exit");
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.get_formatter()->label("REQUIRED", "");
  app.require_subcommand(1);
  // Words nobody takes are collected rather than thrown, so that the message
  // can name them.
  app.allow_extras();
  std::vector<std::function<int()>> runs;
  for (const CommandEntry& entry : kCommands) runs.push_back(entry.define(app.add_subcommand(entry.name, entry.summary)));
  CLI::App* help = app.add_subcommand("help", "Print the options of a command");
  help->add_option("COMMAND")->description(commandList())->type_name("");
  for (CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    command->group("Commands");
    command->allow_extras();
    command->footer(std::string("See ") + kManual + " for the messages, the exit status and the file format.");
  }
  app.footer(std::string("Run '") + kProgram + " help COMMAND' for the options of a command, " + kManual + " for the manual.");

  if (args.empty()) {
    line.exitStatus = usageError(&app, "a command is required: " + commandList("help"));
    return line;
  }
  if (args.front() == "help") {
    line.exitStatus = showHelp(app, args);
    return line;
  }

  const std::vector<std::string> words = operandsAfterMark(args);
  std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes them from the back
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    const CLI::App* command = parsedCommand(app);
    printHelp(command ? command->help(kProgram) : app.help());
    return line;
  } catch (const CLI::CallForVersion&) {
    std::cout << kProgram << " " << TABRINO_VERSION << "\n";
    return line;
  } catch (const CLI::ParseError& error) {
    // Words that were not taken explain most failures ("LIST is required"
    // after a mistyped option): name them first.
    const CLI::App* command = parsedCommand(app);
    line.exitStatus = reportLeftOver(app, command, args);
    if (line.exitStatus == kSuccess) {
      const std::string missing = missingValue(command, args);
      line.exitStatus = usageError(command ? command : &app, missing.empty() ? error.what() : missing);
    }
    return line;
  }

  const CLI::App* command = parsedCommand(app);
  line.exitStatus = reportLeftOver(app, command, args);
  if (line.exitStatus != kSuccess || !command) return line;
  for (std::size_t i = 0; i < std::size(kCommands); ++i) {
    if (command->get_name() != kCommands[i].name) continue;
    line.command = kCommands[i].name;
    line.run = runs[i];
    line.keptOnOutputFailure = kCommands[i].keptOnOutputFailure;
    line.outputFailureStatus = kCommands[i].outputFailureStatus;
  }
  return line;
}

}  // namespace tabrino::cli
