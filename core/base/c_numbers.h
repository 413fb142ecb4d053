// Numbers read from list cells, exactly as the C library's atof and atoi read
// them in the "C" locale, but the same on every platform and free of undefined
// behaviour: lists are shared between users of different systems, and one list
// must always give the same camera database.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

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

inline const char* scanPlainDecimal(const char* p, const char* end, double& value) noexcept {
  // Both the digits as an integer and the power of ten are exact doubles, so
  // the one division rounds correctly: the value strtod gives. The x87 unit
  // of 32-bit builds divides in extended precision and would round twice.
#if FLT_EVAL_METHOD == 0
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  std::uint64_t mantissa = 0;
  int digits = 0, fractionDigits = 0;
  for (; p != end && isAsciiDigit(*p); ++p, ++digits) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  if (digits == 0) return nullptr;
  if (p != end && *p == '.') {
    for (++p; p != end && isAsciiDigit(*p); ++p, ++fractionDigits) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    if (fractionDigits == 0) return nullptr;
  }
  // 15 digits never overflow and always fit the 53 bits of a double exactly.
  if (digits + fractionDigits > 15) return nullptr;
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
  value = negative ? -magnitude : magnitude;
  return p;
#else
  (void)p;
  (void)end;
  (void)value;
  return nullptr;
#endif
}

// The same as scanPlainDecimal where eight bytes can be read at once: each
// run of digits is found and turned into its value a word at a time. Runs of
// eight digits or more, and the last bytes before `end`, take the byte path.
namespace plain_digits {
// The bytes of the word at p, the first in the lowest byte.
inline std::uint64_t load(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}
// How many of the word's bytes, from the first, are ASCII digits.
inline int leadingDigits(std::uint64_t word) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  // A byte is a digit when its high nibble is 3 and its low nibble plus 6
  // stays below 16; no step carries into a neighbouring byte.
  const std::uint64_t notDigit = ((word & (0xF0 * kOnes)) ^ (0x30 * kOnes)) |
                                 (((word & (0x0F * kOnes)) + 0x06 * kOnes) & (0x10 * kOnes));
  // Marks (top bit) the bytes that are not digits.
  const std::uint64_t marks = ((notDigit & (0x7F * kOnes)) + 0x7F * kOnes | notDigit) & (0x80 * kOnes);
  if (marks == 0) return 8;
#if defined(__GNUC__)
  return __builtin_ctzll(marks) / 8;
#else
  int index = 0;
  for (std::uint64_t m = marks; !(m & 0x80); m >>= 8) ++index;
  return index;
#endif
}
// The value of the first `count` (1 to 7) digits of the word.
inline std::uint64_t valueOf(std::uint64_t word, int count) noexcept {
  std::uint64_t v = (word << (8 * (8 - count))) & 0x0F0F0F0F0F0F0F0Fu;
  v = (v * 2561) >> 8;
  v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
  return ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
}
}  // namespace plain_digits

inline const char* scanPlainInt(const char* p, const char* end, std::int32_t& value) noexcept {
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  std::int32_t magnitude = 0;
  int digits = 0;
  for (; p != end && isAsciiDigit(*p); ++p) {
    if (++digits > 9) return nullptr;  // nine digits cannot overflow
    magnitude = magnitude * 10 + (*p - '0');
  }
  if (digits == 0) return nullptr;
  value = negative ? -magnitude : magnitude;
  return p;
}

inline const char* scanPlainDecimalWide(const char* p, const char* end, double& value) noexcept {
#if FLT_EVAL_METHOD == 0
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  static constexpr std::uint64_t kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  // Room for a sign, eight bytes, a point and eight more.
  if (end - p < 18) return scanPlainDecimal(p, end, value);
  const char* q = p;
  const bool negative = *q == '-';
  if (negative) ++q;
  const std::uint64_t whole = plain_digits::load(q);
  const int digits = plain_digits::leadingDigits(whole);
  if (digits == 0) return nullptr;
  if (digits == 8) return scanPlainDecimal(p, end, value);
  std::uint64_t mantissa = plain_digits::valueOf(whole, digits);
  q += digits;
  int fractionDigits = 0;
  if (*q == '.') {
    const std::uint64_t fraction = plain_digits::load(++q);
    fractionDigits = plain_digits::leadingDigits(fraction);
    if (fractionDigits == 0) return nullptr;
    if (fractionDigits == 8) return scanPlainDecimal(p, end, value);
    mantissa = mantissa * kScales[fractionDigits] + plain_digits::valueOf(fraction, fractionDigits);
    q += fractionDigits;
  }
  // Below 15 digits in all: exact, and one division rounds correctly.
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
  value = negative ? -magnitude : magnitude;
  return q;
#else
  return scanPlainDecimal(p, end, value);
#endif
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
