#include "core/list/list_findings.h"

#include "core/base/errors.h"
#include "core/list/text_import.h"
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

std::vector<std::string> describe(const std::vector<ListFinding>& findings) {
  std::vector<std::string> lines;
  for (const ListFinding& f : findings) {
    lines.push_back(std::to_string(f.lineNumber) + " " + findingKindName(f.kind) + " " + f.detail);
  }
  return lines;
}

std::vector<ListFinding> findingsOf(const std::string& list) {
  FindingList findings;
  CameraTable table;
  ImportOptions options;
  options.findings = &findings;
  EXPECT_TRUE(importCameraListText(list, table, options).loaded());
  return findings.all();
}

TEST(ListFindings, SaysWhatDidNotBecomeACameraAsMeantLineByLine) {
  FindingSummary summary;
  FindingList all;
  FindingFanOut findings({&summary, &all});
  CameraTable table;
  ImportOptions options;
  options.findings = &findings;
  ASSERT_TRUE(importCameraListText(kList, table, options).loaded());
  EXPECT_EQ(describe(all.all()), (std::vector<std::string>{
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
  EXPECT_EQ(summary.count(FindingKind::NotANumber), 4u);
  EXPECT_EQ(summary.count(FindingKind::OutOfRange), 1u);
  EXPECT_EQ(summary.total(), 11u);
  // The summary keeps the first few of each kind, however many there are.
  EXPECT_EQ(describe(summary.examples(FindingKind::NotANumber)),
            (std::vector<std::string>{"6 not-a-number DIRECTION \"\" reads as 0", "8 not-a-number Y \"x52\" reads as 0",
                                      "8 not-a-number TYPE \"fixed\" reads as 0"}));
}

// Findings are the same whether the list is read on one thread or two, and
// a list of nothing but bad lines costs only what the sink keeps.
TEST(ListFindings, AreGivenInLineOrderFromEveryPartOfALargeList) {
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  std::vector<std::string> expected;
  for (int i = 0; i < 60000; ++i) {
    const int line = i + 2;
    if (i % 1000 == 7) {
      list += "bad line\n";
      expected.push_back(std::to_string(line) + " no-comma \"bad line\"");
    } else if (i % 1000 == 500) {
      list += std::to_string(i) + ",1,2,3,4,5,6,7\n";
      expected.push_back(std::to_string(line) + " field-count 8 fields, not 7");
    } else {
      list += std::to_string(i) + ",13.5,52.5,1,50,0,0\n";
    }
  }
  EXPECT_EQ(describe(findingsOf(list)), expected);

  std::string bad = "IDX,X,Y\n";
  for (int i = 0; i < 200000; ++i) bad += "x\n";
  FindingSummary summary;
  CameraTable table;
  ImportOptions options;
  options.findings = &summary;
  ASSERT_TRUE(importCameraListText(bad, table, options).loaded());
  EXPECT_EQ(summary.count(FindingKind::NoComma), 200000u);
  EXPECT_EQ(summary.examples(FindingKind::NoComma).back().lineNumber, 4u);
}

// Watching the import must not change what it reads.
// A cell shown cut short loses a character whole, never half of one.
TEST(ListFindings, LongCellsAreCutBetweenCharacters) {
  std::string cell = "x";
  for (int i = 0; i < 30; ++i) cell += "\xC3\xA9";
  const std::vector<ListFinding> found =
      findingsOf("IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,13.5,52.5,1,60,1," + cell + "\n");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].detail, "DIRECTION \"" + cell.substr(0, 39) + "...\" reads as 0");
}

TEST(ListFindings, ObservingTheImportLeavesTheTableAsItWas) {
  std::vector<fs::path> lists = test::realLists();
  test::TempDir dir;
  test::writeText(dir / "odd.txt", kList + "\n6,1\0" "2,3\n,,,\n"s);
  lists.push_back(dir / "odd.txt");
  for (const fs::path& list : lists) {
    CameraTable plain, observed;
    FindingList findings;
    std::uint64_t done = 0, total = 0;
    ImportOptions options;
    options.findings = &findings;
    options.progress = [&](std::uint64_t d, std::uint64_t t) { done = d, total = t; };
    const ImportResult a = importCameraList(list, plain);
    const ImportResult b = importCameraList(list, observed, options);
    EXPECT_EQ(a.outcome, b.outcome) << list;
    ASSERT_EQ(plain.size(), observed.size()) << list;
    for (std::size_t row = 0; row < plain.size(); ++row) {
      ASSERT_EQ(plain.record(row), observed.record(row)) << list << " row " << row;
      ASSERT_EQ(plain.tag(row), observed.tag(row)) << list << " row " << row;
    }
    EXPECT_EQ(done, fs::file_size(list));
    EXPECT_EQ(total, fs::file_size(list));
  }
}

TEST(ListFindings, TheReportIsCsvWithEveryFinding) {
  test::TempDir dir;
  {
    FindingReport report(dir / "report.csv");
    for (const ListFinding& finding : findingsOf(kList)) report.add(finding);
    EXPECT_FALSE(fs::exists(dir / "report.csv"));  // nothing to see until it is complete
    report.commit();
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"report.csv"});
  const std::string report = test::readText(dir / "report.csv");
  EXPECT_EQ(report.substr(0, report.find('\n', report.find('\n') + 1) + 1),
            "line,kind,detail\n3,no-comma,\"\"\"junk\"\"\"\n");
  EXPECT_NE(report.find("\n5,out-of-range,\"X \"\"200\"\", Y \"\"10\"\"\"\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\n6,field-count,\"6 fields, not 7\"\n"), std::string::npos) << report;
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 12);

  EXPECT_THROW(FindingReport(dir / "no such folder" / "report.csv"), FileOpenError);

  // A report never committed leaves an earlier one as it was, and no litter.
  { FindingReport abandoned(dir / "report.csv"); abandoned.add(findingsOf(kList).front()); }
  EXPECT_EQ(test::readText(dir / "report.csv"), report);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"report.csv"});
}

}  // namespace
}  // namespace tabrino
