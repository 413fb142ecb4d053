// The command line never harms a user's file: outputs that name an input,
// interrupted runs, devices, odd option values, output that cannot be
// written.
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
using test::contains;
using test::quote;
using test::tabrino;

// Each run names an input or the database again as an output, directly,
// through a link or by another spelling. It must be refused before anything
// is read, leaving every file as it was.
TEST(CliSafety, AnOutputThatNamesAnInputIsRefusedBeforeAnythingIsRead) {
  test::ConvertedSample sample;
  const fs::path dir = sample.dir.path();
  fs::copy_file(test::sampleList(), dir / "l.txt");
  fs::create_symlink("DB_141114.dbh", dir / "link.dbh");
  fs::create_directory(dir / "sub");
  const std::vector<std::uint8_t> database = test::readBytes(dir / "DB_141114.dbh");
  const std::string list = test::readText(dir / "l.txt");
  const struct {
    const char* args;
    const char* named;
  } cases[] = {
      {"convert l.txt --date 2014-11-14 --report l.txt", "is the same file as the list l.txt"},
      {"convert l.txt --date 2014-11-14 --report sub/../l.txt", "is the same file as the list l.txt"},
      {"convert l.txt --date 2014-11-14 --report DB_141114.dbh", "is the same file as the database"},
      {"convert l.txt --date 2014-11-14 --report link.dbh", "is the same file as the database"},
      {"convert l.txt --date 2014-11-14 -o sub --report sub/DB_141114.dbh", "is the same file as the database"},
      {"dump DB_141114.dbh -o DB_141114.dbh", "is the same file as the database DB_141114.dbh"},
      {"dump DB_141114.dbh -o link.dbh", "is the same file as the database DB_141114.dbh"},
      {"dump link.dbh -o ./DB_141114.dbh --format gpx", "is the same file as the database link.dbh"},
      {"map l.txt -o l.txt", "is the same file as the input l.txt"},
      {"map l.txt -o l.svg --report l.svg", "is the same file as --report l.svg"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir, c.args);
    EXPECT_EQ(run.exitCode, 2) << c.args;
    EXPECT_TRUE(contains(run.err, c.named)) << c.args << ": " << run.err;
    EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), database) << c.args;
    EXPECT_EQ(test::readText(dir / "l.txt"), list) << c.args;
    EXPECT_TRUE(fs::is_symlink(dir / "link.dbh")) << c.args;
  }
  EXPECT_FALSE(fs::exists(dir / "l.svg"));
  EXPECT_FALSE(fs::exists(dir / "sub" / "DB_141114.dbh"));
}

// The same clashes with the input read through "-": standard input is
// known by the file behind it.
TEST(CliSafety, AnOutputThatNamesTheFileOnStandardInputIsRefused) {
  test::ConvertedSample sample;
  const fs::path dir = sample.dir.path();
  fs::copy_file(test::sampleList(), dir / "l.txt");
  fs::create_symlink("DB_141114.dbh", dir / "link.dbh");
  const std::vector<std::uint8_t> database = test::readBytes(dir / "DB_141114.dbh");
  const std::string list = test::readText(dir / "l.txt");
  const struct {
    const char* args;
    const char* input;
    const char* named;
  } cases[] = {
      {"convert - --date 2014-11-14 --report l.txt", "l.txt", "--report l.txt is the same file as the list on standard input"},
      {"convert - --date 2014-11-14 --report /proc/self/fd/0", "l.txt", "is the same file as the list on standard input"},
      {"dump - -o DB_141114.dbh", "DB_141114.dbh", "-o DB_141114.dbh is the same file as the database on standard input"},
      {"dump - -o link.dbh --format kml", "DB_141114.dbh", "is the same file as the database on standard input"},
      {"map - -o l.txt", "l.txt", "-o l.txt is the same file as the input on standard input"},
      {"diff - DB_141114.dbh --report link.dbh", "DB_141114.dbh", "is the same file as the input on standard input"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir, std::string(c.args) + " < " + c.input);
    EXPECT_EQ(run.exitCode, 2) << c.args;
    EXPECT_TRUE(contains(run.err, c.named)) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.args;
    EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), database) << c.args;
    EXPECT_EQ(test::readText(dir / "l.txt"), list) << c.args;
    EXPECT_TRUE(fs::is_symlink(dir / "link.dbh")) << c.args;
  }
  // Another file behind standard input, or a pipe, is no clash.
  fs::create_directory(dir / "out");
  EXPECT_EQ(tabrino(dir, "convert - -q --date 2014-11-14 -o out --report l.txt < " + quote(test::sampleList().string()))
                .exitCode,
            0);
  EXPECT_EQ(tabrino(dir, "dump - -o copy.txt", "cat DB_141114.dbh |").exitCode, 0);
}

