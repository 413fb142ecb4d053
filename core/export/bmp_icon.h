// The icon a device of the OV2 family shows for the POIs of a file of the
// same base name: a 22×22 BMP of 24 bits a pixel. We draw it ourselves: a
// shape in a colour (the caller picks them, so that the icons look like the
// map's marks) and the speed's digits across it.
#pragma once

#include <cstdint>
#include <string>

namespace tabrino {

inline constexpr int kIconSize = 22;

enum class IconShape { Circle, Square, Triangle, Diamond, TriangleDown, Cross, Saltire, Hexagon };

struct IconLook {
  std::uint32_t rgb;  // 0xd55e00
  IconShape shape;
};

// "#d55e00" as 0xd55e00; 0 for text that is not such a colour.
std::uint32_t rgbOfHex(const char* colour) noexcept;

// The whole BMP file: the shape filled with the colour on white, outlined
// in dark grey, and `speed` in digits, white on the shape and black past it
// (none for 0).
std::string bmpIcon(const IconLook& look, std::uint8_t speed);

}  // namespace tabrino
