// Lists read one after another into one table.
#include "core/list/list_sources.h"
#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace tabrino {
namespace {

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";

// Rows enough for the import's second thread, with a bad line now and then.
std::string generatedRows(std::mt19937& random, std::size_t rows) {
  std::uniform_int_distribution<int> lat(-899999, 899999), lon(-1799999, 1799999), pick(0, 99);
  std::string text;
  for (std::size_t i = 0; i < rows; ++i) {
    const int kind = pick(random);
    if (kind == 0) text += "no comma here\n";
    else if (kind == 1) text += std::to_string(i) + ",12x,50.5,1,60,0,0\n";
    else text += std::to_string(i) + "," + std::to_string(lon(random) / 10000.0) + "," +
                 std::to_string(lat(random) / 10000.0) + ",2,50,1,90\n";
  }
  return text;
}

TEST(SeveralLists, ReadAsOneListHoldingAllTheirRows) {
  std::mt19937 random(7);
  const std::vector<std::string> bodies = {generatedRows(random, 9000), generatedRows(random, 3), "",
                                           generatedRows(random, 12000) + "1,2,3"};
  test::TempDir dir;
  std::string whole = kHeader;
  CameraTable table;
  ListSources sources;
  FindingList findings;
  ImportOptions options;
  options.findings = &findings;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const std::string name = "list" + std::to_string(i) + ".txt";
    test::writeText(dir / name, kHeader + bodies[i]);
    whole += bodies[i];
    const ImportResult result = importNextList({name, dir / name}, table, sources, options);
    ASSERT_TRUE(result.loaded());
  }
  CameraTable one;
  FindingList oneFindings;
  ImportOptions oneOptions;
  oneOptions.findings = &oneFindings;
  test::writeText(dir / "whole.txt", whole);
  ASSERT_TRUE(importCameraList(dir / "whole.txt", one, oneOptions).loaded());

  // The same rows; each list's header takes a line the one list has not.
  ASSERT_EQ(table.size(), one.size());
  for (std::size_t i = 0; i < one.size(); ++i) {
    ASSERT_EQ(std::memcmp(&table.row(i), &one.row(i), sizeof(CameraRow)), 0) << i;
    const auto place = sources.place(table.tag(i) + 1);
    ASSERT_NE(place.name, nullptr);
    const std::size_t list = static_cast<std::size_t>(place.name->at(4) - '0');
    ASSERT_EQ(table.tag(i), one.tag(i) + list) << i;  // the headers of the lists before it
  }
  ASSERT_EQ(findings.all().size(), oneFindings.all().size());
  EXPECT_EQ(table.recordCount(), one.recordCount());
  EXPECT_EQ(table.recordXor(), one.recordXor());
  EXPECT_EQ(sources.placeText(findings.all().back().lineNumber),
            "list3.txt line " + std::to_string(12000 + 2));
  EXPECT_EQ(sources.placeText(1), "list0.txt line 1");
  EXPECT_EQ(sources.placeText(9000 + 2), "list1.txt line 1");
}

TEST(SeveralLists, OneListIsNamedByLineAlone) {
  ListSources sources;
  sources.add("a.txt", 5);
  EXPECT_EQ(sources.placeText(4), "line 4");
  EXPECT_EQ(findingsReportHeader(&sources), "line,kind,detail\n");
  sources.add("b, c.txt", 3);
  EXPECT_EQ(findingsReportLine({7, FindingKind::NoComma, "x"}, &sources), "\"b, c.txt\",2,no-comma,x\n");
}

}  // namespace
}  // namespace tabrino
