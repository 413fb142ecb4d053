// How the tags of an OpenStreetMap camera become a record's fields: the
// speed a maxspeed value gives, the heading a direction value gives, and the
// bearing between two places. Each says when a value could not be used, so
// that the reader can name the object in a finding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

// A maxspeed value read: km/h, or 0 with the reason it gave none.
struct OsmSpeed {
  std::int32_t kmh = 0;
  std::string problem;  // empty when the value gave a speed
};
// "50", "50 km/h", "30 mph" (converted, rounded), an implicit country value
// such as "DE:urban" from a small table; "none", "signals", "variable" and
// anything else give 0 and a problem.
OsmSpeed osmSpeed(std::string_view maxspeed);

// A direction tag read as headings of travel, in whole degrees from north.
struct OsmHeading {
  std::int32_t degrees = 0;
  bool bothWays = false;  // "a;b" with two headings 180 degrees apart
};
enum class OsmDirectionUse {
  Ignore,  // the tag says where the camera looks, not which way traffic goes
  Travel,  // the tag is the heading of the traffic the camera watches
  Facing,  // the tag is where the camera looks: traffic comes towards it
};
// Degrees, one of the 16 compass points or the words north, east, south and
// west, or two of them 180 degrees apart; nothing for anything else
// ("forward" and "backward" need the road and are the caller's).
std::optional<OsmHeading> osmHeading(std::string_view direction, OsmDirectionUse use);

// The values of a tag that lists several with ";", each without the spaces
// mappers put around it ("maxspeed; traffic_signals").
std::vector<std::string_view> osmListValues(std::string_view value);

// What an enforcement relation's kinds make of its devices, as bits:
// maxspeed, traffic_signals, average_speed, in any order; 0 when any kind
// listed is another (check, toll, ...).
enum OsmEnforcementKind : unsigned { kOsmSpeedKind = 1, kOsmSignalsKind = 2, kOsmSectionKind = 4 };
unsigned osmEnforcementKinds(std::string_view enforcement);

// Whether a way's highway value is a road for motor traffic, the only roads
// whose speed and bearing a camera on them takes (not a footway crossing).
bool isMotorRoad(std::string_view highway);

// A tag's value as a finding shows it: its first 40 bytes at most, never
// half a character.
std::string shownTagValue(std::string_view value);

// The initial great-circle bearing from one place to another, in whole
// degrees from 0 to 359.
std::int32_t initialBearing(double fromLatitude, double fromLongitude, double toLatitude, double toLongitude);

}  // namespace tabrino
