// Every file a run reads is an input, read once, and no output replaces one;
// outputs are replaced only where their owner would have them replaced.
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::contains;
using test::tabrino;

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
const std::string kRegion = "region\n1\n  13.0 52.0\n  14.0 52.0\n  14.0 53.0\n  13.0 53.0\nEND\nEND\n";

// A folder with a database, a list, a region and an ignore list, each of
// which a run may read.
struct RunFiles {
  test::ConvertedSample sample;
  fs::path dir = sample.dir.path();
  RunFiles() {
    fs::copy_file(test::sampleList(), dir / "l.txt");
    test::writeText(dir / "r.poly", kRegion);
    test::writeText(dir / "a.txt", kHeader + "1,13.3366,52.5236,2,60,2,30\n");
  }
  // Every file's bytes, to see that a refused run left each as it was.
  std::vector<std::vector<std::uint8_t>> contents() const {
    std::vector<std::vector<std::uint8_t>> all;
    for (const char* name : {"DB_141114.dbh", "l.txt", "r.poly", "a.txt"}) all.push_back(test::readBytes(dir / name));
    return all;
  }
};

// Each output of each command against the region and the ignore list, named
// directly, through a symbolic link and through a hard link: refused before
// anything is read, every file as it was.
TEST(CliInputs, AnOutputNeverReplacesARegionOrAnIgnoreList) {
  RunFiles files;
  fs::create_symlink("r.poly", files.dir / "r-link.poly");
  fs::create_hard_link(files.dir / "r.poly", files.dir / "r-hard.poly");
  fs::create_symlink("a.txt", files.dir / "a-link.txt");
  fs::create_hard_link(files.dir / "a.txt", files.dir / "a-hard.txt");
  const std::vector<std::string> outputs = {
      "convert l.txt --date 2014-11-14 --report ", "map l.txt -o ", "map l.txt -o x.svg --report ",
      "dump DB_141114.dbh -o ", "dump DB_141114.dbh --format gpx -o "};
  const struct {
    const char* filter;
    const char* names[3];
    const char* named;
  } inputs[] = {
      {" --polygon r.poly", {"r.poly", "r-link.poly", "r-hard.poly"}, "is the same file as --polygon r.poly"},
      {" --exclude a.txt", {"a.txt", "a-link.txt", "a-hard.txt"}, "is the same file as --exclude a.txt"},
  };
  const auto before = files.contents();
  const std::vector<std::string> entries = files.sample.dir.entries();
  for (const std::string& output : outputs) {
    for (const auto& input : inputs) {
      for (const char* name : input.names) {
        const std::string args = output + name + input.filter;
        const CliRun run = tabrino(files.dir, args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_TRUE(contains(run.err, input.named)) << args << ": " << run.err;
        EXPECT_EQ(files.contents(), before) << args;
        EXPECT_EQ(files.sample.dir.entries(), entries) << args;
      }
    }
  }
}

// Standard input, or one pipe, can be read only once: naming it twice is a
// mistake, said before anything is read, never a run that waits forever.
TEST(CliInputs, AnInputThatCanBeReadOnlyOnceIsNamedOnce) {
  RunFiles files;
  ASSERT_EQ(::mkfifo((files.dir / "ff").c_str(), 0600), 0);
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"convert - --exclude - < l.txt", "standard input (-) can be only one of the inputs: the list and --exclude"},
      {"map - -o x.svg --polygon - < l.txt", "standard input (-) can be only one of the inputs: the input and --polygon"},
      {"dump - --exclude - < DB_141114.dbh", "standard input (-) can be only one of the inputs"},
      {"convert ff ff", "the list ff and the list ff are the same pipe or device, which can be read only once"},
      {"convert l.txt --exclude ff ./ff", "the list ./ff and --exclude ff are the same pipe or device"},
  };
  const std::vector<std::string> entries = files.sample.dir.entries();
  for (const auto& c : cases) {
    // The deadline only fails a run that would otherwise hang on the pipe.
    const CliRun run = test::runShell(files.dir, "timeout 60 " + test::quote(test::cliPath()) + " " + c.args);
    EXPECT_EQ(run.exitCode, 2) << c.args;
    EXPECT_TRUE(contains(run.err, c.message)) << c.args << ": " << run.err;
    EXPECT_EQ(files.sample.dir.entries(), entries) << c.args;
  }
}

