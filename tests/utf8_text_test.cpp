// Names go into XML, JSON and SVG as valid UTF-8 whatever bytes they came in.
#include "core/base/utf8_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tabrino {
namespace {

TEST(Utf8Text, ValidTextStaysAndAnythingElseIsReadAsLatin1) {
  const struct {
    std::string in;
    bool valid;
    std::string out;
  } cases[] = {
      {"", true, ""},
      {"DB_141114.dbh", true, "DB_141114.dbh"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7", true, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7"},
      {"caf\xE9.dbh", false, "caf\xC3\xA9.dbh"},                      // Latin-1
      // Stray bytes among UTF-8: only they are read as Latin-1.
      {"\xC3\xA9\xE9", false, "\xC3\xA9\xC3\xA9"},
      {"\xE9t\xC3\xA9", false, "\xC3\xA9t\xC3\xA9"},
      {"bad\xFF\xFE.txt \xE2\x80\x94 2014-11-14", false, "bad\xC3\xBF\xC3\xBE.txt \xE2\x80\x94 2014-11-14"},
      {"\xE2\x82\xE2\x82\xAC", false, "\xC3\xA2\xC2\x82\xE2\x82\xAC"},  // cut short, then whole
      {"\xF0\x9F\x93\xB7\xED\xA0\x80\xC2\xB7", false, "\xF0\x9F\x93\xB7\xC3\xAD\xC2\xA0\xC2\x80\xC2\xB7"},
      {"12345678\xC2\xB7" "12345678\xFF" "12345678", false, "12345678\xC2\xB7" "12345678\xC3\xBF" "12345678"},
      {"\xC0\xAF", false, "\xC3\x80\xC2\xAF"},                        // overlong '/'
      {"\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xC2\x80"},            // a surrogate
      {"\xF4\x90\x80\x80", false, "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // past U+10FFFF
      {"\xE2\x82", false, "\xC3\xA2\xC2\x82"},                        // cut short
      {"\xFF", false, "\xC3\xBF"},
      // Past a run of ASCII read a word at a time, and at the word's edge.
      {"IDX,X,Y,TYPE,\xE2\x82\xAC", true, "IDX,X,Y,TYPE,\xE2\x82\xAC"},
      {"12345678\xE2\x82", false, "12345678\xC3\xA2\xC2\x82"},
      {"1234567\xE9" "12345678", false, "1234567\xC3\xA9" "12345678"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isValidUtf8(c.in), c.valid) << c.in;
    EXPECT_EQ(utf8OrLatin1(c.in), c.out) << c.in;
    EXPECT_TRUE(isValidUtf8(utf8OrLatin1(c.in))) << c.in;
  }
}

// A text shown cut short loses a character whole, never half of one; bytes
// of another code page are cut where the limit falls.
TEST(Utf8Text, CutsFallBetweenCharacters) {
  const struct {
    std::string text;
    std::size_t limit;
    std::size_t length;
  } cases[] = {
      {"abc", 5, 3},
      {"abcdef", 3, 3},
      {"ab\xC3\xA9", 3, 2},                  // inside a two-byte character
      {"ab\xC3\xA9", 4, 4},                  // after it
      {"a\xE2\x82\xAC", 2, 1},              // inside a three-byte one, at either byte
      {"a\xE2\x82\xAC", 3, 1},
      {"a\xF0\x9F\x93\xB7z", 4, 1},        // inside a four-byte one
      {"a\xF0\x9F\x93\xB7z", 5, 5},
      {"ab\xE9xyz", 3, 3},                    // Latin-1: no character to keep whole
      {"ab\xC3\xC3", 3, 3},                  // a lead byte without its follower
      {"\xA9\xA9\xA9\xA9", 2, 2},          // followers without a lead
  };
  for (const auto& c : cases) EXPECT_EQ(utf8CutLength(c.text, c.limit), c.length) << c.text << " at " << c.limit;
}

}  // namespace
}  // namespace tabrino
