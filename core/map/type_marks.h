// How each type's cameras look on the map picture and the map page alike:
// the colour the exports give the type (cameraTypeStyle) and a shape of its
// own, so that types are told apart by shape as well as by colour. Types
// without a style of their own take the palette's spare colours with shapes
// no known type has, the commonest first: the first three differ in colour
// and shape, the first nine in one at least; any more are grey crosses.
#pragma once

#include "core/export/bmp_icon.h"

#include <cstdint>
#include <vector>

namespace tabrino {

enum class MarkShape { Circle, Square, Triangle, Diamond, TriangleDown, Cross, Saltire, Hexagon };

struct TypeMark {
  std::uint8_t type;
  const char* colour;  // "#d55e00"
  MarkShape shape;
};

// The marks of these types, given commonest first, in the same order.
std::vector<TypeMark> typeMarks(const std::vector<std::uint8_t>& typesByCount);

// The shape's name, as the page's script draws it ("triangleDown").
const char* markShapeName(MarkShape shape) noexcept;

// The icon an export draws for a type: its mark's colour and shape, as the
// map shows it (types without a style of their own as the first spare).
IconLook typeIconLook(std::uint8_t type);

}  // namespace tabrino
