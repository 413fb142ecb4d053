// Text looked at eight bytes at a time, for the scans that pass over
// millions of bytes looking for a few (commas and line ends in lines read
// the careful way, bytes past ASCII in a list's text): one test a word
// rather than one a byte.
//
// A "mark" word has the top bit of each byte set where the byte in memory
// (first byte in the lowest bits) has some property, and nothing else.
#pragma once

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

}  // namespace tabrino
