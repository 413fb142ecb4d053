// The command-line tool, run as users run it.
#include "core/convert/conversion_run.h"
#include "core/list/text_import.h"
#include "cli_support.h"
#include "tabrino_version.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::quote;
using test::tabrino;

const fs::path kSample = test::examplesDir() / "sample-cameras.txt";

TEST(Cli, ConvertsAListAndSaysWhatItDid) {
  test::TempDir dir;
  const CliRun run = tabrino(dir.path(), "convert " + quote(kSample.string()) + " --seed 1",
                          "SOURCE_DATE_EPOCH=1415923200");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("Loaded 35 rows"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Wrote 35 records; skipped 0 rows with coordinates out of range"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("DB Conversion end. [./DB_141114.dbh]"), std::string::npos) << run.out;

  // The same bytes as the core gives for the same list, date and seed.
  CameraTable table;
  importCameraList(kSample, table);
  test::TempDir reference;
  runConversion(table, {reference.path(), DbDate{2014, 11, 14}, drawRandomBlock(1)});
  EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), test::readBytes(reference / "DB_141114.dbh"));
}

TEST(Cli, CountsReadAsEnglish) {
  test::TempDir dir;
  test::writeText(dir / "one.txt", "IDX,X,Y\n1,13.5,52.4\n2,200,0\n");
  const CliRun run = tabrino(dir.path(), "convert one.txt --date 2014-11-14");
  EXPECT_NE(run.out.find("Loaded 2 rows from one.txt\nWrote 1 record; skipped 1 row with coordinates out of range\n"),
            std::string::npos)
      << run.out;
}

TEST(Cli, TheDateComesFromTheOptionThenSourceDateEpochThenToday) {
  test::TempDir dir;
  const std::string list = quote(kSample.string());
  ASSERT_EQ(tabrino(dir.path(), "convert " + list + " --date 2026-02-28", "SOURCE_DATE_EPOCH=0").exitCode, 0);
  ASSERT_EQ(tabrino(dir.path(), "convert " + list, "SOURCE_DATE_EPOCH=0").exitCode, 0);
  ASSERT_EQ(tabrino(dir.path(), "convert " + list + " -o out", "mkdir out &&").exitCode, 0);
  const std::string today = databaseFileName(todayInUtc());
  // 1970: the year digits are (0xB2 + 48) mod 256 = 226.
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"DB_2260101.dbh", "DB_260228.dbh", "out"}));
  EXPECT_TRUE(fs::exists(dir / "out" / today)) << today;
}

TEST(Cli, FailuresSayWhyWriteNothingAndExitNonZero) {
  test::TempDir dir;
  test::writeText(dir / "wrong.txt", "idx,x,y\n1,2,3\n");
  const std::string sample = quote(kSample.string());
  const struct {
    std::string args;
    std::string prefix;
    int exitCode;
    std::string message;
  } cases[] = {
      {"convert missing.txt", "", 1, "Error[5009] : missing.txt: No such file or directory"},
      {"convert .", "", 1, "Error[5009]"},
      {"convert wrong.txt", "", 1, "wrong.txt is not a camera list: its first line must be IDX,X,Y,"},
      {"convert " + sample + " --date 2014-11-14 -o nowhere", "", 1,
       "File open Error : nowhere/DB_141114.dbh: No such file or directory"},
      {"convert " + sample + " --date 14.11.2014", "", 2, "--date: expected a calendar date as YYYY-MM-DD"},
      {"convert " + sample, "SOURCE_DATE_EPOCH=yesterday", 2, "SOURCE_DATE_EPOCH"},
      {"convert " + sample + " --seed -1", "", 2, "--seed: expected a whole number from 0 to 4294967295"},
      {"convert", "", 2, "tabrino convert: LIST is required"},
      {"", "", 2, "tabrino: a command is required"},
      {"frobnicate", "", 2, "tabrino: unknown command 'frobnicate'"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args, c.prefix);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"wrong.txt"})) << c.args;
  }
}

TEST(Cli, AFailedWriteLeavesTheEarlierFileIntact) {
  // A file size limit makes the write fail part-way, as a full disk would.
  test::TempDir dir;
  test::writeText(dir / "DB_141114.dbh", "the earlier, good database");
  const fs::path bigList = test::realListsDir() / "russia-1983.txt";
  const fs::path list = fs::exists(bigList) ? bigList : kSample;
  std::string repeated;
  if (list == kSample) {  // the sample alone fits the limit: make it larger
    const std::string text = test::readText(kSample);
    repeated = text;
    for (int i = 0; i < 20; ++i) repeated += text.substr(text.find('\n') + 1);
    test::writeText(dir / "large.txt", repeated);
  }
  const std::string listArg = repeated.empty() ? quote(list.string()) : "large.txt";
  const CliRun run = tabrino(dir.path(), "convert " + listArg + " --date 2014-11-14",
                          "trap '' XFSZ; ulimit -f 1;");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("File write Error : ./DB_141114.dbh: File too large"), std::string::npos) << run.err;
  EXPECT_EQ(test::readText(dir / "DB_141114.dbh"), "the earlier, good database");
  std::vector<std::string> expected{"DB_141114.dbh"};
  if (!repeated.empty()) expected.push_back("large.txt");
  EXPECT_EQ(dir.entries(), expected);
}

TEST(Cli, HelpAndVersion) {
  test::TempDir dir;
  const CliRun help = tabrino(dir.path(), "convert --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--output-dir"), std::string::npos);
  const CliRun version = tabrino(dir.path(), "--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("tabrino ") + TABRINO_VERSION + "\n");  // from project(VERSION)
}

}  // namespace
}  // namespace tabrino
