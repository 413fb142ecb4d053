// "-" wherever a command reads or writes a file, inputs that can be read only
// once (a FIFO, bash's <(...)), and help that fits 80 columns or the terminal.
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::contains;
using test::quote;
using test::tabrino;

// A list's picture is dated by the day it is drawn: one day for every run.
const std::string kToday = "SOURCE_DATE_EPOCH=1415923200";

// The sample as l.txt, its database (DB_141114.dbh) and a list with a
// finding and a duplicate (odd.txt), which give every report some lines.
struct StreamFiles {
  test::ConvertedSample sample;
  StreamFiles() {
    fs::copy_file(test::sampleList(), sample.dir / "l.txt");
    test::writeText(sample.dir / "odd.txt",
                    "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,13.4,52.5,1,60,1,90\n2,x,52.6,2,50,0,0\n"
                    "3,13.4,52.5,1,60,1,90\n");
  }
  fs::path dir() const { return sample.dir.path(); }
};

// A picture with the name in its title and heading left out.
std::string untitled(std::string picture) {
  for (std::size_t at = picture.find(" \u00B7 "); at != std::string::npos; at = picture.find(" \u00B7 ", at + 1)) {
    const std::size_t start = picture.rfind('>', at) + 1;
    picture.erase(start, at - start);
    at = start;
  }
  return picture;
}

// Every input read through "-", a FIFO and <(...) gives what the named file
// gives. A FIFO or <(...) opened twice would hang or lose its first bytes,
// so each run has a deadline.
TEST(CliStreams, MapAndDiffReadStandardInputFifosAndProcessSubstitution) {
  StreamFiles files;
  const fs::path dir = files.dir();
  ASSERT_EQ(test::runShell(dir, "mkfifo fifo").exitCode, 0);
  const struct {
    std::string named;   // the command on named files
    std::string input;   // the file read through the other ways
    std::string other;   // the command with @ where that input goes
  } cases[] = {
      {"map l.txt -o named.svg", "l.txt", "map @ -o read.svg"},
      {"map DB_141114.dbh -o named.svg", "DB_141114.dbh", "map @ -o read.svg"},
      {"diff odd.txt DB_141114.dbh", "odd.txt", "diff @ DB_141114.dbh"},
      {"diff l.txt DB_141114.dbh", "DB_141114.dbh", "diff l.txt @"},
      {"diff DB_141114.dbh l.txt --report named.csv", "DB_141114.dbh", "diff @ l.txt --report read.csv"},
  };
  const std::string cli = "timeout 30 " + quote(test::cliPath());
  for (const auto& c : cases) {
    const CliRun named = tabrino(dir, c.named, kToday);
    const std::string namedOutput = c.named.substr(0, 3) == "map" ? test::readText(dir / "named.svg")
                                    : contains(c.named, "--report") ? test::readText(dir / "named.csv")
                                                                    : named.out;
    const std::string input = quote(c.input);
    const std::string at = c.other.substr(0, c.other.find('@'));
    const std::string after = c.other.substr(c.other.find('@') + 1);
    const struct {
      const char* how;
      std::string command;
    } ways[] = {
        {"-", kToday + " " + cli + " " + at + "-" + after + " < " + input},
        {"a FIFO", "(cat " + input + " > fifo &) && " + kToday + " " + cli + " " + at + "fifo" + after},
        {"<(...)", "bash -c " + quote(kToday + " " + cli + " " + at + "<(cat " + input + ")" + after)},
    };
    for (const auto& way : ways) {
      fs::remove(dir / "read.svg");
      fs::remove(dir / "read.csv");
      const CliRun run = test::runShell(dir, way.command);
      EXPECT_EQ(run.exitCode, named.exitCode) << c.other << " through " << way.how << ": " << run.err;
      if (c.other.substr(0, 3) == "map") {
        // The title names what was read; the pictures are otherwise the same.
        EXPECT_TRUE(untitled(test::readText(dir / "read.svg")) == untitled(namedOutput))
            << c.other << " through " << way.how;
      } else if (contains(c.other, "--report")) {
        EXPECT_EQ(test::readText(dir / "read.csv"), namedOutput) << c.other << " through " << way.how;
      } else {
        EXPECT_EQ(run.out, namedOutput) << c.other << " through " << way.how;
      }
    }
  }
}

