// What every reader of a shared format (GPX, KML, GeoJSON, CSV, OV2) hands
// on for each camera: the texts of the fields it found, by their meaning.
// One set of rules turns them into a row, so that a speed or a heading means
// the same whichever format carried it, and a coordinate's text gives the
// same row as the same text in a list cell.
#pragma once

#include "core/list/camera_table.h"
#include "core/list/list_findings.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace tabrino {

// The meaning of a field, from its name (case-insensitive): "type"; "speed",
// "maxspeed", "speed_limit", "vmax"; "dirtype"; "direction", "heading",
// "bearing", "course", "angle"; "name"; "unit", "units", "speed_unit".
enum class CameraField { None, Type, Speed, DirType, Direction, Name, SpeedUnit };
CameraField cameraFieldNamed(std::string_view name) noexcept;

// Whether `name` is one of `names` (written in lower case), in any case.
bool isNamed(std::string_view name, std::initializer_list<std::string_view> names) noexcept;
// A cell without the spaces, tabs and carriage return around it.
std::string_view trimmedCell(std::string_view text) noexcept;

// The texts one camera was given; an empty view is a field not given.
struct CameraFields {
  std::string_view x, y;  // decimal degrees as written
  std::string_view type, speed, dirType, direction, name, speedUnit;
  // Sets the field `name` means; false for a name of no meaning here.
  bool set(std::string_view fieldName, std::string_view value) noexcept;
};

// What the user gives for a whole input, when its cameras do not say.
struct CameraDefaults {
  std::optional<std::uint8_t> type;  // else 1, a fixed camera
  std::optional<std::int32_t> speed; // before the file name's number
};

// The number standing alone in a file's name, set off by '_', '-', '@', a
// space or a dot ("GATSO_50.csv" is 50; "list2.txt" has none).
std::optional<std::int32_t> speedInFileName(const std::filesystem::path& path);
// The number after the last '@' of a name ("Blitzer@50", "Radar A100 @80").
std::optional<std::int32_t> speedInName(std::string_view name) noexcept;
// A speed field: a number, or text holding one ("50", "30 mph"); in km/h.
std::optional<std::int32_t> speedOfField(std::string_view text, bool milesPerHour) noexcept;

// Where one input's cameras go: rows of a table, numbered by the line each
// was found on, or (for a table that keeps text) the lines of the list they
// make, each on the line of its camera where the lines allow.
class CameraSink {
 public:
  struct Setup {
    CameraTable* table = nullptr;
    FindingSink* findings = nullptr;
    CameraDefaults defaults;
    std::optional<std::int32_t> fileSpeed;  // speedInFileName of the input
    std::uint64_t firstLine = 0;            // the line (from 0) the input's first line takes
    bool keepText = false;
    // Among several inputs, a finding of no line takes the input's first,
    // so that the report names the input; alone it has line 0.
    bool severalInputs = false;
  };
  explicit CameraSink(const Setup& setup);

  // A camera found on `line` (from 1, in its own file). `exact`: its
  // coordinates are our export's stored values written out (decimals read
  // as they stand, no rounding on the way), not a list cell's text.
  void add(const CameraFields& fields, std::uint64_t line, bool exact = false);
  // A camera given as stored values (degrees × 10000), as binary formats hold them.
  void addScaled(std::int32_t latitude, std::int32_t longitude, const CameraFields& fields, std::uint64_t line);
  // A finding on `line` (from 1, in its own file; 0 for the input's first).
  void find(std::uint64_t line, FindingKind kind, std::string detail);
  bool listening() const noexcept { return setup_.findings != nullptr; }

  std::size_t cameras() const noexcept { return cameras_; }
  // The list text the cameras make, for a table that keeps text.
  std::string takeText() { return std::move(text_); }

 private:
  void put(const CameraRow& row, std::string_view latitudeText, const CameraFields& fields, std::uint64_t line);

  Setup setup_;
  std::size_t cameras_ = 0;
  std::string text_;
  std::uint64_t textLines_ = 1;  // the kept text's lines, its header's included
};

// Decimal text read exactly in units of 1/10000 degree ("40.9709" is
// 409709), as our exports write stored values; nothing for other text.
std::optional<std::int32_t> exactScaled(std::string_view text) noexcept;

}  // namespace tabrino