// Options that take a file take one a use; "--" ends the options, and "-"
// after it is standard input.
TEST(CliInputs, ListsAfterAnOptionsFileAndAfterTheMarkAreConverted) {
  RunFiles files;
  test::writeText(files.dir / "b.txt", kHeader + "1,9.1234,48.1234,1,80,1,90\n");
  const std::string both = kHeader + "1,13.3366,52.5236,2,60,2,30\n" + "2,9.1234,48.1234,1,80,1,90\n";
  test::writeText(files.dir / "both.txt", both);
  fs::create_directory(files.dir / "want");
  ASSERT_EQ(tabrino(files.dir / "want", "convert ../both.txt -q --date 2014-11-14 --seed 1").exitCode, 0);
  const auto wanted = test::readBytes(files.dir / "want" / "DB_141114.dbh");
  const struct {
    std::string args;
    std::string input;  // standard input, when a list comes from there
  } cases[] = {
      {"l.txt --exclude l.txt a.txt b.txt", ""},
      {"--exclude l.txt l.txt --exclude ./l.txt a.txt b.txt", ""},
      {"l.txt a.txt --exclude l.txt -- b.txt", ""},
      {"l.txt a.txt --exclude l.txt -- -", "b.txt"},
      {"--exclude - l.txt a.txt b.txt", "l.txt"},
  };
  for (const auto& c : cases) {
    fs::create_directory(files.dir / "out");
    const std::string redirect = c.input.empty() ? "" : " < " + c.input;
    const CliRun run = tabrino(files.dir, "convert -q --date 2014-11-14 --seed 1 -o out " + c.args + redirect);
    EXPECT_EQ(run.exitCode, 0) << c.args << ": " << run.err;
    EXPECT_EQ(test::readBytes(files.dir / "out" / "DB_141114.dbh"), wanted) << c.args;
    fs::remove_all(files.dir / "out");
  }
}

// A region or an ignore list from standard input or a pipe is read once,
// as a file is: the same database as from the file.
TEST(CliInputs, ARegionAndAnIgnoreListComeThroughPipes) {
  RunFiles files;
  fs::create_directory(files.dir / "want");
  ASSERT_EQ(tabrino(files.dir, "convert l.txt -q --date 2014-11-14 --seed 1 -o want --polygon r.poly --exclude a.txt")
                .exitCode, 0);
  const auto wanted = test::readBytes(files.dir / "want" / "DB_141114.dbh");
  for (const std::string filters : {"--polygon - --exclude a.txt < r.poly", "--polygon r.poly --exclude - < a.txt",
                                    "--polygon <(cat r.poly) --exclude <(cat a.txt)"}) {
    fs::create_directory(files.dir / "out");
    const std::string command = test::quote(test::cliPath()) +
                                " convert l.txt -q --date 2014-11-14 --seed 1 -o out " + filters;
    const CliRun run = test::runShell(files.dir, "bash -c " + test::quote(command));
    EXPECT_EQ(run.exitCode, 0) << filters << ": " << run.err;
    EXPECT_EQ(test::readBytes(files.dir / "out" / "DB_141114.dbh"), wanted) << filters;
    fs::remove_all(files.dir / "out");
  }
}

