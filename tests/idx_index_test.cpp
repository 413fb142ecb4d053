#include "ui/idx_index.h"

#include "core/list/text_import.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tabrino {
namespace {

CameraTable tableOf(const std::string& idxs) {
  CameraTable table;
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  std::size_t at = 0;
  while (at < idxs.size()) {
    const std::size_t end = idxs.find(' ', at);
    list += idxs.substr(at, end - at) + ",10.5,50.5,1,60,1,90\n";
    at = end == std::string::npos ? idxs.size() : end + 1;
  }
  EXPECT_TRUE(importCameraListText(list, table).loaded());
  return table;
}

// Every search checked against a walk over the rows, as the list view's own
// search would make it: short and long prefixes, whole texts, case, wrapping.
TEST(IdxIndex, FindsWhatAWalkOverTheRowsFinds) {
  const CameraTable table = tableOf(
      "12 3 120 Cam-0000001 cam-0000002 CAM-0000001x 1 12345678 123456789 1234567 b\xC3\xA9 B\xC3\x89 12 camera");
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
  const std::string prefixes[] = {"1", "12", "123", "1234567", "12345678", "123456789", "1234567890", "cam",
                                  "CAM-000000", "cam-0000001", "cam-0000001X", "camera", "b\xC3\xA9", "3", "4", "c"};
  for (const std::string& prefix : prefixes) {
    for (std::size_t start = 0; start <= table.size(); ++start) {
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
