// Numbers read from list cells, exactly as the C library's atof and atoi read
// them in the "C" locale, but the same on every platform and free of undefined
// behaviour: lists are shared between users of different systems, and one list
// must always give the same camera database.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/base/byte_words.h"

namespace tabrino {

template <typename T>
struct ParsedNumber {
  T value;
  // Bytes taken by the longest valid prefix, leading white space included;
  // 0 when no number was found (value is then 0).
  std::size_t length;
};

// strtod syntax: leading white space, optional sign, then a decimal number
// with optional exponent, a hexadecimal float ("0x1.8p3"), "inf", "infinity",
// "nan" or "nan(chars)", all case-insensitive. Correctly rounded.
ParsedNumber<double> parseCDouble(std::string_view text) noexcept;

// strtol syntax in base 10: leading white space, optional sign, digits.
// Saturates to the 32-bit range on overflow.
ParsedNumber<std::int32_t> parseCInt(std::string_view text) noexcept;

// The common case of list cells, read much faster: an optional minus, digits,
// and optionally a point and more digits, with few enough digits that the
// value is one exact division from correctly rounded. Each scan reads from p
// and stops at the first byte that is not part of such a number; it returns
// where it stopped, or nothing (leaving value alone) when what it read is not
// such a number, which parseCDouble/parseCInt then read.
// Inline: they run for six cells of every row.
inline bool isAsciiDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Both scans take `atEnd`, which says whether a position is past the text:
// a bound, or never for a caller that knows the text goes on to a byte that
// ends every number (a line feed), which then saves a test per digit.
template <typename AtEnd>
const char* scanPlainDecimalUntil(const char* p, AtEnd atEnd, double& value) noexcept {
  // Both the digits as an integer and the power of ten are exact doubles, so
  // the one division rounds correctly: the value strtod gives. The x87 unit
  // of 32-bit builds divides in extended precision and would round twice.
#if FLT_EVAL_METHOD == 0
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = !atEnd(p) && *p == '-';
  if (negative) ++p;
  std::uint64_t mantissa = 0;
  const char* const first = p;
  for (; !atEnd(p) && isAsciiDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  const auto digits = p - first;
  if (digits == 0) return nullptr;
  std::ptrdiff_t fractionDigits = 0;
  if (!atEnd(p) && *p == '.') {
    const char* const point = p;
    for (++p; !atEnd(p) && isAsciiDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    fractionDigits = p - point - 1;
    if (fractionDigits == 0) return nullptr;
  }
  // 15 digits never overflow and always fit the 53 bits of a double exactly.
  if (digits + fractionDigits > 15) return nullptr;
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
  value = negative ? -magnitude : magnitude;
  return p;
#else
  (void)p;
  (void)atEnd;
  (void)value;
  return nullptr;
#endif
}

template <typename AtEnd>
const char* scanPlainIntUntil(const char* p, AtEnd atEnd, std::int32_t& value) noexcept {
  const bool negative = !atEnd(p) && *p == '-';
  if (negative) ++p;
  std::int32_t magnitude = 0;
  const char* const first = p;
  for (; !atEnd(p) && isAsciiDigit(*p); ++p) {
    if (p - first == 9) return nullptr;  // nine digits cannot overflow
    magnitude = magnitude * 10 + (*p - '0');
  }
  if (p == first) return nullptr;
  value = negative ? -magnitude : magnitude;
  return p;
}

// Marks the bytes that are not ASCII digits: each digit's neighbours are
// left alone, so the first mark is exact (marks after it may not be).
inline std::uint64_t nonDigitBytes(std::uint64_t word) noexcept {
  return ((word + 0x4646464646464646u) | (word - 0x3030303030303030u)) & kTopBits;
}

// The value of the first `count` (1 to 8) bytes of a word, all digits.
inline std::uint32_t leadingDigitsValue(std::uint64_t word, std::size_t count) noexcept {
  // The digits move to the top, zeros before them; then pairs, fours and
  // the eight are summed by three multiplications.
  std::uint64_t value = (word - 0x3030303030303030u) << (8 * (8 - count));
  value = value * 10 + (value >> 8);
  value = (((value & 0x000000FF000000FFu) * 0x000F424000000064u) +
           (((value >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >> 32;
  return static_cast<std::uint32_t>(value);
}

// The scan of scanPlainDecimalUntil eight bytes at a time, for text whose
// kPlainDecimalReach bytes from p are readable: the same value and the same
// end, with no test per digit for the loop to mispredict. Numbers of eight
// or more digits on a side of the point take the byte-wise scan.
inline constexpr std::size_t kPlainDecimalReach = 24;
template <typename AtEnd>
const char* scanPlainDecimalWords(const char* p, AtEnd atEnd, double& value) noexcept {
#if FLT_EVAL_METHOD == 0
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  static constexpr std::uint32_t kIntegerPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  const char* const start = p;
  const bool negative = *p == '-';
  p += negative;
  std::uint64_t word = loadWord(p);
  std::uint64_t marks = nonDigitBytes(word);
  if (marks == 0) return scanPlainDecimalUntil(start, atEnd, value);
  const std::size_t digits = lowestByteIndex(marks);
  if (digits == 0) return nullptr;
  std::uint64_t mantissa = leadingDigitsValue(word, digits);
  p += digits;
  std::size_t fractionDigits = 0;
  if (*p == '.') {
    word = loadWord(p + 1);
    marks = nonDigitBytes(word);
    if (marks == 0) return scanPlainDecimalUntil(start, atEnd, value);
    fractionDigits = lowestByteIndex(marks);
    if (fractionDigits == 0) return nullptr;
    mantissa = mantissa * kIntegerPowers[fractionDigits] + leadingDigitsValue(word, fractionDigits);
    p += 1 + fractionDigits;
  }
  // At most 7 + 7 digits: exact in a double, as in the byte-wise scan.
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
  value = negative ? -magnitude : magnitude;
  return p;
#else
  return scanPlainDecimalUntil(p, atEnd, value);
#endif
}

inline const char* scanPlainDecimal(const char* p, const char* end, double& value) noexcept {
  return scanPlainDecimalUntil(p, [end](const char* q) { return q == end; }, value);
}
inline const char* scanPlainInt(const char* p, const char* end, std::int32_t& value) noexcept {
  return scanPlainIntUntil(p, [end](const char* q) { return q == end; }, value);
}

// A whole cell that is such a number. (An empty view may have no data: a
// scan's "nothing" must not pass for its end.)
inline bool parsePlainDecimal(std::string_view text, double& value) noexcept {
  const char* const end = text.data() + text.size();
  const char* const stop = scanPlainDecimal(text.data(), end, value);
  return stop && stop == end;
}
inline bool parsePlainInt(std::string_view text, std::int32_t& value) noexcept {
  const char* const end = text.data() + text.size();
  const char* const stop = scanPlainInt(text.data(), end, value);
  return stop && stop == end;
}

inline double atofC(std::string_view text) noexcept { return parseCDouble(text).value; }
inline std::int32_t atoiC(std::string_view text) noexcept { return parseCInt(text).value; }

}  // namespace tabrino
