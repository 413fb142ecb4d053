// What the command line says about a mistake in it, its help, and "-" for
// standard input and output.
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::ConvertedSample;
using test::quote;
using test::tabrino;

const fs::path kSample = test::sampleList();

TEST(CliUsage, AMistakeIsNamedInTwoLinesWithExitStatusTwo) {
  test::TempDir dir;
  test::writeText(dir / "L", "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n");
  const struct {
    std::string args;
    std::string err;
  } cases[] = {
      {"conver x", "tabrino: unknown command 'conver' (did you mean 'convert'?)\nRun 'tabrino --help' for usage.\n"},
      {"--frobnicate", "tabrino: unknown option '--frobnicate'\nRun 'tabrino --help' for usage.\n"},
      {"--verison", "tabrino: unknown option '--verison' (did you mean '--version'?)\nRun 'tabrino --help' for usage.\n"},
      // The valid list after the mistake is not blamed.
      {"convert --ouput-dir x L",
       "tabrino convert: unknown option '--ouput-dir' (did you mean '--output-dir'?)\n"
       "Run 'tabrino convert --help' for usage.\n"},
      {"convert --ouput-dir x",
       "tabrino convert: unknown option '--ouput-dir' (did you mean '--output-dir'?)\n"
       "Run 'tabrino convert --help' for usage.\n"},
      {"convert L --ouput-dir=x", "tabrino convert: unknown option '--ouput-dir' (did you mean '--output-dir'?)\n"
                                  "Run 'tabrino convert --help' for usage.\n"},
      {"convert L --out x", "tabrino convert: unknown option '--out' (did you mean '--output-dir'?)\n"
                            "Run 'tabrino convert --help' for usage.\n"},
      {"dump L --qiuet", "tabrino dump: unknown option '--qiuet' (did you mean '--quiet'?)\n"
                         "Run 'tabrino dump --help' for usage.\n"},
      {"inspect L --colour", "tabrino inspect: unknown option '--colour'\nRun 'tabrino inspect --help' for usage.\n"},
      {"inspect L M", "tabrino inspect: unexpected argument 'M'\nRun 'tabrino inspect --help' for usage.\n"},
      {"convert L -o", "tabrino convert: option '--output-dir' needs a DIR\nRun 'tabrino convert --help' for usage.\n"},
      {"convert L --date 14.11.2014",
       "tabrino convert: --date: expected a calendar date as YYYY-MM-DD, got \"14.11.2014\"\n"
       "Run 'tabrino convert --help' for usage.\n"},
      {"convert L --seed 4294967296",
       "tabrino convert: --seed: expected a whole number from 0 to 4294967295, got \"4294967296\"\n"
       "Run 'tabrino convert --help' for usage.\n"},
      {"", "tabrino: a command is required: convert, inspect, dump, export, map, diff, from-osm or help\nRun 'tabrino --help' for usage.\n"},
      {"help convret", "tabrino help: unknown command 'convret' (did you mean 'convert'?)\n"
                       "Run 'tabrino help --help' for usage.\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args);
    EXPECT_EQ(run.exitCode, 2) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
    EXPECT_EQ(run.out, "") << c.args;
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"L"});
}

