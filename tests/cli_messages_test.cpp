// What the command line says when a run fails: each message names its command
// once, and says what was wrong in the user's terms.
#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {
namespace {

using test::CliRun;
using test::contains;
using test::tabrino;

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
const std::string kListHeaderRule = " is not a camera list: its first line must be IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION";

// A folder with a good list, and files that are not camera lists.
struct MessageFolder {
  test::TempDir dir;
  MessageFolder() {
    test::writeText(dir / "good.txt", kHeader + "1,13.3366,52.5236,2,60,2,30\n");
    test::writeText(dir / "noheader.txt", "1,13.3366,52.5236,2,60,2,30\n");
    test::writeText(dir / "empty.txt", "");
    test::writeText(dir / "semicolons.txt", "IDX;X;Y;TYPE;SPEED;DIRTYPE;DIRECTION\n1;13.3;52.5;2;60;2;30\n");
  }
};

TEST(CliNotACameraList, SaysWhatTheFirstLineMustBe) {
  MessageFolder folder;
  const std::string separatorHint =
      "The first line holds semicolons: the list seems to use another separator. Its fields must be separated by "
      "commas.\n";
  const struct {
    std::string args;
    std::string err;
  } cases[] = {
      {"convert noheader.txt", "tabrino convert: noheader.txt" + kListHeaderRule + "\n"},
      {"convert empty.txt", "tabrino convert: empty.txt" + kListHeaderRule + "\n"},
      {"convert semicolons.txt", "tabrino convert: semicolons.txt" + kListHeaderRule + "\n" + separatorHint},
      {"convert good.txt --exclude semicolons.txt",
       "tabrino convert: --exclude semicolons.txt" + kListHeaderRule + "\n" + separatorHint},
      {"map semicolons.txt -o m.svg", "tabrino map: semicolons.txt" + kListHeaderRule + "\n" + separatorHint},
      {"diff good.txt empty.txt", "tabrino diff: empty.txt" + kListHeaderRule + "\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = tabrino(folder.dir.path(), c.args);
    EXPECT_NE(run.exitCode, 0) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
}

// Every failure a command reports begins with "tabrino COMMAND: ", once.
TEST(CliMessages, EveryErrorNamesItsCommandOnce) {
  MessageFolder folder;
  test::writeText(folder.dir / "a-file", "");
  const struct {
    std::string command;
    std::string args;
  } cases[] = {
      {"convert", "missing.txt"},
      {"convert", "noheader.txt"},
      {"convert", "semicolons.txt"},
      {"convert", "good.txt --date 14.11.2014"},
      {"convert", "good.txt --seed many"},
      {"convert", "good.txt --bbox 1,2"},
      {"convert", "good.txt --types x"},
      {"convert", "good.txt --speed 9-1"},
      {"convert", "good.txt --near -3"},
      {"convert", "good.txt --max-records none"},
      {"convert", "good.txt --osm-direction sideways"},
      {"convert", "good.txt --polygon missing.poly"},
      {"convert", "good.txt --exclude missing.txt"},
      {"convert", "good.txt --exclude semicolons.txt"},
      {"convert", "good.txt -o a-file"},
      {"convert", "good.txt -o out.dbh"},
      {"convert", "good.txt -o nowhere"},
      {"convert", "good.txt --report nowhere/r.csv"},
      {"convert", "good.txt --unknown"},
      {"convert", ""},
      {"inspect", "missing.dbh"},
      {"inspect", "."},
      {"inspect", ""},
      {"dump", "missing.dbh"},
      {"dump", "good.txt"},
      {"dump", "missing.dbh --format kml"},
      {"dump", "missing.dbh --bbox 1,2,3"},
      {"map", "missing.txt"},
      {"map", "noheader.txt -o m.svg"},
      {"map", "good.txt --format pdf"},
      {"map", "good.txt --exclude empty.txt -o m.svg"},
      {"map", "good.txt -o nowhere/m.svg"},
      {"diff", "missing.txt good.txt"},
      {"diff", "good.txt semicolons.txt"},
      {"diff", "good.txt"},
      {"diff", "good.txt good.txt --report nowhere/r.csv"},
      {"from-osm", "missing.osm"},
      {"from-osm", "missing.osm --osm-direction sideways"},
      {"from-osm", "missing.osm -o nowhere/out.txt"},
      {"from-osm", ""},
  };
  for (const auto& c : cases) {
    const std::string args = c.command + (c.args.empty() ? "" : " " + c.args);
    const CliRun run = tabrino(folder.dir.path(), args);
    const std::string prefix = "tabrino " + c.command + ": ";
    EXPECT_NE(run.exitCode, 0) << args;
    EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << args << "\n" << run.err;
    EXPECT_EQ(run.err.find(prefix, 1), std::string::npos) << args << "\n" << run.err;
  }
}

}  // namespace
}  // namespace tabrino
