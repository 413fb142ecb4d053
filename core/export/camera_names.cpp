#include "core/export/camera_names.h"

#include "core/export/geo_export.h"

#include <algorithm>

namespace tabrino {

std::string cameraTypeWord(std::uint8_t type) {
  switch (type) {
    case 1: return "Fixed";
    case 2: return "RedLightSpeed";
    case 3: return "RedLight";
    case 4: return "Section";
    case 5: return "Mobile";
    default: return "Type" + std::to_string(type);
  }
}

std::string cameraComment(const CameraRecord& record) {
  std::string text = cameraTypeName(record.type) + "; ";
  // Speeds below 10 are stored as 0: no limit.
  text += record.speed != 0 ? std::to_string(record.speed) + " km/h" : std::string("no limit");
  const std::int32_t heading = directionDegrees(record.directionCode) % 360;
  switch (record.directionType) {
    case 0: text += "; all directions"; break;
    case 1: text += "; heading " + std::to_string(heading); break;
    case 2:
      text += "; headings " + std::to_string(std::min(heading, (heading + 180) % 360)) + " and " +
              std::to_string(std::max(heading, (heading + 180) % 360));
      break;
    default: text += "; direction type " + std::to_string(record.directionType); break;
  }
  return text;
}

NameTemplate::NameTemplate(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('{', at);
    if (open != at) {
      parts_.push_back({Field::Text, std::string(text.substr(at, open - at))});
      if (open == std::string_view::npos) break;
    }
    const std::size_t close = text.find('}', open);
    if (close == std::string_view::npos) {
      throw NameTemplateError("the name template \"" + std::string(text) + "\" opens a { it does not close");
    }
    const std::string_view field = text.substr(open + 1, close - open - 1);
    if (field == "type") {
      parts_.push_back({Field::Type, {}});
    } else if (field == "speed") {
      parts_.push_back({Field::Speed, {}});
    } else if (field == "heading") {
      parts_.push_back({Field::Heading, {}});
    } else {
      throw NameTemplateError("the name template \"" + std::string(text) + "\" names {" + std::string(field) +
                              "}; it knows {type}, {speed} and {heading}");
    }
    at = close + 1;
  }
}

void NameTemplate::appendName(std::string& out, const CameraRecord& record) const {
  for (const Part& part : parts_) {
    switch (part.field) {
      case Field::Text: out += part.text; break;
      case Field::Type: out += cameraTypeName(record.type); break;
      case Field::Speed: out += std::to_string(record.speed); break;
      case Field::Heading:
        if (record.directionType != 0) out += std::to_string(directionDegrees(record.directionCode) % 360);
        break;
    }
  }
}

std::string NameTemplate::name(const CameraRecord& record) const {
  std::string out;
  appendName(out, record);
  return out;
}

}  // namespace tabrino
