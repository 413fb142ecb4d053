#include "core/check/swapped_coordinates.h"

#include "core/list/text_import.h"
#include "core/run/table_findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabrino {
namespace {

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
// Four cameras in Madrid, lines 2 to 5.
const std::string kMadrid = "1,-3.7038,40.4168,1,50,0,0\n"
                            "2,-3.6883,40.4530,1,50,0,0\n"
                            "3,-3.7250,40.4400,1,60,0,0\n"
                            "4,-3.6500,40.4000,1,70,0,0\n";

std::vector<std::string> swapsOf(const std::string& rows, bool sorted) {
  CameraTable table;
  EXPECT_TRUE(importCameraListText(kHeader + rows, table).loaded());
  if (sorted) table.sortByLatitude();
  const SwappedCoordinates swapped(table);
  FindingList findings;
  swapped.report(findings);
  EXPECT_EQ(findings.all().size(), swapped.count());
  std::vector<std::string> lines;
  for (const ListFinding& f : findings.all()) {
    lines.push_back(std::to_string(f.lineNumber) + " " + findingKindName(f.kind) + " " + f.detail);
  }
  return lines;
}

TEST(SwappedCoordinates, FindsRowsThatLieAmongTheRestOnlyWithXAndYExchanged) {
  const std::string swappedRow = ": X and Y look swapped, the row lies far from the rest of the list";
  const struct {
    const char* name;
    std::string rows;
    std::vector<std::string> findings;
  } cases[] = {
      {"a swapped row in Madrid", kMadrid + "5,40.4500,-3.7000,1,50,0,0\n6,-3.7100,40.3900,1,50,0,0\n",
       {"6 swapped-coordinates X 40.4500, Y -3.7000" + swappedRow}},
      {"two, first in the list", "1,40.4168,-3.7038,1,50,0,0\n" + kMadrid + "5,40.40,-3.65,1,50,0,0\n",
       {"2 swapped-coordinates X 40.4168, Y -3.7038" + swappedRow,
        "7 swapped-coordinates X 40.4000, Y -3.6500" + swappedRow}},
      {"a clean list", kMadrid + "5,-3.7100,40.3900,1,50,0,0\n", {}},
      // Far from the rest, but no nearer swapped: a slip of another kind.
      {"far, not swapped", kMadrid + "5,2.35,48.85,1,50,0,0\n", {}},
      // X beyond 90 cannot be a latitude.
      {"far, swap out of bounds", kMadrid + "5,120.5,40.41,1,50,0,0\n", {}},
      // Too few rows to tell a bulk from a slip.
      {"too few rows", "1,-3.7038,40.4168,1,50,0,0\n2,-3.6883,40.4530,1,50,0,0\n"
                       "3,-3.7250,40.4400,1,60,0,0\n4,40.4500,-3.7000,1,50,0,0\n",
       {}},
      // A list over a wide region has a bulk a swap does not leave.
      {"a wide list", "1,-3.70,40.41,1,50,0,0\n2,13.40,52.52,1,50,0,0\n3,-74.0,40.7,1,50,0,0\n"
                      "4,139.7,35.7,1,50,0,0\n5,151.2,-33.9,1,50,0,0\n6,40.45,-3.70,1,50,0,0\n",
       {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(swapsOf(c.rows, false), c.findings) << c.name;
    // Sorted by latitude, as a conversion has it: still in line order.
    EXPECT_EQ(swapsOf(c.rows, true), c.findings) << c.name << ", sorted";
  }
}

// The dialog gathers a loaded list's findings apart from a conversion: the
// swaps come in line order among the import's findings and the duplicates.
TEST(SwappedCoordinates, AreAmongEveryFindingOfATableInLineOrder) {
  const std::string rows = kMadrid +                     // lines 2-5
                           "5,40.4500,-3.7000,1,50,0,0\n"  // 6: swapped
                           "6,-3.7038,40.4168,1,50,0,0\n"  // 7: repeats line 2
                           "7,-3.70x,40.41,1,50,0,0\n"     // 8: number with more after it
                           "8,40.4400,-3.7250,1,60,0,0\n";  // 9: swapped
  CameraTable table;
  FindingList imported;
  ImportOptions options;
  options.findings = &imported;
  ASSERT_TRUE(importCameraListText(kHeader + rows, table, options).loaded());
  ListSources sources;
  sources.add("madrid.txt", 10);
  FindingList every;
  findEveryFinding(table, sources, [&](FindingSink& sink) { for (const ListFinding& f : imported.all()) sink.add(f); },
                   nullptr, nullptr, every);
  std::vector<std::string> seen;
  for (const ListFinding& f : every.all()) seen.push_back(std::to_string(f.lineNumber) + " " + findingKindName(f.kind));
  EXPECT_EQ(seen, (std::vector<std::string>{"6 swapped-coordinates", "7 duplicate", "8 number-prefix",
                                            "9 swapped-coordinates"}));
  FindingList summary;
  findTableFindings(table, sources, summary);
  EXPECT_EQ(summary.all().size(), 3u);
}

}  // namespace
}  // namespace tabrino
