#include "core/osm/osm_rules.h"

#include "core/base/c_numbers.h"
#include "core/base/utf8_text.h"
#include "core/model/earth.h"

#include <array>
#include <cmath>
#include <utility>

namespace tabrino {
namespace {

constexpr double kKilometresPerMile = 1.609344;

// The implicit limits mappers write most, in km/h (a mile-based country's
// values already converted). A value not here gives 0 and a finding: a wrong
// guess would be worse on a device than no speed.
constexpr std::pair<std::string_view, std::int32_t> kImplicitSpeeds[] = {
    {"AT:urban", 50},   {"AT:rural", 100},  {"AT:motorway", 130}, {"BE:urban", 50},   {"BE:motorway", 120},
    {"CH:urban", 50},   {"CH:rural", 80},   {"CH:motorway", 120}, {"CZ:urban", 50},   {"CZ:rural", 90},
    {"CZ:motorway", 130}, {"DE:urban", 50}, {"DE:rural", 100},
    {"DK:urban", 50},   {"DK:rural", 80},   {"DK:motorway", 130}, {"ES:urban", 50},   {"ES:rural", 90},
    {"ES:motorway", 120}, {"FR:urban", 50}, {"FR:rural", 80},     {"FR:motorway", 130}, {"GB:nsl_single", 97},
    {"GB:nsl_dual", 113}, {"GB:motorway", 113}, {"IT:urban", 50}, {"IT:rural", 90},   {"IT:motorway", 130},
    {"NL:urban", 50},   {"NL:rural", 80},   {"NL:motorway", 130}, {"PL:urban", 50},   {"PL:rural", 90},
    {"PL:motorway", 140}, {"RU:urban", 60}, {"RU:rural", 90},     {"RU:motorway", 110}, {"SE:urban", 50},
    {"SE:rural", 70},
};

constexpr std::array<std::string_view, 16> kCompassPoints = {
    "N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE", "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
// Mappers write the four cardinal points as words too.
constexpr std::pair<std::string_view, double> kCompassWords[] = {
    {"north", 0}, {"east", 90}, {"south", 180}, {"west", 270}};

constexpr std::string_view kMotorRoads[] = {
    "motorway",      "motorway_link", "trunk",          "trunk_link",    "primary",     "primary_link",
    "secondary",     "secondary_link", "tertiary",      "tertiary_link", "unclassified", "residential",
    "living_street", "service"};

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::int32_t normalDegrees(double degrees) {
  const auto whole = static_cast<std::int32_t>(std::lround(std::fmod(degrees, 360.0)));
  return ((whole % 360) + 360) % 360;
}

// One heading: degrees (0 to 360) or a compass point.
std::optional<double> headingDegrees(std::string_view text) {
  text = trimmed(text);
  for (std::size_t i = 0; i < kCompassPoints.size(); ++i) {
    if (text == kCompassPoints[i]) return 22.5 * static_cast<double>(i);
  }
  for (const auto& [word, degrees] : kCompassWords) {
    if (text == word) return degrees;
  }
  const ParsedNumber<double> number = parseCDouble(text);
  if (text.empty() || number.length != text.size() || !(number.value >= 0 && number.value <= 360)) return std::nullopt;
  return number.value;
}

}  // namespace

OsmSpeed osmSpeed(std::string_view maxspeed) {
  const std::string_view text = trimmed(maxspeed);
  if (text == "none" || text == "signals" || text == "variable") return {0, "maxspeed=" + std::string(text)};
  for (const auto& [name, kmh] : kImplicitSpeeds) {
    if (text == name) return {kmh, {}};
  }
  const ParsedNumber<double> number = parseCDouble(text);
  const std::string_view unit = trimmed(text.substr(number.length));
  double kmh = number.value;
  bool known = number.length > 0 && std::isfinite(number.value);
  if (unit == "mph") {
    kmh = number.value * kKilometresPerMile;
  } else if (!unit.empty() && unit != "km/h") {
    known = false;
  }
  if (!known || !(kmh > 0 && kmh < 256)) return {0, "maxspeed \"" + shownTagValue(text) + "\" not understood"};
  return {static_cast<std::int32_t>(std::lround(kmh)), {}};
}

std::vector<std::string_view> osmListValues(std::string_view value) {
  std::vector<std::string_view> values;
  for (std::size_t start = 0;;) {
    const std::size_t semicolon = value.find(';', start);
    values.push_back(trimmed(value.substr(start, semicolon - start)));
    if (semicolon == std::string_view::npos) return values;
    start = semicolon + 1;
  }
}

unsigned osmEnforcementKinds(std::string_view enforcement) {
  unsigned kinds = 0;
  for (const std::string_view kind : osmListValues(enforcement)) {
    if (kind == "maxspeed") {
      kinds |= kOsmSpeedKind;
    } else if (kind == "traffic_signals") {
      kinds |= kOsmSignalsKind;
    } else if (kind == "average_speed") {
      kinds |= kOsmSectionKind;
    } else {
      return 0;
    }
  }
  return kinds;
}

bool isMotorRoad(std::string_view highway) {
  for (const std::string_view road : kMotorRoads) {
    if (highway == road) return true;
  }
  return false;
}

std::string shownTagValue(std::string_view value) {
  constexpr std::size_t kShownLength = 40;
  return std::string(value.substr(0, utf8CutLength(value, kShownLength)));
}

std::optional<OsmHeading> osmHeading(std::string_view direction, OsmDirectionUse use) {
  const double turn = use == OsmDirectionUse::Facing ? 180.0 : 0.0;
  const std::size_t semicolon = direction.find(';');
  const std::optional<double> first = headingDegrees(direction.substr(0, semicolon));
  if (!first) return std::nullopt;
  if (semicolon == std::string_view::npos) return OsmHeading{normalDegrees(*first + turn), false};
  const std::optional<double> second = headingDegrees(direction.substr(semicolon + 1));
  if (!second || normalDegrees(*second - *first) != 180) return std::nullopt;
  return OsmHeading{normalDegrees(*first + turn), true};
}

std::int32_t initialBearing(double fromLatitude, double fromLongitude, double toLatitude, double toLongitude) {
  const double phi1 = fromLatitude * kRadiansPerDegree;
  const double phi2 = toLatitude * kRadiansPerDegree;
  const double deltaLambda = (toLongitude - fromLongitude) * kRadiansPerDegree;
  const double y = std::sin(deltaLambda) * std::cos(phi2);
  const double x = std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(deltaLambda);
  return normalDegrees(std::atan2(y, x) / kRadiansPerDegree + 360.0);
}

}  // namespace tabrino