// A large list is read in parts on two threads where there are two cores,
// in one piece where there is one: the same database either way, whatever
// this machine has.
TEST(CliInputs, ALargeListGivesOneDatabaseOnOneCoreOrTwo) {
  test::TempDir dir;
  std::string rows = kHeader;
  for (int i = 0; rows.size() < (std::size_t{6} << 20); ++i) {
    rows += std::to_string(i) + "," + std::to_string(i % 360 - 180) + "." + std::to_string(i % 9973) + "," +
            std::to_string(i % 180 - 90) + "." + std::to_string(i % 7919) + ",1," + std::to_string(i % 130) +
            ",0,0\n";
  }
  test::writeText(dir / "big.txt", rows);
  std::vector<std::vector<std::uint8_t>> databases;
  for (const char* threads : {"1", "2"}) {
    fs::create_directory(dir / threads);
    const CliRun run = tabrino(dir / threads, "convert ../big.txt -q --date 2014-11-14 --seed 1",
                               std::string("TABRINO_THREADS=") + threads);
    EXPECT_EQ(run.exitCode, 0) << threads << ": " << run.err;
    databases.push_back(test::readBytes(dir / threads / "DB_141114.dbh"));
  }
  EXPECT_EQ(databases[0], databases[1]);
  EXPECT_GT(databases[0].size(), std::size_t{2} << 20);
}

// What a bad ignore list or limit says: one prefix, a usage error for a
// limit below zero.
TEST(CliInputs, MistakesInTheFiltersAreSaidOnce) {
  RunFiles files;
  CliRun run = tabrino(files.dir, "convert l.txt --exclude nosuch.txt");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "tabrino convert: Error[5009] : --exclude nosuch.txt: No such file or directory\n");
  run = tabrino(files.dir, "convert l.txt --max-records -1");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(contains(run.err, "--max-records: expected a whole number from 0, got \"-1\"")) << run.err;
}

// Filters that keep nothing write no empty database over the day's file.
TEST(CliInputs, FiltersThatLeaveNoCameraWriteNothing) {
  RunFiles files;
  const auto database = test::readBytes(files.dir / "DB_141114.dbh");
  for (const std::string filter : {"--bbox 100,0,101,1", "--types 9", "--polygon r.poly --bbox 0,0,1,1"}) {
    const CliRun run = tabrino(files.dir, "convert l.txt --date 2014-11-14 " + filter);
    EXPECT_EQ(run.exitCode, 1) << filter;
    EXPECT_TRUE(contains(run.err, "tabrino convert: the filters left no camera: nothing written\n")) << run.err;
    EXPECT_EQ(test::readBytes(files.dir / "DB_141114.dbh"), database) << filter;
  }
  // A list with no camera in range is no filter's doing: it converts as ever.
  test::writeText(files.dir / "far.txt", kHeader + "1,500,500,1,50,0,0\n");
  EXPECT_EQ(tabrino(files.dir, "convert far.txt -q --date 2014-11-14 --types 1").exitCode, 0);
}

// A file its owner marked read-only stays unless the user insists, which
// keeps its permissions.
TEST(CliInputs, AReadOnlyOutputIsReplacedOnlyWithForce) {
  RunFiles files;
  test::writeText(files.dir / "r.csv", "kept\n");
  test::writeText(files.dir / "out.txt", "kept\n");
  fs::permissions(files.dir / "DB_141114.dbh", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(files.dir / "r.csv", fs::perms::owner_read);
  fs::permissions(files.dir / "out.txt", fs::perms::owner_read);
  const auto database = test::readBytes(files.dir / "DB_141114.dbh");
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"convert l.txt --date 2014-11-14 --seed 9", "./DB_141114.dbh is read-only; not replaced (--force replaces it)"},
      {"convert l.txt -o fresh --date 2014-11-14 --report r.csv", "r.csv is read-only; not replaced"},
      {"dump DB_141114.dbh -o out.txt", "out.txt is read-only; not replaced"},
      {"map l.txt -o x.svg --report r.csv", "r.csv is read-only; not replaced"},
  };
  fs::create_directory(files.dir / "fresh");
  for (const auto& c : cases) {
    const CliRun run = tabrino(files.dir, c.args);
    EXPECT_EQ(run.exitCode, 1) << c.args;
    EXPECT_TRUE(contains(run.err, c.message)) << c.args << ": " << run.err;
    EXPECT_EQ(test::readBytes(files.dir / "DB_141114.dbh"), database) << c.args;
    EXPECT_EQ(test::readText(files.dir / "r.csv"), "kept\n") << c.args;
    EXPECT_EQ(test::readText(files.dir / "out.txt"), "kept\n") << c.args;
  }
  EXPECT_FALSE(fs::exists(files.dir / "fresh" / "DB_141114.dbh"));
  EXPECT_FALSE(fs::exists(files.dir / "x.svg"));

  ASSERT_EQ(tabrino(files.dir, "convert l.txt -q --date 2014-11-14 --seed 9 --force").exitCode, 0);
  EXPECT_NE(test::readBytes(files.dir / "DB_141114.dbh"), database);
  EXPECT_EQ(fs::status(files.dir / "DB_141114.dbh").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ASSERT_EQ(tabrino(files.dir, "dump DB_141114.dbh -o out.txt --force").exitCode, 0);
  EXPECT_EQ(test::readText(files.dir / "out.txt"), tabrino(files.dir, "dump DB_141114.dbh").out);
}

