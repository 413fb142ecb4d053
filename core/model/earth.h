// The Earth as distances and maps need it.
#pragma once

namespace tabrino {

inline constexpr double kPi = 3.14159265358979323846;
// The mean Earth radius (IUGG), in metres.
inline constexpr double kEarthRadiusMetres = 6371008.8;
inline constexpr double kRadiansPerDegree = kPi / 180.0;

}  // namespace tabrino
