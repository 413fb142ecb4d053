#include "core/list/line_starts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace tabrino {
namespace {

// Each start read back as pushed, one by one and in a pass, and after rows
// are taken out: steps of every length a byte holds and beyond it, next to
// the rows whose starts are kept whole and away from them.
TEST(LineStarts, GiveBackEveryStartAsPushed) {
  std::mt19937 random(7);
  struct Case {
    const char* name;
    std::size_t rows;
    std::size_t (*step)(std::size_t row, std::mt19937& random);
  };
  const Case cases[] = {
      {"list lines", 1000, [](std::size_t, std::mt19937& r) { return std::size_t{20 + r() % 40}; }},
      {"every step length", 700, [](std::size_t row, std::mt19937&) { return row % 300; }},
      {"long steps by the kept rows",
       300, [](std::size_t row, std::mt19937&) { return row % 64 <= 1 || row % 64 == 63 ? std::size_t{100000} : 1; }},
      {"all long", 200, [](std::size_t row, std::mt19937&) { return std::size_t{255} + row; }},
      {"lines of one byte and none", 150, [](std::size_t row, std::mt19937&) { return row % 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::size_t> offsets;
    LineStarts starts;
    std::size_t offset = 37;
    for (std::size_t row = 0; row < c.rows; ++row) {
      offset += c.step(row, random);
      offsets.push_back(offset);
      starts.push(offset);
    }
    ASSERT_EQ(starts.size(), offsets.size());
    LineStarts::Reader reader(starts);
    for (std::size_t row = 0; row < offsets.size(); ++row) {
      ASSERT_EQ(starts[row], offsets[row]) << row;
      ASSERT_EQ(reader.next(), offsets[row]) << row;
    }
    std::vector<std::uint32_t> removed;
    for (std::uint32_t row = 0; row < offsets.size(); ++row) {
      if (random() % 3 == 0 || row == 0) removed.push_back(row);
    }
    starts.remove(removed);
    std::vector<std::size_t> kept;
    for (std::size_t row = 0, next = 0; row < offsets.size(); ++row) {
      if (next < removed.size() && removed[next] == row) {
        ++next;
      } else {
        kept.push_back(offsets[row]);
      }
    }
    ASSERT_EQ(starts.size(), kept.size());
    for (std::size_t row = 0; row < kept.size(); ++row) ASSERT_EQ(starts[row], kept[row]) << "after removal, " << row;
  }
}

}  // namespace
}  // namespace tabrino
