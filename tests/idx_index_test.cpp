#include "ui/idx_index.h"

#include "core/list/text_import.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace tabrino {
namespace {

// A table of rows with these IDX (apart by spaces), its list held in memory
// or, where `folder` is given, read from a file there as the dialog reads it.
CameraTable tableOf(const std::string& idxs, const std::filesystem::path& folder = {}) {
  CameraTable table;
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  std::size_t at = 0;
  while (at < idxs.size()) {
    const std::size_t end = idxs.find(' ', at);
    list += idxs.substr(at, end - at) + ",10.5,50.5,1,60,1,90\n";
    at = end == std::string::npos ? idxs.size() : end + 1;
  }
  if (folder.empty()) {
    EXPECT_TRUE(importCameraListText(list, table).loaded());
  } else {
    test::writeText(folder / "list.txt", list);
    ImportOptions options;
    options.keepText = true;
    EXPECT_TRUE(importCameraList(folder / "list.txt", table, options).loaded());
    EXPECT_LT(table.text().heldBytes(), list.size());
  }
  return table;
}

void expectFindsWhatAWalkFinds(const CameraTable& table, std::size_t startStep);

// Thousands of IDX of the kinds lists hold, in an order of their own: far
// more than are sorted by comparison alone.
std::string manyIdx() {
  std::string idxs;
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string((i * 7919) % 3001);
    switch (i % 5) {
      case 0: idxs += n; break;                                   // numbers of any length
      case 1: idxs += (i % 2 ? "CAM-000" : "cam-000") + n; break;  // one long prefix, either case
      case 2: idxs += "cam-000" + n + "x"; break;
      case 3: idxs += std::to_string(i % 7); break;               // many alike
      default: idxs += "\xC3\xA9" + n; break;
    }
    idxs += ' ';
  }
  idxs.pop_back();
  return idxs;
}

// Every search checked against a walk over the rows, as the list view's own
// search would make it: short and long prefixes, whole texts, case, wrapping;
// of a list held in memory and of one read again from its file.
TEST(IdxIndex, FindsWhatAWalkOverTheRowsFinds) {
  test::TempDir dir;
  for (const bool onDisk : {false, true}) {
    SCOPED_TRACE(onDisk ? "a list on disk" : "a list in memory");
    const std::filesystem::path folder = onDisk ? dir.path() : std::filesystem::path();
    expectFindsWhatAWalkFinds(
        tableOf("12 3 120 Cam-0000001 cam-0000002 CAM-0000001x 1 12345678 123456789 1234567 b\xC3\xA9 B\xC3\x89 12 camera",
                folder),
        1);
    expectFindsWhatAWalkFinds(tableOf(manyIdx(), folder), 211);
  }
}

void expectFindsWhatAWalkFinds(const CameraTable& table, std::size_t startStep) {
  IdxIndex index;
  index.build(table);
  ASSERT_EQ(index.size(), table.size());
  auto walk = [&](const std::string& prefix, std::size_t start, bool wrap, bool whole) -> std::optional<std::size_t> {
    auto matches = [&](std::size_t row) {
      std::string idx = table.cell(row, Column::Idx);
      if (idx.size() < prefix.size() || (whole && idx.size() != prefix.size())) return false;
      for (std::size_t i = 0; i < prefix.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(idx[i]) != lower(prefix[i])) return false;
      }
      return true;
    };
    for (std::size_t row = start; row < table.size(); ++row) {
      if (matches(row)) return row;
    }
    for (std::size_t row = 0; wrap && row < start && row < table.size(); ++row) {
      if (matches(row)) return row;
    }
    return std::nullopt;
  };
  const std::string prefixes[] = {"1",           "12",           "123",    "1234567",    "12345678",   "123456789",
                                  "1234567890",  "cam",          "CAM-000000", "cam-0000001", "cam-0000001X", "camera",
                                  "b\xC3\xA9", "3",            "4",      "c",          "cam-0002999x", "\xC3\xA9" "1",
                                  "cAm-00029"};
  for (const std::string& prefix : prefixes) {
    for (std::size_t start = 0; start <= table.size(); start += startStep) {
      for (bool wrap : {false, true}) {
        for (bool whole : {false, true}) {
          EXPECT_EQ(index.find(table, prefix, start, wrap, whole), walk(prefix, start, wrap, whole))
              << prefix << " from " << start << (wrap ? " wrapping" : "") << (whole ? " whole" : "");
        }
      }
    }
  }
  EXPECT_EQ(index.find(table, "", 0, true, false), std::nullopt);
}

// A table large enough that its index is sorted on two threads: every IDX
// (each one only once) is found at its own row.
TEST(IdxIndex, FindsEachRowOfALargeTableByItsIdx) {
  std::string idxs;
  constexpr std::uint32_t kRows = 100000;
  for (std::uint32_t i = 0; i < kRows; ++i) {
    const std::uint32_t n = (i * 40503u) % kRows;  // every number once, in an order of their own
    idxs += (n % 3 == 0 ? "DE-" : n % 3 == 1 ? "de-" : "") + std::to_string(n) + ' ';
  }
  idxs.pop_back();
  const CameraTable table = tableOf(idxs);
  IdxIndex index;
  index.build(table);
  std::mt19937 random(11);
  for (int probe = 0; probe < 2000; ++probe) {
    const std::size_t row = random() % kRows;
    const std::string idx = table.cell(row, Column::Idx);
    ASSERT_EQ(index.find(table, idx, 0, false, true), std::optional<std::size_t>(row)) << idx;
    ASSERT_EQ(index.find(table, idx, row, false, false), std::optional<std::size_t>(row)) << idx;
  }
}

TEST(IdxIndex, FollowsTheTablesOrder) {
  CameraTable table;
  ASSERT_TRUE(importCameraListText("IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"
                                   "north,10,60,1,60,1,90\nsouth,10,40,1,60,1,90\n",
                                   table)
                  .loaded());
  IdxIndex index;
  index.build(table);
  EXPECT_EQ(index.find(table, "s", 0, true, false), std::optional<std::size_t>(1));
  table.sortByLatitude();
  index.followOrder(table);
  EXPECT_EQ(index.find(table, "s", 0, true, false), std::optional<std::size_t>(0));
  EXPECT_EQ(index.find(table, "north", 0, false, true), std::optional<std::size_t>(1));
  IdxIndex built;
  built.build(table);  // of a table already sorted
  EXPECT_EQ(built.find(table, "n", 0, true, false), std::optional<std::size_t>(1));
  table.restoreFileOrder();
  index.followOrder(table);
  EXPECT_EQ(index.find(table, "s", 0, true, false), std::optional<std::size_t>(1));
  index.clear();
  EXPECT_EQ(index.find(table, "s", 0, true, false), std::nullopt);
}

}  // namespace
}  // namespace tabrino
