// What a camera is called on a device that shows only a name and an icon:
// the name a template makes of it (OV2 and POI CSV entries), the short word
// file names give its type, and the comment a POI CSV line carries.
#pragma once

#include "core/base/errors.h"
#include "core/model/camera_record.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

// "Fixed", "RedLightSpeed", "RedLight", "Section", "Mobile", "Type192": the
// type in a file name, without blanks.
std::string cameraTypeWord(std::uint8_t type);

// "Fixed camera; 60 km/h; heading 90": type, speed and heading in plain
// ASCII, which every device's charset holds, and without commas, which some
// readers of POI CSV take for the end of the field even inside quotes.
std::string cameraComment(const CameraRecord& record);

// A template that names no field it knows, or an unclosed brace.
class NameTemplateError : public TabrinoError {
 public:
  explicit NameTemplateError(std::string messageText) : TabrinoError(std::move(messageText)) {}
};

// A camera's name from a template: {type} is the type's name ("Fixed
// camera"), {speed} the limit in km/h (0: none), {heading} the direction in
// degrees (0 to 359; empty for all directions). Other text is copied. Parsed
// once, applied per camera without allocating.
class NameTemplate {
 public:
  // Devices of this family read "NAME@SPEED" as a camera with that limit.
  static constexpr const char* kDefault = "{type}@{speed}";
  // Throws NameTemplateError.
  explicit NameTemplate(std::string_view text = kDefault);
  void appendName(std::string& out, const CameraRecord& record) const;
  std::string name(const CameraRecord& record) const;

 private:
  enum class Field { Text, Type, Speed, Heading };
  struct Part {
    Field field;
    std::string text;
  };
  std::vector<Part> parts_;
};

}  // namespace tabrino
