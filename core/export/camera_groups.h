// Cameras cut into the files a device takes: one group per speed, per type or
// per both, each named by a file-name template, and groups over a cap cut
// again into parts of nearby cameras. Everything here depends on the cameras
// alone, never on their order: the same list gives the same files.
#pragma once

#include "core/base/errors.h"
#include "core/model/camera_record.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

enum class SplitBy { Nothing, Speed, Type, TypeAndSpeed };

// "speed", "type", "type,speed" (also "speed,type").
std::optional<SplitBy> splitByNamed(std::string_view name) noexcept;

// A file-name template that names an unknown field or leaves a brace open,
// or whose names would not tell the groups apart.
class FileTemplateError : public TabrinoError {
 public:
  explicit FileTemplateError(std::string messageText) : TabrinoError(std::move(messageText)) {}
};

// The fields a file name is made of: {type} is the type's word ("Fixed"; "All"
// when the cameras are not split by type), {speed} the limit ("all" when not
// split by speed), {region} the region's name given.
struct FileNameFields {
  std::string fileTemplate = kDefault;
  std::string region;  // empty: {region} is refused
  static constexpr const char* kDefault = "{type}_{speed}";
};

// Throws FileTemplateError for a template that names an unknown field, or
// {region} without a region.
void checkFileTemplate(const FileNameFields& fields);

struct CameraBox {
  std::int32_t west, south, east, north;  // stored units
};
// The box around the cameras (which must not be empty).
CameraBox boxAround(const std::vector<CameraRecord>& cameras) noexcept;

struct CameraGroup {
  std::string baseName;  // the file's name without its extension, "Fixed_50" or "Fixed_50-2"
  std::vector<CameraRecord> cameras;
};

// The cameras in groups by `split`, ordered by type then speed, each cut into
// parts of at most maxPerFile cameras (0: no cap) named "-1", "-2", ...: the
// cameras' box is cut at the median of its longer side, again and again, into
// as few parts as the cap allows. Throws FileTemplateError when two groups
// would take one name, and for what checkFileTemplate refuses.
std::vector<CameraGroup> groupCameras(const std::vector<CameraRecord>& cameras, SplitBy split,
                                      const FileNameFields& fields, std::uint64_t maxPerFile);

}  // namespace tabrino
