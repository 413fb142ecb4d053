#include "core/compare/list_diff.h"

#include "core/platform/byte_source.h"
#include "core/convert/conversion_run.h"
#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabrino {
namespace {

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";

CameraDiff diffOf(const test::TempDir& dir, const std::string& before, const std::string& after,
                  std::vector<std::string>* lines = nullptr) {
  test::writeText(dir / "old.txt", kHeader + before);
  test::writeText(dir / "new.txt", kHeader + after);
  CameraSet a, b;
  EXPECT_TRUE(a.loadList(dir / "old.txt").loaded());
  EXPECT_TRUE(b.loadList(dir / "new.txt").loaded());
  const CameraDiff diff = diffCameras(a, b);
  if (lines) {
    for (const CameraDifference& d : diff.differences) lines->push_back(diffReportLine(a, b, d));
  }
  return diff;
}

TEST(ListDiff, MatchesCamerasByPlaceAndDirection) {
  const std::string a = "1,13.5,52.5,1,60,1,90\n", b = "2,10.25,50.5,2,50,0,0\n", c = "3,9.5,48.25,1,30,2,180\n";
  const struct {
    const char* name;
    std::string before, after;
    std::uint64_t added, removed, changed, unchanged;
  } cases[] = {
      {"the same list", a + b + c, a + b + c, 0, 0, 0, 3},
      {"lines in another order", a + b + c, c + a + b, 0, 0, 0, 3},
      {"other IDX", a, "99,13.5,52.5,1,60,1,90\n", 0, 0, 0, 1},
      {"other speed", a + b, "1,13.5,52.5,1,50,1,90\n" + b, 0, 0, 1, 1},
      {"other type", a, "1,13.5,52.5,3,60,1,90\n", 0, 0, 1, 0},
      {"other direction code is another camera", a, "1,13.5,52.5,1,60,1,100\n", 1, 1, 0, 0},
      {"added and removed", a + b, b + c, 1, 1, 0, 1},
      {"rows out of range are no cameras", a + "4,200,10,1,1,1,1\n", a, 0, 0, 0, 1},
      {"three times before, once after", a + a + a, a, 0, 2, 0, 1},
      {"once before, twice after", a, a + a, 1, 0, 0, 1},
      // Rows that agree match first: 60 stays, 50 became 70.
      {"a place twice on both sides", a + "1,13.5,52.5,1,50,1,90\n", "1,13.5,52.5,1,70,1,90\n" + a, 0, 0, 1, 1},
      {"empty before", "", a + b, 2, 0, 0, 0},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const CameraDiff diff = diffOf(dir, c.before, c.after);
    EXPECT_EQ(diff.added, c.added) << c.name;
    EXPECT_EQ(diff.removed, c.removed) << c.name;
    EXPECT_EQ(diff.changed, c.changed) << c.name;
    EXPECT_EQ(diff.unchanged, c.unchanged) << c.name;
    EXPECT_EQ(diff.same(), c.added + c.removed + c.changed == 0) << c.name;
  }
}

TEST(ListDiff, ReportsEachDifferenceWithItsLinesInFileOrder) {
  test::TempDir dir;
  std::vector<std::string> lines;
  diffOf(dir,
         "1,13.5,52.5,1,60,1,90\n"     // 2: speed changes, and moves to line 4
         "2,10.25,50.5,2,50,0,0\n"     // 3: removed
         "3,9.5,48.25,1,30,2,180\n",   // 4: stays, at line 2
         "3,9.5,48.25,1,30,2,180\n"    // 2
         "5,-3.5,40.5,1,0,0,0\n"       // 3: added
         "1,13.5,52.5,5,50,1,90\n"     // 4
         "6,-3.5,-40.5,1,0,0,0\n",     // 5: added
         &lines);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "added,,3,-3.5,40.5,1,0,0,0,,\n",
                       "added,,5,-3.5,-40.5,1,0,0,0,,\n",
                       "removed,3,,10.25,50.5,2,50,0,0,,\n",
                       "changed,2,4,13.5,52.5,5,50,1,90,1,60\n",
                   }));

  // Of rows that agree, the first in the file matches, whatever the order
  // of their latitudes before truncation: the later one is the surplus.
  lines.clear();
  diffOf(dir, "1,13.5,52.50009,1,60,1,90\n2,13.5,52.50001,1,60,1,90\n", "1,13.5,52.5,1,60,1,90\n", &lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"removed,3,,13.5,52.5,1,60,1,90,,\n"}));
}

TEST(ListDiff, AListMatchesTheDatabaseMadeFromIt) {
  test::TempDir dir;
  const std::string rows = "1,13.5,52.5,1,60,1,90\n2,10.25,50.5,2,5,0,0\n3,200,1,1,1,1,1\n4,9.5,48.25,1,30,2,181\n";
  test::writeText(dir / "list.txt", kHeader + rows);
  CameraTable table;
  ASSERT_TRUE(importCameraList(dir / "list.txt", table).loaded());
  runConversion(table, {dir.path(), DbDate{2014, 11, 14}, drawRandomBlock(1)});
  ASSERT_TRUE(startsLikeDatabase(dir / "DB_141114.dbh"));
  ASSERT_FALSE(startsLikeDatabase(dir / "list.txt"));

  CameraSet list, database;
  ASSERT_TRUE(list.loadList(dir / "list.txt").loaded());
  FileSource source(dir / "DB_141114.dbh");
  EXPECT_TRUE(database.loadDatabase(source).sound());
  const CameraDiff diff = diffCameras(list, database);
  EXPECT_TRUE(diff.same());
  EXPECT_EQ(diff.unchanged, 3u);

  // Records are numbered from 1 in latitude order.
  CameraTable changed;
  ASSERT_TRUE(importCameraListText(kHeader + "1,13.5,52.5,1,70,1,90\n", changed).loaded());
  runConversion(changed, {dir.path(), DbDate{2015, 1, 1}, drawRandomBlock(1)});
  CameraSet later;
  FileSource laterSource(dir / "DB_150101.dbh");
  later.loadDatabase(laterSource);
  const CameraDiff second = diffCameras(database, later);
  ASSERT_EQ(second.differences.size(), 3u);
  EXPECT_EQ(diffReportHeader(database, later),
            "change,old record,new record,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION,old TYPE,old SPEED\n");
  EXPECT_EQ(diffReportLine(database, later, second.differences.back()), "changed,3,1,13.5,52.5,1,70,1,90,1,60\n");
}

}  // namespace
}  // namespace tabrino
