#include "core/list_findings.h"

#include "core/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kList =
    "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"  // line 1
    "1,37.5,55.75,1,60,1,90\n"                // 2: fine
    "junk\n"                                  // 3
    "\r\n"                                    // 4: blank, harmless
    "2,200,10,1,60,1,90\n"                    // 5
    "3,30.25,-12.5,2,90km/h,0\n"              // 6
    "4,1,2,3,4,5,6,7,8\n"                     // 7
    "5, 13.5 ,x52,fixed,60,1,\t\r\n"          // 8
    " ";                                      // 9: no line feed

std::vector<std::string> describe(const ListFindings& findings) {
  std::vector<std::string> lines;
  for (const ListFinding& f : findings.all()) {
    lines.push_back(std::to_string(f.lineNumber) + " " + findingKindName(f.kind) + " " + f.detail);
  }
  return lines;
}

TEST(ListFindings, SaysWhatDidNotBecomeACameraAsMeantLineByLine) {
  ListFindings findings;
  CameraTable table;
  ASSERT_TRUE(importCameraListText(kList, table, &findings).loaded());
  findings.checkRows(table);
  EXPECT_EQ(describe(findings), (std::vector<std::string>{
                                    "3 no-comma \"junk\"",
                                    "5 out-of-range X \"200\", Y \"10\"",
                                    "6 field-count 6 fields, not 7",
                                    "6 number-prefix SPEED \"90km/h\" reads as 90",
                                    "6 not-a-number DIRECTION \"\" reads as 0",
                                    "7 field-count 9 fields, not 7",
                                    "8 number-prefix X \" 13.5 \" reads as 13.5",
                                    "8 not-a-number Y \"x52\" reads as 0",
                                    "8 not-a-number TYPE \"fixed\" reads as 0",
                                    "8 not-a-number DIRECTION \"\\x09\" reads as 0",
                                    "9 no-comma \" \"",
                                }));
  EXPECT_EQ(findings.count(FindingKind::NotANumber), 4u);
  EXPECT_EQ(findings.count(FindingKind::OutOfRange), 1u);
}

// Watching the import must not change what it reads.
TEST(ListFindings, ObservingTheImportLeavesTheTableAsItWas) {
  struct ProgressSeen : ListFindings {
    std::uint64_t done = 0, total = 0;
    void bytesRead(std::uint64_t d, std::uint64_t t) override { done = d, total = t; }
  };
  std::vector<fs::path> lists = test::realLists();
  test::TempDir dir;
  test::writeText(dir / "odd.txt", kList + "\n6,1\0" "2,3\n,,,\n"s);
  lists.push_back(dir / "odd.txt");
  for (const fs::path& list : lists) {
    CameraTable plain, observed;
    ProgressSeen observer;
    const ImportResult a = importCameraList(list, plain);
    const ImportResult b = importCameraList(list, observed, &observer);
    EXPECT_EQ(a.outcome, b.outcome) << list;
    ASSERT_EQ(plain.size(), observed.size()) << list;
    for (std::size_t row = 0; row < plain.size(); ++row) {
      ASSERT_EQ(plain.rowCells(row), observed.rowCells(row)) << list << " row " << row;
      ASSERT_EQ(plain.tag(row), observed.tag(row)) << list << " row " << row;
    }
    EXPECT_EQ(observer.done, fs::file_size(list));
    EXPECT_EQ(observer.total, fs::file_size(list));
  }
}

TEST(ListFindings, TheReportIsCsvWithEveryFinding) {
  ListFindings findings;
  CameraTable table;
  importCameraListText(kList, table, &findings);
  findings.checkRows(table);
  test::TempDir dir;
  writeFindingsReport(findings.all(), dir / "report.csv");
  const std::string report = test::readText(dir / "report.csv");
  EXPECT_EQ(report.substr(0, report.find('\n', report.find('\n') + 1) + 1),
            "line,kind,detail\n3,no-comma,\"\"\"junk\"\"\"\n");
  EXPECT_NE(report.find("\n5,out-of-range,\"X \"\"200\"\", Y \"\"10\"\"\"\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\n6,field-count,\"6 fields, not 7\"\n"), std::string::npos) << report;
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 12);

  EXPECT_THROW(writeFindingsReport(findings.all(), dir / "no such folder" / "report.csv"), FileOpenError);
}

}  // namespace
}  // namespace tabrino
