// inspect, dump, and what convert says about a list, run as users run them.
#include "core/database/camera_db_format.h"
#include "core/convert/conversion_run.h"
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
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

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  test::writeText(path, std::string(bytes.begin(), bytes.end()));
}

TEST(CliInspect, ASoundFileShowsItsFieldsAndOk) {
  ConvertedSample sample;
  const CliRun run = tabrino(sample.dir.path(), "inspect DB_141114.dbh");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto image = test::readBytes(sample.database());
  char checksum[64];
  std::snprintf(checksum, sizeof checksum, "  checksum   stored 0x%02X, computed 0x%02X\n", image[15], image[15]);
  EXPECT_EQ(run.out, "DB_141114.dbh: 512 bytes\n"
                     "  date       2014-11-14 (file name DB_141114.dbh)\n"
                     "  records    35\n"
                     "  body size  448\n" +
                         std::string(checksum) + "OK\n");

  const CliRun quiet = tabrino(sample.dir.path(), "inspect -q DB_141114.dbh");
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.out + quiet.err, "");
}

// A file that is not a database gets a verdict, not a list of "problems"
// made of its text read as fields.
TEST(CliInspect, AFileThatIsNotADatabaseIsNamedSo) {
  test::TempDir dir;
  fs::copy_file(kSample, dir / "cameras.txt");
  test::writeText(dir / "notes.txt", "hello\n");
  const struct {
    std::string args;
    std::string out;
  } cases[] = {
      {"inspect cameras.txt", "cameras.txt: not a camera database\nit looks like a camera list: use tabrino convert\n"},
      {"inspect -q - < cameras.txt",
       "standard input: not a camera database\nit looks like a camera list: use tabrino convert\n"},
      {"inspect notes.txt", "notes.txt: not a camera database\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args);
    EXPECT_EQ(run.exitCode, 1) << c.args;
    EXPECT_EQ(run.out, c.out) << c.args;
    EXPECT_EQ(run.err, "") << c.args;
  }
}

TEST(CliInspect, ProblemsAndFailuresExitWithOne) {
  ConvertedSample sample;
  auto image = test::readBytes(sample.database());
  image[15] ^= 0xFF;
  image.push_back(0xFF);
  writeBytes(sample.dir / "bad.dbh", image);
  test::writeText(sample.dir / "empty.dbh", "");
  const struct {
    std::string args;
    int exitCode;
    std::string out;
    std::string err;
  } cases[] = {
      {"inspect bad.dbh", 1, "2 problems:\n  offset 15 (0xF): checksum: stored", ""},
      {"inspect bad.dbh", 1, "  offset 512 (0x200): the file is 513 bytes long, not a multiple of 64", ""},
      {"inspect -q bad.dbh", 1, "bad.dbh: 2 problems:\n  offset 15 (0xF)", ""},
      {"inspect empty.dbh", 1, "1 problem:\n  offset 0 (0x0): the file is empty\n", ""},
      {"inspect missing.dbh", 1, "", "File open Error : missing.dbh: No such file or directory\n"},
      {"inspect .", 1, "", "File open Error : .: Is a directory\n"},
      {"inspect", 2, "", "tabrino inspect: FILE is required\n"},
      {"inspect a.dbh b.dbh", 2, "", "tabrino inspect: unexpected argument 'b.dbh'\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(sample.dir.path(), c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    EXPECT_TRUE(contains(run.out, c.out)) << c.args << "\n" << run.out;
    EXPECT_TRUE(contains(run.err, c.err)) << c.args << "\n" << run.err;
    if (c.err.empty()) {
      EXPECT_EQ(run.err, "") << c.args;
    }
  }
}

TEST(CliDump, TheDumpConvertsBackToTheSameFile) {
  ConvertedSample sample;
  const CliRun toStdout = tabrino(sample.dir.path(), "dump DB_141114.dbh");
  EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
  EXPECT_EQ(toStdout.err, "");
  EXPECT_EQ(toStdout.out.substr(0, toStdout.out.find('\n') + 1), "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n");
  EXPECT_EQ(std::count(toStdout.out.begin(), toStdout.out.end(), '\n'), 36);

  const CliRun toFile = tabrino(sample.dir.path(), "dump DB_141114.dbh -o dump.txt");
  EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
  EXPECT_EQ(toFile.out + toFile.err, "");
  EXPECT_EQ(test::readText(sample.dir / "dump.txt"), toStdout.out);

  fs::create_directory(sample.dir / "again");
  const CliRun again = tabrino(sample.dir.path(), "convert dump.txt --seed 1 --date 2014-11-14 -o again");
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(test::readBytes(sample.dir / "again" / "DB_141114.dbh"), test::readBytes(sample.database()));
}

TEST(CliDump, FailuresAndWarnings) {
  ConvertedSample sample;
  auto image = test::readBytes(sample.database());
  image[15] ^= 0xFF;
  writeBytes(sample.dir / "bad.dbh", image);
  std::mt19937 random(1);
  writeBytes(sample.dir / "big.dbh", encodeDatabase({2014, 11, 14}, {}, test::randomSortedRecords(random, 1000)));
  const struct {
    std::string args;
    int exitCode;
    std::string err;
    std::string prefix = "";
  } cases[] = {
      {"dump bad.dbh -o bad.txt", 0,
       "tabrino dump: warning: bad.dbh is not sound; its 35 records were dumped as they stand"},
      {"dump bad.dbh -o bad.txt --quiet", 0, ""},
      {"dump " + quote(kSample.string()) + " -o list.txt", 1,
       "is not a camera database: magic is 49 44 58 2C, not 72 75 64 62 (\"rudb\")"},
      {"dump missing.dbh", 1, "File open Error : missing.dbh: No such file or directory"},
      {"dump DB_141114.dbh -o nowhere/list.txt", 1, "File open Error : nowhere/list.txt: No such file or directory"},
      // A file size limit makes the write fail part-way, as a full disk would.
      {"dump big.dbh -o cut.txt", 1, "File write Error : cut.txt: File too large", "trap '' XFSZ; ulimit -f 1;"},
      {"dump", 2, "tabrino dump: FILE is required\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(sample.dir.path(), c.args, c.prefix);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.err;
    EXPECT_TRUE(contains(run.err, c.err)) << c.args << "\n" << run.err;
    if (c.err.empty()) {
      EXPECT_EQ(run.err, "") << c.args;
    }
  }
  // The list cut short by the failed write is gone.
  EXPECT_EQ(sample.dir.entries(), (std::vector<std::string>{"DB_141114.dbh", "bad.dbh", "bad.txt", "big.dbh"}));
}

const std::string kFaultyList =
    "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"
    "1,37.5,55.75,1,60,1,90\n"
    "junk\n"
    "2,200,10,1,60,1,90\n"
    "3,30.25,-12.5,2,90km/h,0\n"
    "4,1,95,1,60,1,90\n"
    "5,1,-95,1,60,1,90\n"
    "6,181,0,1,60,1,90\n";

TEST(CliConvert, SaysWhatInTheListDidNotBecomeACamera) {
  test::TempDir dir;
  test::writeText(dir / "list.txt", kFaultyList);
  const CliRun run = tabrino(dir.path(), "convert list.txt --seed 1 --date 2014-11-14");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Wrote 2 records; skipped 4 rows with coordinates out of range\n")) << run.out;
  EXPECT_EQ(run.err,
            "4 rows skipped, coordinates out of range: line 4 (X \"200\", Y \"10\"), line 6 (X \"1\", Y \"95\"), "
            "line 7 (X \"1\", Y \"-95\"), ...\n"
            "1 line without a comma made no row: line 3 (\"junk\")\n"
            "1 line with other than 7 fields: line 5 (6 fields, not 7)\n"
            "1 cell without a number, read as 0: line 5 (DIRECTION \"\" reads as 0)\n"
            "1 cell with more than a number, only the number read: line 5 (SPEED \"90km/h\" reads as 90)\n"
            "Lines are counted from 1, the header being line 1. --report FILE lists every finding.\n");
}

TEST(CliConvert, ReportAndQuietLeaveTheDatabaseAsItIs) {
  test::TempDir dir;
  test::writeText(dir / "list.txt", kFaultyList);
  fs::create_directory(dir / "plain");
  const CliRun plain = tabrino(dir.path(), "convert list.txt --seed 1 --date 2014-11-14 -o plain");
  const CliRun quiet = tabrino(dir.path(), "convert list.txt --seed 1 --date 2014-11-14 --quiet --report r.csv");
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.out + quiet.err, "");
  EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), test::readBytes(dir / "plain" / "DB_141114.dbh"));
  EXPECT_EQ(test::readText(dir / "r.csv"),
            "line,kind,detail\n"
            "3,no-comma,\"\"\"junk\"\"\"\n"
            "4,out-of-range,\"X \"\"200\"\", Y \"\"10\"\"\"\n"
            "5,field-count,\"6 fields, not 7\"\n"
            "5,number-prefix,\"SPEED \"\"90km/h\"\" reads as 90\"\n"
            "5,not-a-number,\"DIRECTION \"\"\"\" reads as 0\"\n"
            "6,out-of-range,\"X \"\"1\"\", Y \"\"95\"\"\"\n"
            "7,out-of-range,\"X \"\"1\"\", Y \"\"-95\"\"\"\n"
            "8,out-of-range,\"X \"\"181\"\", Y \"\"0\"\"\"\n");

  const CliRun withReport = tabrino(dir.path(), "convert list.txt --date 2014-11-14 --report r.csv -o plain");
  EXPECT_TRUE(contains(withReport.err, "Every finding is in r.csv.\n")) << withReport.err;

  // A report that cannot be written stops the run before the database.
  const CliRun failed = tabrino(dir.path(), "convert list.txt --date 2015-01-01 --report nowhere/r.csv");
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_TRUE(contains(failed.err, "File open Error : nowhere/r.csv: No such file or directory")) << failed.err;
  EXPECT_FALSE(fs::exists(dir / "DB_150101.dbh"));
}

