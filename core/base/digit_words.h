// Text read eight bytes at a time: a list's cells are short runs of digits,
// and one 64-bit word holds most of a cell. Looking at a word at once, with
// no branch per byte, is what makes a list of millions of rows quick to read.
//
// A "mark" word has the top bit of each byte set where the byte in memory
// (first byte in the lowest bits) has some property, and nothing else.
#pragma once

#include "core/base/c_numbers.h"

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tabrino {

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
inline constexpr std::uint64_t kTopBits = 0x8080808080808080u;

// The eight bytes at p, the first in the lowest bits on any machine.
inline std::uint64_t loadWord(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// Marks the zero bytes, exactly: no borrow reaches a neighbouring byte.
inline std::uint64_t zeroBytes(std::uint64_t word) noexcept {
  constexpr std::uint64_t kLow7 = ~kTopBits;
  return ~(((word & kLow7) + kLow7) | word | kLow7);
}

// Marks the bytes equal to c.
inline std::uint64_t bytesEqual(std::uint64_t word, char c) noexcept {
  return zeroBytes(word ^ (static_cast<unsigned char>(c) * kEveryByte));
}

// The index of the first marked byte; marks must not be 0.
inline std::size_t lowestByteIndex(std::uint64_t marks) noexcept {
#if defined(__GNUC__)
  return static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
#else
  std::size_t index = 0;
  while (!(marks & 0x80)) marks >>= 8, ++index;
  return index;
#endif
}

// Marks the bytes that are not ASCII digits. Each sum stays inside its byte:
// the low seven bits plus at most 0x50 never reach the next one.
inline std::uint64_t nonDigitBytes(std::uint64_t word) noexcept {
  const std::uint64_t low7 = word & ~kTopBits;
  const std::uint64_t atLeast0 = low7 + (0x80 - '0') * kEveryByte;
  const std::uint64_t beyond9 = low7 + (0x80 - '9' - 1) * kEveryByte;
  return (~atLeast0 | beyond9 | word) & kTopBits;
}

// The value of the first `count` bytes of the word (1 to 8), which must be
// digits. They are shifted to the top, below them come zeros (leading zeros
// of the number), and pairs, fours and eights of digits are combined with
// one multiplication each. Bytes past `count` may hold anything: a borrow
// only runs towards the later bytes, which the shift drops.
inline std::uint32_t digitsValue(std::uint64_t word, std::size_t count) noexcept {
  std::uint64_t digits = (word - '0' * kEveryByte) << (8 * (8 - count));
  digits = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FFu;
  digits = (digits * 100 + (digits >> 16)) & 0x0000FFFF0000FFFFu;
  return static_cast<std::uint32_t>((digits * 10000 + (digits >> 32)) & 0xFFFFFFFFu);
}

// How far from p the word scans below may read: a scan starting at p reads
// no byte at or past p + kWordScanReach.
inline constexpr std::size_t kWordScanReach = 32;

// scanPlainDecimalUntil and scanPlainIntUntil, for the usual cells (fewer
// than eight digits before the point, and for an integer in all), a word at
// a time. They give the same value where they return a position, and return
// nothing for any other cell, which the byte-by-byte scans then read; they
// stop at the first byte that is not part of the number, as those do.
inline const char* scanDecimalWords(const char* p, double& value) noexcept {
#if FLT_EVAL_METHOD == 0
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  static constexpr std::uint32_t kIntegerPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  const bool negative = *p == '-';
  p += negative;
  std::uint64_t word = loadWord(p);
  std::uint64_t marks = nonDigitBytes(word);
  if (marks == 0) return nullptr;
  const std::size_t wholeDigits = lowestByteIndex(marks);
  if (wholeDigits == 0) return nullptr;
  std::uint64_t mantissa = digitsValue(word, wholeDigits);
  p += wholeDigits;
  std::size_t fractionDigits = 0;
  if (*p == '.') {
    ++p;
    word = loadWord(p);
    marks = nonDigitBytes(word);
    if (marks == 0) {  // eight digits, and maybe more
      mantissa = mantissa * 100000000u + digitsValue(word, 8);
      p += 8;
      fractionDigits = 8;
      word = loadWord(p);
      marks = nonDigitBytes(word);
      if (marks == 0) return nullptr;
    }
    const std::size_t more = lowestByteIndex(marks);
    if (more > 0) {
      mantissa = mantissa * kIntegerPowers[more] + digitsValue(word, more);
      p += more;
      fractionDigits += more;
    }
    if (fractionDigits == 0) return nullptr;
  }
  // 15 digits never overflow and always fit the 53 bits of a double exactly.
  if (wholeDigits + fractionDigits > 15) return nullptr;
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
  value = negative ? -magnitude : magnitude;
  return p;
#else
  (void)p;
  (void)value;
  return nullptr;
#endif
}

inline const char* scanIntWords(const char* p, std::int32_t& value) noexcept {
  const bool negative = *p == '-';
  p += negative;
  const std::uint64_t word = loadWord(p);
  const std::uint64_t marks = nonDigitBytes(word);
  if (marks == 0) return nullptr;
  const std::size_t digits = lowestByteIndex(marks);
  if (digits == 0) return nullptr;
  const auto magnitude = static_cast<std::int32_t>(digitsValue(word, digits));
  value = negative ? -magnitude : magnitude;
  return p + digits;
}

}  // namespace tabrino