// An output given as "-" is standard output: what the file would hold, with
// what the command says moved to stderr, and never a file named "-".
TEST(CliStreams, OutputsGivenAsADashWriteStandardOutput) {
  StreamFiles files;
  const fs::path dir = files.dir();
  fs::create_directory(dir / "a");
  fs::create_directory(dir / "b");
  const struct {
    std::string toFile;  // writes `file`
    std::string file;
    std::string toStandardOutput;
    std::string said;  // on stderr when the output is standard output
  } cases[] = {
      {"map l.txt -o l.svg", "l.svg", "map l.txt -o -", "Map written. [standard output]"},
      {"map odd.txt -o a/odd.svg --report a/r.csv", "a/r.csv", "map odd.txt -o b/odd.svg --report -",
       "Every finding is in standard output."},
      {"convert odd.txt -o a --date 2014-11-14 --report a/r.csv", "a/r.csv",
       "convert odd.txt -o b --date 2014-11-14 --report -", "Loaded 3 rows from odd.txt"},
      {"diff odd.txt l.txt --report a/d.csv", "a/d.csv", "diff odd.txt l.txt --report -",
       "35 added, 3 removed, 0 changed, 0 unchanged"},
  };
  for (const auto& c : cases) {
    const CliRun toFile = tabrino(dir, c.toFile, kToday);
    const CliRun toStandardOutput = tabrino(dir, c.toStandardOutput, kToday);
    EXPECT_EQ(toStandardOutput.exitCode, toFile.exitCode) << c.toStandardOutput << ": " << toStandardOutput.err;
    EXPECT_TRUE(toStandardOutput.out == test::readText(dir / c.file)) << c.toStandardOutput;
    EXPECT_TRUE(contains(toStandardOutput.err, c.said)) << c.toStandardOutput << ": " << toStandardOutput.err;
    EXPECT_FALSE(fs::exists(dir / "-")) << c.toStandardOutput;
  }
  // The database written beside a report on standard output is the same.
  EXPECT_EQ(test::readBytes(dir / "a" / "DB_141114.dbh").size(), test::readBytes(dir / "b" / "DB_141114.dbh").size());
}

// Where "-" cannot work it is refused before anything is read or written.
TEST(CliStreams, ADashThatCannotWorkIsRefused) {
  StreamFiles files;
  const fs::path dir = files.dir();
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"convert l.txt --date 2014-11-14 -o -", "tabrino convert: -o names the database's folder; standard output (-) "
                                               "cannot hold it: give a folder (./- for one named -)\n"},
      {"map - < l.txt", "tabrino map: the picture of standard input needs a name: give -o FILE (-o - writes it to "
                        "standard output)\n"},
      {"map l.txt -o - --report -", "tabrino map: -o and --report are both standard output (-): only one can be; "
                                    "name a file for the other (nothing was read or written)\n"},
      {"diff - - < l.txt", "tabrino diff: OLD and NEW are both standard input (-): only one can be; name a file for "
                           "the other\n"},
  };
  const std::vector<std::string> before = files.sample.dir.entries();
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir, c.args);
    EXPECT_EQ(run.exitCode, 2) << c.args;
    EXPECT_EQ(run.err, c.message) << c.args;
    EXPECT_EQ(run.out, "") << c.args;
    EXPECT_EQ(files.sample.dir.entries(), before) << c.args;
  }
  // A folder named "-" is still a folder, spelled as a path.
  fs::create_directory(dir / "-");
  EXPECT_EQ(tabrino(dir, "convert l.txt -q --date 2014-11-14 -o ./-").exitCode, 0);
  EXPECT_TRUE(fs::exists(dir / "-" / "DB_141114.dbh"));
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The words of a text, whatever its line breaks.
std::string wordsOf(const std::string& text) {
  std::istringstream in(text);
  std::string words;
  for (std::string word; in >> word;) words += word + " ";
  return words;
}

// Help in a pipe fits 80 columns and loses no word; on a terminal it fits the
// terminal, and a continued description keeps its column.
TEST(CliStreams, HelpIsWrappedTo80ColumnsOrTheTerminal) {
  test::TempDir dir;
  for (const std::string command : {"", "convert", "inspect", "dump", "map", "diff"}) {
    const CliRun help = tabrino(dir.path(), "help " + command);
    ASSERT_EQ(help.exitCode, 0) << command;
    for (const std::string& line : linesOf(help.out)) EXPECT_LE(line.size(), 80u) << command << ": " << line;
  }
  const std::string convert = tabrino(dir.path(), "help convert").out;
  for (const char* option : {"LIST", "-h,--help", "-o,--output-dir DIR", "--date YYYY-MM-DD", "--seed N",
                             "--report FILE", "--near METERS", "--drop-duplicates", "-q,--quiet"}) {
    EXPECT_TRUE(contains(convert, std::string("\n  ") + option + " ")) << option << "\n" << convert;
  }
  EXPECT_TRUE(contains(wordsOf(convert), "Write every row or line that did not become a camera as meant, or repeats an "
                                         "earlier camera, and why, to this CSV file (line numbers from 1)"))
      << convert;
  const std::vector<std::string> lines = linesOf(convert);
  const auto report = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("  --report FILE", 0) == 0;
  });
  ASSERT_NE(report, lines.end());
  ASSERT_NE(report + 1, lines.end());
  const std::size_t column = report->find("Write");
  EXPECT_EQ(report[1].find_first_not_of(' '), column) << report[1];

  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) here";
  const test::TempDir capture;
  const std::string command = "stty cols 60 && " + quote(test::cliPath()) + " help convert";
  ASSERT_EQ(std::system(("script -qec " + quote(command) + " /dev/null >" + quote((capture / "tty").string())).c_str()),
            0);
  std::string shown = test::readText(capture / "tty");
  shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());
  EXPECT_EQ(wordsOf(shown), wordsOf(convert));
  for (const std::string& line : linesOf(shown)) EXPECT_LE(line.size(), 60u) << line;
}

}  // namespace
}  // namespace tabrino
