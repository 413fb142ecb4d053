#include "core/model/camera_record.h"

#include "core/base/c_numbers.h"
#include "core/model/coordinate_text.h"

namespace tabrino {

std::uint8_t speedByte(std::int32_t speed) noexcept {
  const std::uint8_t byte = lowByte(speed);
  return byte < 10 ? 0 : byte;
}

std::uint8_t directionCode(std::int32_t degrees) noexcept {
  const std::int32_t opposite = degrees > 180 ? degrees - 180 : degrees + 180;
  return lowByte(opposite / 2);
}

std::int32_t directionDegrees(std::uint8_t code) noexcept {
  // Degrees 0 to 180 give codes 90 to 180; 181 to 359 give codes 0 to 89.
  // Even degrees where they serve, as lists usually hold.
  if (code >= 90 && code <= 180) return 2 * code - 180;
  if (code == 0) return 181;
  return 180 + 2 * code;
}

std::optional<CameraRecord> recordFromCells(const RecordCells& cells) noexcept {
  const std::int32_t longitude = scaleCoordinate(atofC(cells.x));
  const std::int32_t latitude = scaleCoordinate(atofC(cells.y));
  if (!inBounds(latitude, longitude)) return std::nullopt;
  return CameraRecord{latitude,
                      longitude,
                      lowByte(atoiC(cells.type)),
                      speedByte(atoiC(cells.speed)),
                      lowByte(atoiC(cells.dirType)),
                      directionCode(atoiC(cells.direction))};
}

RecordTexts recordTexts(const CameraRecord& record) {
  return {coordinateText(record.longitude),        coordinateText(record.latitude),
          std::to_string(record.type),             std::to_string(record.speed),
          std::to_string(record.directionType),    std::to_string(directionDegrees(record.directionCode))};
}

std::string recordFieldsText(const CameraRecord& record) {
  const RecordTexts t = recordTexts(record);
  return t.x + ',' + t.y + ',' + t.type + ',' + t.speed + ',' + t.dirType + ',' + t.direction;
}

}  // namespace tabrino