// "--" ends the options: what follows is a file, whatever its name.
TEST(CliUsage, DoubleDashEndsTheOptionsOfEveryCommand) {
  ConvertedSample sample;
  fs::copy_file(kSample, sample.dir / "-odd.txt");
  fs::copy_file(sample.database(), sample.dir / "-odd.dbh");
  fs::create_directory(sample.dir / "out");
  const struct {
    std::string args;
    int exitCode;
  } cases[] = {
      {"convert -q --date 2014-11-14 --seed 1 -o out -- -odd.txt", 0},
      {"inspect -q -- -odd.dbh", 0},
      {"dump -o odd.txt -- -odd.dbh", 0},
      {"map -q -o odd.svg -- -odd.txt", 0},
      {"diff -q -- -odd.txt -odd.dbh", 0},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(sample.dir.path(), c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << ": " << run.err;
  }
  EXPECT_EQ(test::readBytes(sample.dir / "out" / "DB_141114.dbh"), test::readBytes(sample.database()));
  EXPECT_EQ(test::readText(sample.dir / "odd.txt"), tabrino(sample.dir.path(), "dump DB_141114.dbh").out);
  EXPECT_TRUE(fs::exists(sample.dir / "odd.svg"));

  // After "--" a word that looks like an option is an operand too many.
  // (convert takes several lists: there it is one more list.)
  const CliRun extra = tabrino(sample.dir.path(), "inspect -- -odd.dbh -q");
  EXPECT_EQ(extra.exitCode, 2);
  EXPECT_EQ(extra.err, "tabrino inspect: unexpected argument '-q'\nRun 'tabrino inspect --help' for usage.\n");
}

// A failure at run time is one message on stderr: the program and the
// command, then the message with its own code where it has one.
TEST(CliUsage, ARuntimeFailureIsOneLineNamingTheCommand) {
  ConvertedSample sample;
  const struct {
    std::string args;
    std::string err;
  } cases[] = {
      {"convert nosuch.txt", "tabrino convert: Error[5009] : nosuch.txt: No such file or directory\n"},
      {"map nosuch.txt", "tabrino map: Error[5009] : nosuch.txt: No such file or directory\n"},
      {"diff nosuch.txt DB_141114.dbh", "tabrino diff: Error[5009] : nosuch.txt: No such file or directory\n"},
      {"dump nosuch.dbh", "tabrino dump: File open Error : nosuch.dbh: No such file or directory\n"},
      {"inspect nosuch.dbh", "tabrino inspect: File open Error : nosuch.dbh: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(sample.dir.path(), c.args);
    EXPECT_EQ(run.exitCode, c.args.rfind("diff", 0) == 0 ? 2 : 1) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
}

TEST(CliUsage, HelpOfACommandIsItsOwnHelp) {
  test::TempDir dir;
  for (const std::string command : {"convert", "inspect", "dump", "map", "diff"}) {
    const CliRun help = tabrino(dir.path(), "help " + command);
    EXPECT_EQ(help.exitCode, 0) << command << help.err;
    EXPECT_EQ(help.out, tabrino(dir.path(), command + " --help").out) << command;
    EXPECT_NE(help.out.find("Usage: tabrino " + command + " [OPTIONS] "), std::string::npos) << help.out;
  }
  const CliRun all = tabrino(dir.path(), "help");
  EXPECT_EQ(all.exitCode, 0);
  EXPECT_EQ(all.out, tabrino(dir.path(), "--help").out);
  for (const char* command : {"convert", "inspect", "dump", "map", "diff"}) EXPECT_NE(all.out.find(command), std::string::npos);

  // Placeholders say what an option takes.
  const std::string convert = tabrino(dir.path(), "help convert").out;
  for (const char* shown :
       {"-o,--output-dir DIR", "--date YYYY-MM-DD", "--seed N", "--report FILE", "--near METERS"}) {
    EXPECT_NE(convert.find(shown), std::string::npos) << shown << "\n" << convert;
  }
  EXPECT_EQ(convert.find("TEXT"), std::string::npos) << convert;
  EXPECT_EQ(convert.find("UINT"), std::string::npos) << convert;
}

TEST(CliStandardStreams, InspectAndDumpReadADatabaseFromAPipe) {
  ConvertedSample sample;
  const CliRun fromFile = tabrino(sample.dir.path(), "inspect DB_141114.dbh");
  const CliRun fromPipe = tabrino(sample.dir.path(), "inspect -", "cat DB_141114.dbh |");
  EXPECT_EQ(fromPipe.exitCode, 0) << fromPipe.err;
  // The same report, naming standard input rather than the file.
  std::string expected = fromFile.out;
  expected.replace(0, std::string("DB_141114.dbh").size(), "standard input");
  EXPECT_EQ(fromPipe.out, expected);

  const CliRun dumped = tabrino(sample.dir.path(), "dump DB_141114.dbh");
  const CliRun dumpedFromPipe = tabrino(sample.dir.path(), "dump -", "cat DB_141114.dbh |");
  EXPECT_EQ(dumpedFromPipe.exitCode, 0) << dumpedFromPipe.err;
  EXPECT_EQ(dumpedFromPipe.out, dumped.out);

  const CliRun notADatabase = tabrino(sample.dir.path(), "dump -", "cat " + quote(kSample.string()) + " |");
  EXPECT_EQ(notADatabase.exitCode, 1);
  EXPECT_NE(notADatabase.err.find("tabrino dump: standard input is not a camera database: magic is 49 44 58 2C"),
            std::string::npos)
      << notADatabase.err;
  const CliRun empty = tabrino(sample.dir.path(), "inspect -", "true |");
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(empty.out, "standard input: 0 bytes\n1 problem:\n  offset 0 (0x0): the file is empty\n");
}

TEST(CliStandardStreams, ConvertReadsTheListFromAPipe) {
  ConvertedSample sample;  // from the file
  fs::create_directory(sample.dir / "piped");
  const CliRun run = tabrino(sample.dir.path(), "convert - --seed 1 --date 2014-11-14 -o piped",
                             "cat " + quote(kSample.string()) + " |");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Loaded 35 rows from standard input\n"), std::string::npos) << run.out;
  EXPECT_EQ(test::readBytes(sample.dir / "piped" / "DB_141114.dbh"), test::readBytes(sample.database()));

  const CliRun wrong = tabrino(sample.dir.path(), "convert - -o piped", "printf 'idx,x\\n1,2\\n' |");
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_EQ(wrong.err, "tabrino convert: standard input is not a camera list: its first line must be "
                       "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n");
}

TEST(CliStandardStreams, DumpToADashWritesStandardOutputAndNoFile) {
  ConvertedSample sample;
  const CliRun dash = tabrino(sample.dir.path(), "dump DB_141114.dbh -o -");
  EXPECT_EQ(dash.exitCode, 0) << dash.err;
  EXPECT_EQ(dash.out, tabrino(sample.dir.path(), "dump DB_141114.dbh").out);
  EXPECT_EQ(sample.dir.entries(), std::vector<std::string>{"DB_141114.dbh"});
}

TEST(CliOutputFolder, IsCheckedBeforeTheListIsRead) {
  test::TempDir dir;
  test::writeText(dir / "afile", "");
  const std::string folderOnly = "tabrino convert: -o takes a folder; the database is always named DB_YYMMDD.dbh\n";
  const struct {
    std::string args;
    int exitCode;
    std::string err;
  } cases[] = {
      // The list is missing too: the folder is what is reported.
      {"convert missing.txt --date 2014-11-14 -o nowhere", 1,
       "tabrino convert: File open Error : nowhere/DB_141114.dbh: No such file or directory\n"},
      // A file, existing or named as the database would be, is no folder.
      {"convert missing.txt --date 2014-11-14 -o afile", 2, folderOnly},
      {"convert missing.txt --date 2014-11-14 -o out.dbh", 2, folderOnly},
      {"convert missing.txt --date 2014-11-14 -o nowhere/DB_141114.DBH", 2, folderOnly},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"afile"});
}

}  // namespace
}  // namespace tabrino
