#include "core/map/type_marks.h"

#include "core/export/geo_export.h"

namespace tabrino {

std::vector<TypeMark> typeMarks(const std::vector<std::uint8_t>& typesByCount) {
  static const char* const kSpareColours[] = {"#56b4e9", "#f0e442", "#000000"};
  static const MarkShape kSpareShapes[] = {MarkShape::Cross, MarkShape::Saltire, MarkShape::Hexagon};
  static const MarkShape kKnownShapes[] = {MarkShape::Circle, MarkShape::Square, MarkShape::Triangle,
                                           MarkShape::Diamond, MarkShape::TriangleDown};
  std::vector<TypeMark> marks;
  std::size_t spares = 0;
  for (const std::uint8_t type : typesByCount) {
    if (type >= 1 && type <= 5) {
      marks.push_back({type, cameraTypeStyle(type).colour, kKnownShapes[type - 1]});
    } else if (spares < 9) {
      const std::size_t spare = spares++;
      marks.push_back({type, kSpareColours[spare % 3], kSpareShapes[(spare % 3 + spare / 3) % 3]});
    } else {
      marks.push_back({type, "#888888", MarkShape::Cross});
    }
  }
  return marks;
}

const char* markShapeName(MarkShape shape) noexcept {
  switch (shape) {
    case MarkShape::Circle: return "circle";
    case MarkShape::Square: return "square";
    case MarkShape::Triangle: return "triangle";
    case MarkShape::Diamond: return "diamond";
    case MarkShape::TriangleDown: return "triangleDown";
    case MarkShape::Cross: return "cross";
    case MarkShape::Saltire: return "saltire";
    case MarkShape::Hexagon: return "hexagon";
  }
  return "cross";
}

IconLook typeIconLook(std::uint8_t type) {
  const TypeMark mark = typeMarks({type}).front();
  switch (mark.shape) {
    case MarkShape::Circle: return {rgbOfHex(mark.colour), IconShape::Circle};
    case MarkShape::Square: return {rgbOfHex(mark.colour), IconShape::Square};
    case MarkShape::Triangle: return {rgbOfHex(mark.colour), IconShape::Triangle};
    case MarkShape::Diamond: return {rgbOfHex(mark.colour), IconShape::Diamond};
    case MarkShape::TriangleDown: return {rgbOfHex(mark.colour), IconShape::TriangleDown};
    case MarkShape::Cross: return {rgbOfHex(mark.colour), IconShape::Cross};
    case MarkShape::Saltire: return {rgbOfHex(mark.colour), IconShape::Saltire};
    case MarkShape::Hexagon: return {rgbOfHex(mark.colour), IconShape::Hexagon};
  }
  return {rgbOfHex(mark.colour), IconShape::Cross};
}

}  // namespace tabrino