TEST(CliSafety, OptionValuesAScriptMayPassByMistake) {
  test::TempDir dir;
  const std::string list = quote(test::sampleList().string());
  const struct {
    std::string args;
    std::string environment;
    int exitCode;
  } cases[] = {
      {"--date 2014-11-14 --seed 010", "", 0},  // decimal: the same file as --seed 10
      {"--date 2014-11-14 --seed 0x10", "", 2},
      {"--date 2014-11-14 --seed ''", "", 2},
      {"--date 2014-11-14 --seed 4294967296", "", 2},
      {"--date '' --seed 1", "", 2},
      {"--seed 1", "SOURCE_DATE_EPOCH=9223372036854775807", 2},
      {"--seed 1", "SOURCE_DATE_EPOCH=253402300799", 0},  // 9999-12-31
  };
  for (const auto& c : cases) {
    const std::vector<std::string> before = dir.entries();
    const CliRun run = tabrino(dir.path(), "convert " + list + " -q " + c.args, c.environment);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << " " << c.environment << ": " << run.err;
    if (c.exitCode == 2) {
      EXPECT_EQ(dir.entries(), before) << c.args;
    }
  }
  // The year 9999 names its file by the low byte of the year, as devices expect.
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"DB_141114.dbh", "DB_631231.dbh"}));
  fs::create_directory(dir / "ten");
  ASSERT_EQ(tabrino(dir.path(), "convert " + list + " -q --date 2014-11-14 --seed 10 -o ten").exitCode, 0);
  EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), test::readBytes(dir / "ten" / "DB_141114.dbh"));
}

TEST(CliSafety, OutputThatCannotBeWrittenIsAFailure) {
  test::ConvertedSample sample;
  const fs::path dir = sample.dir.path();
  auto toFullDisk = [&](const std::string& args) {
    return test::runShell(dir, "(" + quote(test::cliPath()) + " " + args + " > /dev/full)");
  };
  CliRun run = toFullDisk("inspect DB_141114.dbh");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(contains(run.err, "could not write to standard output")) << run.err;

  // One failure, one message.
  run = toFullDisk("dump DB_141114.dbh");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "tabrino dump: could not write to standard output: No space left on device\n");
  // diff's trouble, even for the same cameras.
  run = toFullDisk("diff DB_141114.dbh DB_141114.dbh");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "tabrino diff: could not write to standard output: No space left on device\n");
  run = tabrino(dir, "dump DB_141114.dbh -o /dev/full");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(contains(run.err, "File write Error : /dev/full")) << run.err;
  EXPECT_TRUE(fs::exists("/dev/full"));  // a device is written to, never removed

  fs::create_directory(dir / "out");
  run = toFullDisk("convert " + quote(test::sampleList().string()) + " --date 2014-11-14 -o out");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(contains(run.err, "the database is written and in place")) << run.err;
  EXPECT_TRUE(fs::exists(dir / "out" / "DB_141114.dbh"));
}

// What cannot be a list is refused as a list whose header is wrong once its
// first bytes hold no header: endless zeros, a sparse file of 100 GB of
// zeros (it takes no disk), either among other lists or as a list to leave
// out. A limit on memory, where the build allows one, makes a reading of
// either whole fail at once rather than take the machine's memory.
TEST(CliSafety, WhatCannotBeAListIsRefusedBeforeItIsReadWhole) {
  test::TempDir dir;
  fs::copy_file(test::sampleList(), dir / "a.txt");
  test::writeText(dir / "big.txt", "");
  fs::resize_file(dir / "big.txt", std::uintmax_t{100} << 30);
  // (ThreadSanitizer's builds reserve more address space than any limit.)
  const std::string limit = "ulimit -v 2097152;";
  const std::string prefix = tabrino(dir.path(), "--version", limit).exitCode == 0 ? limit : "";
  const struct {
    const char* args;
    const char* named;  // as the message names it
    int exitCode;
  } cases[] = {
      {"convert /dev/zero", "/dev/zero", 1},
      {"convert - </dev/zero", "standard input", 1},
      {"convert big.txt", "big.txt", 1},
      {"convert a.txt big.txt", "big.txt", 1},
      {"convert a.txt --exclude /dev/zero", "--exclude /dev/zero", 1},
      {"convert a.txt --exclude big.txt", "--exclude big.txt", 1},
      {"map /dev/zero -o p.html", "/dev/zero", 1},
      {"diff big.txt a.txt", "big.txt", 2},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(dir.path(), c.args, prefix);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    EXPECT_TRUE(contains(run.err, std::string(c.named) +
                                      " is not a camera list: its first line must be IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION"))
        << c.args << ": " << run.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.txt", "big.txt"})) << c.args;
  }
}

// Killed or interrupted at any moment, a run leaves the folder as it was or
// with the complete file: never a partial one under any name.
TEST(CliSafety, AnInterruptedRunLeavesNoPartialFile) {
  test::TempDir dir;
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  for (int i = 0; i < 400000; ++i) list += std::to_string(i) + ",13." + std::to_string(i) + ",52." + std::to_string(i) + ",1,50,1,90\n";
  test::writeText(dir / "big.txt", list);
  for (const char* signal : {"KILL", "INT", "TERM", "HUP"}) {
    for (const char* delay : {"0.02", "0.05", "0.08"}) {
      fs::create_directory(dir / "out");
      // A run ended by a signal leaves its threads to the system, which is no
      // leak for ThreadSanitizer to report.
      const CliRun run = test::runShell(dir.path(), "TSAN_OPTIONS=\"${TSAN_OPTIONS:-} report_thread_leaks=0\" " +
                                                        std::string(quote(test::cliPath())) +
                                                        " convert big.txt -q --date 2014-11-14 -o out --report out/r.csv & "
                                                        "sleep " + delay + "; kill -" + signal + " $! 2>/dev/null; wait $!");
      for (const auto& entry : fs::directory_iterator(dir / "out")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "DB_141114.dbh" || name == "r.csv") << signal << " after " << delay << ": " << name;
      }
      if (std::string(signal) != "KILL" && fs::exists(dir / "out" / "DB_141114.dbh") == false) {
        EXPECT_NE(run.exitCode, 0) << signal;
      }
      fs::remove_all(dir / "out");
    }
  }
}

}  // namespace
}  // namespace tabrino
