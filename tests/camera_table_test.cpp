#include "core/camera_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabrino {
namespace {

void addRow(CameraTable& table, std::string_view idx, std::string_view y, std::uint64_t tag) {
  table.appendRow({idx, "37.5", y, "1", "60", "1", "90"}, tag);
}

std::vector<std::string> idxColumn(const CameraTable& table) {
  std::vector<std::string> column;
  for (std::size_t row = 0; row < table.size(); ++row) column.emplace_back(table.cell(row, Column::Idx));
  return column;
}

TEST(CameraTable, StoresCellsAndTagsByteForByte) {
  CameraTable table;
  table.appendRow({"1", " 13.5 ", "", "\xC0\xFF", "60", "1", "90"}, 7);
  table.appendRow({}, 8);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table.cell(0, Column::X), " 13.5 ");
  EXPECT_EQ(table.cell(0, Column::Y), "");
  EXPECT_EQ(table.cell(0, Column::Type), "\xC0\xFF");
  EXPECT_EQ(table.cell(0, Column::Direction), "90");
  EXPECT_EQ(table.tag(0), 7u);
  EXPECT_EQ(table.cell(1, Column::Direction), "");
  const CameraTable::Cells cells = table.rowCells(0);
  EXPECT_EQ(cells[3], "\xC0\xFF");
  EXPECT_EQ(cells[6], "90");
}

TEST(CameraTable, MissingRowsReadAsEmpty) {
  CameraTable table;
  addRow(table, "1", "50", 1);
  EXPECT_EQ(table.cell(1, Column::X), "");
  EXPECT_EQ(table.tag(5), 0u);
  EXPECT_EQ(table.rowCells(9)[0], "");
  table.eraseRow(3);  // nothing there: nothing happens
  EXPECT_EQ(table.size(), 1u);
}

TEST(CameraTable, EraseMovesLaterRowsUp) {
  CameraTable table;
  addRow(table, "a", "1", 1);
  addRow(table, "b", "2", 2);
  addRow(table, "c", "3", 3);
  table.eraseRow(0);
  EXPECT_EQ(idxColumn(table), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(table.tag(0), 2u);
}

TEST(CameraTable, SortsByLatitudeStablyWithNaNLast) {
  CameraTable table;
  addRow(table, "nan", "nan", 1);
  addRow(table, "b1", "55.5", 2);
  addRow(table, "a", "-10", 3);
  addRow(table, "b2", "55.50", 3);  // same latitude and same tag as another row
  addRow(table, "zero", "text", 4);
  addRow(table, "b3", "5.55e1", 5);
  addRow(table, "c", "0x1p6", 6);
  table.sortByLatitude();
  EXPECT_EQ(idxColumn(table), (std::vector<std::string>{"a", "zero", "b1", "b2", "b3", "c", "nan"}));
  EXPECT_EQ(table.tag(0), 3u);
  EXPECT_EQ(table.cell(3, Column::Y), "55.50");  // each row moved with its own cells
}

}  // namespace
}  // namespace tabrino
