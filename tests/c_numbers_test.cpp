#include "core/base/c_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace tabrino {
namespace {

struct DoubleCase {
  const char* text;
  double value;
  std::size_t length;
};

TEST(ParseCDouble, ReadsTheLongestValidPrefixLikeStrtod) {
  const double inf = std::numeric_limits<double>::infinity();
  const DoubleCase cases[] = {
      {"37.5", 37.5, 4},
      {"  \t-55.75", -55.75, 9},
      {"+1e2", 100.0, 4},
      {".5", 0.5, 2},
      {"5.", 5.0, 2},
      {"1e", 1.0, 1},          // an exponent without digits is not part of the number
      {"1e+", 1.0, 1},
      {"2.5E-1x", 0.25, 6},
      {"13.515101abc", 13.515101, 9},
      {"0x1.8p1", 3.0, 7},     // hexadecimal floats
      {"-0X10", -16.0, 5},
      {"0x", 0.0, 1},          // "0" followed by an x that starts nothing
      {"0x.p1", 0.0, 1},
      {"0x1p-1074", std::ldexp(1.0, -1074), 9},
      {"inf", inf, 3},
      {"-Infinity", -inf, 9},
      {"infinit", inf, 3},
      {"1e400", inf, 5},
      {"", 0.0, 0},
      {" ", 0.0, 0},
      {"X", 0.0, 0},
      {"-", 0.0, 0},
      {"+-1", 0.0, 0},
      {"- 1", 0.0, 0},
      {".", 0.0, 0},
      {"1,5", 1.0, 1},         // no locale: the separator is always "."
  };
  for (const DoubleCase& c : cases) {
    const ParsedNumber<double> parsed = parseCDouble(c.text);
    EXPECT_EQ(parsed.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(parsed.length, c.length) << '"' << c.text << '"';
  }
}

TEST(ParseCDouble, ReadsNotANumber) {
  for (const char* text : {"nan", "-NaN", "nan(0x1_a)", "NAN("}) {
    EXPECT_TRUE(std::isnan(parseCDouble(text).value)) << text;
  }
  EXPECT_EQ(parseCDouble("nan(1_a)x").length, 8u);
  EXPECT_EQ(parseCDouble("nan(1 )").length, 3u);  // not a valid n-char sequence
}

TEST(ParseCDouble, RoundsHexadecimalFloatsToNearestEven) {
  // 2^53 + 1 is halfway between two doubles: ties go to the even one.
  EXPECT_EQ(parseCDouble("0x20000000000001").value, 9007199254740992.0);
  EXPECT_EQ(parseCDouble("0x20000000000003").value, 9007199254740996.0);
  // A nonzero digit far beyond the precision breaks the tie upwards.
  EXPECT_EQ(parseCDouble("0x20000000000001000000000001").value,
            std::ldexp(9007199254740994.0, 48));
  // Half the smallest subnormal rounds to even (zero); a bit more rounds up.
  EXPECT_EQ(parseCDouble("0x1p-1075").value, 0.0);
  EXPECT_EQ(parseCDouble("0x1.0000001p-1075").value, std::ldexp(1.0, -1074));
  EXPECT_EQ(parseCDouble("0x1p1024").value, std::numeric_limits<double>::infinity());
}

#ifndef _WIN32
// glibc's strtod is correctly rounded and, in the "C" locale this test runs
// in, has the syntax our lists are read with: compare on many odd strings.
TEST(ParseCDouble, AgreesWithTheCLibraryOnRandomText) {
  const std::string alphabet = "0123456789012345678901234567890123456789.+-eEpPxX aAfFnNiI(_)\t";
  std::mt19937 random(20141114);
  for (int round = 0; round < 200000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    const ParsedNumber<double> parsed = parseCDouble(text);
    ASSERT_EQ(parsed.length, static_cast<std::size_t>(end - text.c_str())) << '"' << text << '"';
    if (std::isnan(expected)) {
      ASSERT_TRUE(std::isnan(parsed.value)) << '"' << text << '"';
    } else {
      ASSERT_EQ(parsed.value, expected) << '"' << text << '"';
    }
  }
}
#endif

TEST(ParseCInt, ReadsLikeStrtolAndSaturatesTo32Bits) {
  const struct {
    const char* text;
    std::int32_t value;
    std::size_t length;
  } cases[] = {
      {"90", 90, 2},
      {" -10", -10, 4},
      {"+7x", 7, 2},
      {"1.9", 1, 1},
      {"0x10", 0, 1},
      {"", 0, 0},
      {"abc", 0, 0},
      {"-", 0, 0},
      {"2147483647", 2147483647, 10},
      {"2147483648", 2147483647, 10},
      {"-2147483648", -2147483647 - 1, 11},
      {"-99999999999999999999", -2147483647 - 1, 21},
      {"000000000000000000000042", 42, 24},
  };
  for (const auto& c : cases) {
    const ParsedNumber<std::int32_t> parsed = parseCInt(c.text);
    EXPECT_EQ(parsed.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(parsed.length, c.length) << '"' << c.text << '"';
  }
}

// The fast path takes only whole plain numbers and must then agree with the
// general reader; anything else it leaves to the general reader.
TEST(PlainNumbers, TakeOnlyWholePlainNumbersAndAgreeWithTheGeneralReader) {
  const struct {
    std::string_view text;
    bool decimal, integer;
  } cases[] = {
      {"37.5", true, false},     {"-55.75", true, false},  {"12", true, true},     {"-7", true, true},
      {"123456789", true, true}, {"1234567890", true, false},  // ten digits might overflow
      {"0.12345678901234", true, false}, {"0.123456789012345", false, false},  // past 15 digits
      {"5.", false, false},      {".5", false, false},     {"+1", false, false},   {" 1", false, false},
      {"1e2", false, false},     {"12a", false, false},    {"-", false, false},    {"", false, false},
      {std::string_view(), false, false},  // no data at all: an empty cell
  };
  for (const auto& c : cases) {
    double decimal = -1;
    std::int32_t integer = -1;
    EXPECT_EQ(parsePlainDecimal(c.text, decimal), c.decimal) << c.text;
    EXPECT_EQ(parsePlainInt(c.text, integer), c.integer) << c.text;
    if (c.decimal) {
      EXPECT_EQ(decimal, parseCDouble(c.text).value) << c.text;
    }
    if (c.integer) {
      EXPECT_EQ(integer, parseCInt(c.text).value) << c.text;
    }
  }
}

// Eight bytes at a time, a scan must stop where the byte-wise scan stops,
// with the same value to the bit: around every byte next to a digit ('/' and
// ':' border them, bytes past 0x7F would carry), at every length of each part.
TEST(PlainNumbers, TheEightByteScanIsTheByteWiseScan) {
  std::mt19937 random(20261210);
  const char ends[] = {',', '\n', '/', ':', '.', '-', '\0', '\x80', '\xBA', '\xFF', ' ', 'e'};
  auto digits = [&](std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  for (int round = 0; round < 200000; ++round) {
    std::string text = random() % 4 == 0 ? "-" : "";
    text += digits(random() % 11);
    if (random() % 4 != 0) text += "." + digits(random() % 11);
    text += ends[random() % sizeof ends];
    text += digits(random() % 3);
    text.resize(text.size() + kPlainDecimalReach, ',');  // readable as far as the scan may read
    double bytewise = -1, words = -1;
    const char* byteStop = scanPlainDecimalUntil(text.data(), [](const char*) { return false; }, bytewise);
    const char* wordStop = scanPlainDecimalWords(text.data(), [](const char*) { return false; }, words);
    ASSERT_EQ(wordStop, byteStop) << text;
    if (byteStop) {
      ASSERT_EQ(std::memcmp(&words, &bytewise, sizeof words), 0) << text;
    }
  }
}

}  // namespace
}  // namespace tabrino