// In a sticky folder anyone may write to, a link another user made is not
// followed to replace what it points at; the caller's own link is.
TEST(CliInputs, ALinkAnotherUserMadeInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "making a link owned by another user needs root";
  RunFiles files;
  const fs::path shared = files.dir / "shared";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  test::writeText(files.dir / "victim", "victim\n");
  fs::create_symlink(files.dir / "victim", shared / "DB_141114.dbh");
  fs::create_symlink(files.dir / "victim", shared / "r.csv");
  constexpr uid_t kSomeoneElse = 65534;
  ASSERT_EQ(::lchown((shared / "DB_141114.dbh").c_str(), kSomeoneElse, kSomeoneElse), 0);
  ASSERT_EQ(::lchown((shared / "r.csv").c_str(), kSomeoneElse, kSomeoneElse), 0);
  for (const std::string args : {"convert l.txt --date 2014-11-14 -o shared", "convert l.txt -o . --date 2014-11-14 "
                                                                              "--report shared/r.csv"}) {
    const CliRun run = tabrino(files.dir, args);
    EXPECT_EQ(run.exitCode, 2) << args;
    EXPECT_TRUE(contains(run.err, "is a link another user made in a shared folder")) << args << ": " << run.err;
    EXPECT_EQ(test::readText(files.dir / "victim"), "victim\n") << args;
  }
  // The caller's own link there is followed, as anywhere.
  ASSERT_EQ(::lchown((shared / "DB_141114.dbh").c_str(), 0, 0), 0);
  EXPECT_EQ(tabrino(files.dir, "convert l.txt -q --date 2014-11-14 -o shared").exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(shared / "DB_141114.dbh"));
  EXPECT_EQ(test::readBytes(files.dir / "victim").size(), test::readBytes(files.dir / "DB_141114.dbh").size());
}

// A reader that stops early fails the run with the usual words, and no
// database appears: the report goes first, and it did not get through.
TEST(CliInputs, AReportReaderThatStopsEarlyFailsTheRun) {
  RunFiles files;
  std::string rows = kHeader;
  for (int i = 0; i < 20000; ++i) rows += std::to_string(i) + ",13." + std::to_string(100000 + i) + ",52.5,1,50,0,0\n";
  test::writeText(files.dir / "many.txt", rows);
  fs::create_directory(files.dir / "out");
  const std::string pipeline = test::quote(test::cliPath()) +
                               " convert many.txt many.txt -o out --date 2014-11-14 --report - | head -1; "
                               "exit ${PIPESTATUS[0]}";
  const CliRun run = test::runShell(files.dir, "bash -c " + test::quote(pipeline));
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.out, "file,line,kind,detail\n");
  EXPECT_TRUE(contains(run.err, "tabrino convert: could not write to standard output: Broken pipe")) << run.err;
  EXPECT_FALSE(fs::exists(files.dir / "out" / "DB_141114.dbh"));
}

}  // namespace
}  // namespace tabrino
