#include "core/base/c_numbers.h"

#include <fast_float/fast_float.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace tabrino {
namespace {

// isspace() in the "C" locale.
bool isCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isDecimalDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Leading white space and at most one sign, as strtod and strtol take them.
const char* skipSpaceAndSign(const char* p, const char* end, bool& negative) noexcept {
  while (p != end && isCSpace(*p)) ++p;
  if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  return p;
}

// Rounds mantissa * 2^exponent to the nearest double, ties to even, honouring
// the reduced precision of subnormals so that no value is rounded twice.
double roundBinary(std::uint64_t mantissa, bool sticky, long exponent) noexcept {
  if (mantissa == 0) return 0.0;
  int width = 64;
  while (!(mantissa >> (width - 1))) --width;
  // Value = mantissa * 2^exponent with the top bit at 2^(exponent + width - 1).
  const long topExponent = exponent + width - 1;
  if (topExponent > 1023) return std::numeric_limits<double>::infinity();
  long keep = 53;
  if (topExponent < -1022) keep = 53 - (-1022 - topExponent);
  if (keep < 0) return 0.0;  // far below half the smallest subnormal
  if (width > keep) {
    const int drop = width - static_cast<int>(keep);
    const std::uint64_t half = drop >= 1 ? (std::uint64_t{1} << (drop - 1)) : 0;
    const std::uint64_t rest = drop >= 64 ? mantissa : (mantissa & ((std::uint64_t{1} << drop) - 1));
    std::uint64_t kept = drop >= 64 ? 0 : (mantissa >> drop);
    const bool above = rest > half || (rest == half && sticky);
    if (above || (rest == half && !sticky && (kept & 1))) ++kept;
    mantissa = kept;
    exponent += drop;
  }
  return std::ldexp(static_cast<double>(mantissa), static_cast<int>(exponent));
}

// Parses the part after "0x"; returns the end of the number, or begin when
// there is no hexadecimal digit at all.
const char* parseHexFloat(const char* begin, const char* end, double& value) noexcept {
  std::uint64_t mantissa = 0;
  bool sticky = false;
  long exponent = 0;
  bool anyDigit = false;
  const char* p = begin;
  auto takeDigit = [&](int digit, bool fraction) {
    anyDigit = true;
    if (mantissa >> 60) {  // no room for four more bits
      sticky = sticky || digit != 0;
      if (!fraction) exponent += 4;
    } else {
      mantissa = mantissa * 16 + static_cast<unsigned>(digit);
      if (fraction) exponent -= 4;
    }
  };
  for (; p != end && hexDigitValue(*p) >= 0; ++p) takeDigit(hexDigitValue(*p), false);
  if (p != end && *p == '.') {
    const char* q = p + 1;
    for (; q != end && hexDigitValue(*q) >= 0; ++q) takeDigit(hexDigitValue(*q), true);
    if (anyDigit) p = q;
  }
  if (!anyDigit) return begin;
  if (p != end && (*p == 'p' || *p == 'P')) {
    const char* q = p + 1;
    bool negative = false;
    if (q != end && (*q == '+' || *q == '-')) negative = *q++ == '-';
    if (q != end && isDecimalDigit(*q)) {
      long binaryExponent = 0;
      for (; q != end && isDecimalDigit(*q); ++q) {
        if (binaryExponent < 100000) binaryExponent = binaryExponent * 10 + (*q - '0');
      }
      exponent += negative ? -binaryExponent : binaryExponent;
      p = q;
    }
  }
  value = roundBinary(mantissa, sticky, exponent);
  return p;
}

}  // namespace

ParsedNumber<double> parseCDouble(std::string_view text) noexcept {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  bool negative = false;
  const char* p = skipSpaceAndSign(begin, end, negative);
  if (p == end || *p == '+' || *p == '-') return {0.0, 0};

  double magnitude = 0.0;
  const char* numberEnd = p;
  if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    numberEnd = parseHexFloat(p + 2, end, magnitude);
    if (numberEnd == p + 2) numberEnd = p + 1;  // "0x" without digits reads as "0"
  } else {
    const auto result = fast_float::from_chars(p, end, magnitude);
    if (result.ec != std::errc() && result.ec != std::errc::result_out_of_range) return {0.0, 0};
    numberEnd = result.ptr;
  }
  return {negative ? -magnitude : magnitude, static_cast<std::size_t>(numberEnd - begin)};
}

ParsedNumber<std::int32_t> parseCInt(std::string_view text) noexcept {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  bool negative = false;
  const char* p = skipSpaceAndSign(begin, end, negative);
  if (p == end || !isDecimalDigit(*p)) return {0, 0};

  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (; p != end && isDecimalDigit(*p); ++p) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (*p - '0');
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) value = std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) value = std::numeric_limits<std::int32_t>::min();
  return {static_cast<std::int32_t>(value), static_cast<std::size_t>(p - begin)};
}

}  // namespace tabrino