// The bar appears only on a terminal: `script` gives the tool a real one.
TEST(CliProgress, ShowsOnATerminalOnlyAndNeverWhenQuiet) {
  ConvertedSample sample;
  const std::string now = "TABRINO_PROGRESS_DELAY_MS=0";
  const CliRun piped = tabrino(sample.dir.path(), "inspect DB_141114.dbh", now);
  EXPECT_FALSE(contains(piped.err, "Checking")) << piped.err;

  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) here";
  // What the terminal shows, stdout and stderr together.
  auto onTerminal = [&](const std::string& args) {
    const test::TempDir capture;
    const std::string command = "cd " + quote(sample.dir.path().string()) + " && " + now + " " +
                                quote(test::cliPath()) + " " + args;
    const int status =
        std::system(("script -qec " + quote(command) + " /dev/null >" + quote((capture / "tty").string())).c_str());
    EXPECT_NE(status, -1) << "script(1) could not be started";
    return test::readText(capture / "tty");
  };
  const std::string shown = onTerminal("inspect DB_141114.dbh");
  EXPECT_TRUE(contains(shown, "\rChecking [#")) << shown;
  EXPECT_TRUE(contains(shown, "%\r      ")) << shown;  // then wiped before the report
  EXPECT_LT(shown.find("Checking"), shown.find("DB_141114.dbh: 512 bytes")) << shown;
  EXPECT_TRUE(contains(shown, "OK")) << shown;
  const std::string quiet = onTerminal("inspect --quiet DB_141114.dbh");
  EXPECT_FALSE(contains(quiet, "Checking")) << quiet;
}

}  // namespace
}  // namespace tabrino
