// A camera as a device stores it, and the rules that turn a list's cells into
// one: scaling and bounds of the coordinates, the speed byte, and direction
// codes both ways. Both the list reader and the database layout build on it.
#pragma once

#include <array>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tabrino {

// Fields of a list line: IDX, X, Y, TYPE, SPEED, DIRTYPE, DIRECTION.
inline constexpr std::size_t kFieldsPerLine = 7;

// Coordinates are stored as degrees × 10000, truncated toward zero.
inline constexpr double kCoordinateScale = 10000.0;
inline constexpr std::int32_t kMaxLongitude = 1800000;
inline constexpr std::int32_t kMaxLatitude = 900000;
// What a coordinate that does not fit 32 bits (or is NaN) scales to; always
// out of bounds.
inline constexpr std::int32_t kUnrepresentable = std::numeric_limits<std::int32_t>::min();

struct CameraRecord {
  std::int32_t latitude;
  std::int32_t longitude;
  std::uint8_t type;
  std::uint8_t speed;
  std::uint8_t directionType;
  std::uint8_t directionCode;
  bool operator==(const CameraRecord& other) const {
    return latitude == other.latitude && longitude == other.longitude && type == other.type &&
           speed == other.speed && directionType == other.directionType &&
           directionCode == other.directionCode;
  }
};

// The text cells of one row that become a record (IDX is never converted).
struct RecordCells {
  std::string_view x, y, type, speed, dirType, direction;
};

// The cells of a table row that become a record.
inline RecordCells recordCellsOf(const std::array<std::string_view, kFieldsPerLine>& row) noexcept {
  return {row[1], row[2], row[3], row[4], row[5], row[6]};
}

// Inline: both run for every row of every list, several times.
inline std::int32_t scaleCoordinate(double degrees) noexcept {
  // The product must be rounded to a double before it is truncated. The x87
  // unit of 32-bit builds keeps more bits unless the value goes through
  // memory, and would turn 55.7499 into 557498 where every other build
  // gives 557499.
#if FLT_EVAL_METHOD == 0
  const double scaled = degrees * kCoordinateScale;
#else
  const volatile double product = degrees * kCoordinateScale;
  const double scaled = product;
#endif
  // Only values that truncate into the 32-bit range may be converted: the
  // conversion of anything else is undefined, and processors disagree.
  if (!(scaled > -2147483649.0 && scaled < 2147483648.0)) return kUnrepresentable;
  return static_cast<std::int32_t>(scaled);
}

inline bool inBounds(std::int32_t latitude, std::int32_t longitude) noexcept {
  return latitude >= -kMaxLatitude && latitude <= kMaxLatitude && longitude >= -kMaxLongitude &&
         longitude <= kMaxLongitude;
}

// The low byte of a list's integer, as devices keep TYPE and DIRTYPE.
inline std::uint8_t lowByte(std::int32_t value) noexcept {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFF);
}

// Speeds below 10 (after taking the low byte) mean "no limit" and are stored as 0.
std::uint8_t speedByte(std::int32_t speed) noexcept;
// Degrees (0 = north, clockwise) to the device's code: (d ± 180) / 2.
std::uint8_t directionCode(std::int32_t degrees) noexcept;
// Degrees that encode to `code`: within 0 to 359 for codes 0 to 180, the
// only ones such degrees reach; beyond 359 for the rest.
std::int32_t directionDegrees(std::uint8_t code) noexcept;

// The record a row becomes, or nothing when its coordinates are out of bounds.
std::optional<CameraRecord> recordFromCells(const RecordCells& cells) noexcept;

// A record's six fields as a list holds them (X, Y, TYPE, SPEED, DIRTYPE,
// DIRECTION), each converting back to the very same value.
struct RecordTexts {
  std::string x, y, type, speed, dirType, direction;
};
RecordTexts recordTexts(const CameraRecord& record);
// "X,Y,TYPE,SPEED,DIRTYPE,DIRECTION".
std::string recordFieldsText(const CameraRecord& record);

}  // namespace tabrino
