// Reads the built-in map data files (scripts/make-borders.mjs and
// scripts/make-places.mjs describe their layouts): bytes, LEB128 varints,
// zigzag-coded signed varints and little-endian numbers, throwing
// std::runtime_error, named after the data, when a file is damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tabrino {

class PackedReader {
 public:
  PackedReader(const std::uint8_t* bytes, std::size_t size, const char* what)
      : at_(bytes), end_(bytes + size), what_(what) {}

  std::uint8_t byte() {
    if (at_ == end_) fail("ends early");
    return *at_++;
  }
  std::uint64_t varint() {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const std::uint8_t b = byte();
      value |= std::uint64_t{b & 0x7Fu} << shift;
      if (!(b & 0x80)) return value;
    }
    fail("holds a broken number");
  }
  std::int64_t zigzag() {
    const std::uint64_t v = varint();
    return (v & 1) ? -static_cast<std::int64_t>(v >> 1) - 1 : static_cast<std::int64_t>(v >> 1);
  }
  std::uint64_t littleEndian(int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{byte()} << (8 * i);
    return value;
  }
  double f64() {
    const std::uint64_t bits = littleEndian(8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // `count` bytes as text, without copying past the end.
  std::string text(std::uint64_t count) {
    if (count > static_cast<std::uint64_t>(end_ - at_)) fail("ends early");
    std::string out(reinterpret_cast<const char*>(at_), static_cast<std::size_t>(count));
    at_ += count;
    return out;
  }
  // A count of things that each take at least one more byte: a damaged
  // count cannot make the caller reserve more than the data could hold.
  std::uint64_t count() {
    const std::uint64_t n = varint();
    if (n > static_cast<std::uint64_t>(end_ - at_)) fail("holds a count past its end");
    return n;
  }
  bool atEnd() const noexcept { return at_ == end_; }
  [[noreturn]] void fail(const char* why) const { throw std::runtime_error(std::string(what_) + " " + why); }

 private:
  const std::uint8_t* at_;
  const std::uint8_t* end_;
  const char* what_;
};

}  // namespace tabrino
