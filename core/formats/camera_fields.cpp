#include "core/formats/camera_fields.h"

#include "core/base/c_numbers.h"
#include "core/list/list_text.h"
#include "core/model/coordinate_text.h"

#include <array>
#include <cmath>

namespace tabrino {
namespace {

char lowered(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowered(a[i]) != lowered(b[i])) return false;
  }
  return true;
}

bool holdsMph(std::string_view text) noexcept {
  for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
    if (sameName(text.substr(i, 3), "mph")) return true;
  }
  return false;
}

std::string_view trimmed(std::string_view text) noexcept { return trimmedCell(text); }

// One to three digits standing alone: a speed, not a year or a date.
std::optional<std::int32_t> smallNumber(std::string_view digits) noexcept {
  if (digits.empty() || digits.size() > 3) return std::nullopt;
  std::int32_t value = 0;
  for (const char c : digits) {
    if (!isAsciiDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A number at the start of a field's text; nothing when it has none.
std::optional<std::int32_t> leadingInt(std::string_view text) noexcept {
  if (text.empty()) return std::nullopt;
  const ParsedNumber<std::int32_t> number = parseCInt(text);
  if (number.length == 0) return std::nullopt;
  return number.value;
}

// A list cell's text for a latitude: the text given where a list would
// read it alike, else the shortest that gives the same stored value.
std::string latitudeCell(std::string_view given, std::int32_t scaled) {
  given = trimmed(given);
  const ParsedNumber<double> number = parseCDouble(given);
  if (!given.empty() && number.length == given.size() && given.find_first_of(",\n\r") == std::string_view::npos &&
      given.front() != ' ') {
    return std::string(given);
  }
  return coordinateText(scaled);
}

}  // namespace

bool isNamed(std::string_view name, std::initializer_list<std::string_view> names) noexcept {
  for (const std::string_view candidate : names) {
    if (sameName(name, candidate)) return true;
  }
  return false;
}

std::string_view trimmedCell(std::string_view text) noexcept {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

CameraField cameraFieldNamed(std::string_view name) noexcept {
  struct Named {
    std::string_view name;
    CameraField field;
  };
  static constexpr std::array<Named, 15> kNames = {{
      {"type", CameraField::Type},           {"speed", CameraField::Speed},
      {"maxspeed", CameraField::Speed},      {"speed_limit", CameraField::Speed},
      {"vmax", CameraField::Speed},          {"dirtype", CameraField::DirType},
      {"direction", CameraField::Direction}, {"heading", CameraField::Direction},
      {"bearing", CameraField::Direction},   {"course", CameraField::Direction},
      {"angle", CameraField::Direction},     {"name", CameraField::Name},
      {"unit", CameraField::SpeedUnit},      {"units", CameraField::SpeedUnit},
      {"speed_unit", CameraField::SpeedUnit},
  }};
  name = trimmed(name);
  for (const Named& named : kNames) {
    if (sameName(name, named.name)) return named.field;
  }
  return CameraField::None;
}

bool CameraFields::set(std::string_view fieldName, std::string_view value) noexcept {
  switch (cameraFieldNamed(fieldName)) {
    case CameraField::None: return false;
    case CameraField::Type: type = value; break;
    case CameraField::Speed: speed = value; break;
    case CameraField::DirType: dirType = value; break;
    case CameraField::Direction: direction = value; break;
    case CameraField::Name: name = value; break;
    case CameraField::SpeedUnit: speedUnit = value; break;
  }
  return true;
}

std::optional<std::int32_t> speedInFileName(const std::filesystem::path& path) {
  const std::string name = path.filename().u8string();
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '_' || name[i] == '-' || name[i] == '@' || name[i] == ' ' || name[i] == '.') {
      if (const auto speed = smallNumber(std::string_view(name).substr(start, i - start))) return speed;
      start = i + 1;
    }
  }
  return std::nullopt;
}

std::optional<std::int32_t> speedInName(std::string_view name) noexcept {
  const std::size_t at = name.rfind('@');
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = name.substr(at + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  std::size_t digits = 0;
  while (digits < rest.size() && isAsciiDigit(rest[digits])) ++digits;
  return smallNumber(rest.substr(0, digits));
}

std::optional<std::int32_t> speedOfField(std::string_view text, bool milesPerHour) noexcept {
  text = trimmed(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  const ParsedNumber<double> number = parseCDouble(text);
  if (number.length == 0 || !(number.value >= 0 && number.value < 1000)) return std::nullopt;
  const double kmh = milesPerHour || holdsMph(text.substr(number.length)) ? number.value * 1.609344 : number.value;
  return static_cast<std::int32_t>(std::floor(kmh + 0.5));
}

std::optional<std::int32_t> exactScaled(std::string_view text) noexcept {
  text = trimmed(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  std::int64_t units = 0;
  std::size_t i = 0;
  for (; i < text.size() && isAsciiDigit(text[i]); ++i) {
    units = units * 10 + (text[i] - '0');
    if (units > 1000) return std::nullopt;  // no coordinate reaches it
  }
  if (i == 0) return std::nullopt;
  int decimals = 0;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && isAsciiDigit(text[i]); ++i, ++decimals) {
      if (decimals == 4) return std::nullopt;
      units = units * 10 + (text[i] - '0');
    }
  }
  if (i != text.size()) return std::nullopt;
  for (; decimals < 4; ++decimals) units *= 10;
  return static_cast<std::int32_t>(negative ? -units : units);
}

CameraSink::CameraSink(const Setup& setup) : setup_(setup) {
  if (setup_.keepText) text_ = listHeaderLine();
}

void CameraSink::find(std::uint64_t line, FindingKind kind, std::string detail) {
  if (!setup_.findings) return;
  const std::uint64_t at = line != 0 ? setup_.firstLine + line : setup_.severalInputs ? setup_.firstLine + 1 : 0;
  setup_.findings->add({at, kind, std::move(detail)});
}

void CameraSink::add(const CameraFields& fields, std::uint64_t line, bool exact) {
  if (exact) {
    const auto longitude = exactScaled(fields.x);
    const auto latitude = exactScaled(fields.y);
    if (longitude && latitude) return addScaled(*latitude, *longitude, fields, line);
  }
  // A list cell's rules: the number the text starts with, else 0.
  const ParsedNumber<double> x = parseCDouble(fields.x);
  const ParsedNumber<double> y = parseCDouble(fields.y);
  if (listening()) {
    const std::uint64_t at = setup_.firstLine + line;
    if (x.length == 0) setup_.findings->add(cellFinding(at, "X", fields.x, 0));
    if (y.length == 0) setup_.findings->add(cellFinding(at, "Y", fields.y, 0));
  }
  CameraRow row{y.value, scaleCoordinate(x.value), 0, 0, 0, 0};
  put(row, fields.y, fields, line);
}

void CameraSink::addScaled(std::int32_t latitude, std::int32_t longitude, const CameraFields& fields,
                           std::uint64_t line) {
  // The latitude a list's shortest text for it reads as: it scales back exactly.
  const std::string text = coordinateText(latitude);
  CameraRow row{atofC(text), longitude, 0, 0, 0, 0};
  put(row, text, fields, line);
}

void CameraSink::put(const CameraRow& located, std::string_view latitudeText, const CameraFields& fields,
                     std::uint64_t line) {
  CameraRow row = located;
  const std::optional<std::int32_t> type = leadingInt(fields.type);
  row.type = type ? lowByte(*type) : setup_.defaults.type.value_or(std::uint8_t{1});

  std::optional<std::int32_t> speed = speedOfField(fields.speed, holdsMph(fields.speedUnit));
  if (!speed) speed = speedInName(fields.name);
  if (!speed) speed = setup_.defaults.speed;
  if (!speed) speed = setup_.fileSpeed;
  row.speed = speedByte(speed.value_or(0));

  const std::optional<std::int32_t> dirType = leadingInt(fields.dirType);
  const std::optional<std::int32_t> direction = leadingInt(fields.direction);
  row.directionType = dirType ? lowByte(*dirType) : static_cast<std::uint8_t>(direction ? 1 : 0);
  row.directionCode = directionCode(direction.value_or(0));

  ++cameras_;
  const std::optional<CameraRecord> record = recordOf(row);
  if (!record && listening()) {
    const std::string x = fields.x.empty() ? coordinateText(row.longitude) : std::string(fields.x);
    setup_.findings->add(outOfRangeFinding(setup_.firstLine + line, x, latitudeText));
  }
  if (!setup_.keepText) {
    setup_.table->appendRow(row, setup_.firstLine + line - 1);
    return;
  }
  // A table that keeps text is given the list the cameras make: a row out of
  // bounds has no record to write, and has been reported already.
  if (!record) return;
  while (textLines_ + 1 < line) {
    text_ += '\n';
    ++textLines_;
  }
  const RecordTexts cells = recordTexts(*record);
  text_ += std::to_string(cameras_) + "," + cells.x + "," + latitudeCell(latitudeText, record->latitude) + "," +
           cells.type + "," + cells.speed + "," + cells.dirType + "," + cells.direction + "\n";
  ++textLines_;
}

}  // namespace tabrino
