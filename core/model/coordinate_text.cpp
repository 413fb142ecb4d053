#include "core/model/coordinate_text.h"

#include "core/base/c_numbers.h"
#include "core/model/camera_record.h"

namespace tabrino {
namespace {

// units / 10^decimals, written out in full ("0.0003" for 3 and 4).
std::string decimalText(std::uint64_t units, int decimals) {
  std::string digits = std::to_string(units);
  if (decimals == 0) return digits;
  const auto places = static_cast<std::size_t>(decimals);
  if (digits.size() <= places) digits.insert(0, places + 1 - digits.size(), '0');
  digits.insert(digits.size() - places, ".");
  return digits;
}

}  // namespace

std::string exactCoordinateText(std::int32_t scaled) {
  const std::uint64_t magnitude =
      scaled < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(scaled)) : static_cast<std::uint64_t>(scaled);
  std::uint64_t units = magnitude;
  int decimals = 4;
  while (decimals > 0 && units % 10 == 0) {
    units /= 10;
    --decimals;
  }
  return (scaled < 0 ? "-" : "") + decimalText(units, decimals);
}

std::string coordinateText(std::int32_t scaled) {
  // Truncation toward zero treats both signs alike, so only the magnitude m
  // is sought: a text t fits when t × 10000 lands in [m, m + 1).
  const std::uint64_t magnitude =
      scaled < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(scaled)) : static_cast<std::uint64_t>(scaled);
  const std::string sign = scaled < 0 ? "-" : "";
  auto fits = [&](const std::string& text) { return scaleCoordinate(atofC(text)) == scaled; };

  // With up to four decimals a text is a whole number of units: m itself,
  // or m + 1 when the double product falls just short of it.
  std::uint64_t unitsPerStep = 10000;
  for (int decimals = 0; decimals <= 4; ++decimals, unitsPerStep /= 10) {
    for (const std::uint64_t target : {magnitude, magnitude + 1}) {
      if (target % unitsPerStep != 0) continue;
      const std::string text = sign + decimalText(target / unitsPerStep, decimals);
      if (fits(text)) return text;
    }
  }
  // A fifth decimal reaches inside the interval, far from both ends.
  for (std::uint64_t tenth = 1; tenth < 10; ++tenth) {
    const std::string text = sign + decimalText(magnitude * 10 + tenth, 5);
    if (fits(text)) return text;
  }
  return sign + decimalText(magnitude * 10 + 5, 5);  // not reached: m + 0.5 always fits
}

}  // namespace tabrino
