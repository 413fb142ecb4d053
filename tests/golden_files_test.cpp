// Reference databases and reports, made once at a fixed date and seed and
// committed: every byte a conversion writes is compared with them, so that no
// rewrite of the reading, sorting or writing can change a file unnoticed.
#include "core/convert/conversion_run.h"
#include "core/list/list_findings.h"
#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tabrino {
namespace {

namespace fs = std::filesystem;

constexpr DbDate kDate{2014, 11, 14};
constexpr std::uint32_t kSeed = 7;

TEST(GoldenFiles, ConversionsGiveTheReferenceBytes) {
  const fs::path golden = TABRINO_GOLDEN_DIR;
  int lists = 0;
  for (const auto& entry : fs::directory_iterator(golden)) {
    if (entry.path().extension() != ".txt") continue;
    ++lists;
    const fs::path list = entry.path();
    const std::string name = list.stem().string();
    test::TempDir dir;
    {
      CameraTable table;
      FindingReport report(dir / "report.csv");
      ImportOptions options;
      options.findings = &report;
      ASSERT_TRUE(importCameraList(list, table, options).loaded()) << name;
      report.commit();
      runConversion(table, {dir.path(), kDate, drawRandomBlock(kSeed)});
    }
    EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), test::readBytes(golden / (name + ".dbh"))) << name;
    const fs::path expectedReport = golden / (name + "-report.csv");
    if (fs::exists(expectedReport)) {
      EXPECT_EQ(test::readText(dir / "report.csv"), test::readText(expectedReport)) << name;
    }

    // The dialog keeps the list's text; its conversion writes the same bytes.
    CameraTable withText;
    ImportOptions keepText;
    keepText.keepText = true;
    ASSERT_TRUE(importCameraList(list, withText, keepText).loaded()) << name;
    runConversion(withText, {dir.path(), kDate, drawRandomBlock(kSeed)});
    EXPECT_EQ(test::readBytes(dir / "DB_141114.dbh"), test::readBytes(golden / (name + ".dbh"))) << name;
  }
  EXPECT_GE(lists, 5);
}

}  // namespace
}  // namespace tabrino
