// Numbers read from list cells, exactly as the C library's atof and atoi read
// them in the "C" locale, but the same on every platform and free of undefined
// behaviour: lists are shared between users of different systems, and one list
// must always give the same camera database.
#pragma once

#include <cstddef>
#include <cstdint>
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
// and optionally a point and more digits, filling the whole text, with few
// enough digits that the value is one exact division from correctly rounded.
// Returns false (leaving value alone) for anything else, which
// parseCDouble/parseCInt read.
bool parsePlainDecimal(std::string_view text, double& value) noexcept;
bool parsePlainInt(std::string_view text, std::int32_t& value) noexcept;

inline double atofC(std::string_view text) noexcept { return parseCDouble(text).value; }
inline std::int32_t atoiC(std::string_view text) noexcept { return parseCInt(text).value; }

}  // namespace tabrino
