#include "core/osm/camera_assembly.h"

#include "core/osm/osm_rules.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace tabrino {
namespace {

std::string relationName(ObjectId id) { return "relation " + std::to_string(id); }

std::uint8_t cameraType(unsigned kinds) {
  if (kinds & kOsmSectionKind) return 4;
  if ((kinds & kOsmSpeedKind) && (kinds & kOsmSignalsKind)) return 2;
  if (kinds & kOsmSignalsKind) return 3;
  return 1;
}

// The angle between two headings, 0 to 180 degrees.
std::int32_t angleBetween(std::int32_t a, std::int32_t b) {
  const std::int32_t difference = std::abs(a - b) % 360;
  return difference > 180 ? 360 - difference : difference;
}

std::int32_t turned(std::int32_t degrees) { return (degrees + 180) % 360; }

// A road split at the camera's node into two ways drawn the same way, one
// ending there and the other starting, with the same speeds, is one road.
std::optional<RoadUse> joined(const RoadUse& a, const RoadUse& b) {
  if (a.maxspeed != b.maxspeed || a.forwardSpeed != b.forwardSpeed || a.backwardSpeed != b.backwardSpeed) {
    return std::nullopt;
  }
  const ObjectId node = a.node;
  if (a.after == node && b.before == node && a.before != node && b.after != node) {
    RoadUse road = a;
    road.after = b.after;
    return road;
  }
  if (b.after == node && a.before == node && b.before != node && a.after != node) return joined(b, a);
  return std::nullopt;
}

// The place of a way: its tags at the centre of its nodes in the extract.
PlaceNode wayPlace(const PlaceWay& way, const std::map<ObjectId, PlaceNode>& nodes) {
  PlaceNode place{osmium::Location(), way.camera, false, way.tags};
  double latitude = 0, longitude = 0;
  std::size_t count = 0;
  for (const ObjectId id : way.nodes) {
    const auto node = nodes.find(id);
    if (node == nodes.end() || node->second.deleted || !node->second.location.valid()) continue;
    latitude += node->second.location.lat();
    longitude += node->second.location.lon();
    ++count;
  }
  if (count > 0) {
    const auto n = static_cast<double>(count);
    place.location = osmium::Location(longitude / n, latitude / n);
  }
  return place;
}

}  // namespace

CameraAssembly::CameraAssembly(const ExtractOptions& options, const std::map<ObjectId, PlaceNode>& nodes,
                               const std::map<ObjectId, PlaceWay>& ways, const std::vector<RoadUse>& roads)
    : options_(options), nodes_(nodes), roads_(roads) {
  for (const auto& [id, way] : ways) wayPlaces_.emplace(id, wayPlace(way, nodes));
}

void CameraAssembly::addRelations(std::vector<Enforcement>& relations) {
  std::sort(relations.begin(), relations.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
  for (const Enforcement& relation : relations) {
    const unsigned kinds = osmEnforcementKinds(relation.kind);
    if (kinds == 0) {
      find(FindingKind::OsmLeftOut, relationName(relation.id) + " (enforcement=" +
                                        (relation.kind.empty() ? std::string("?") : relation.kind) + ")");
      continue;
    }
    // Every device is a camera (a section has one at each end); without
    // one in the extract, the camera stands at "from".
    std::vector<PlaceKey> places;
    for (const PlaceKey device : relation.devices) {
      if (located(device) && std::find(places.begin(), places.end(), device) == places.end()) places.push_back(device);
    }
    if (places.empty() && located({false, relation.from})) places.push_back({false, relation.from});
    if (places.empty()) {
      find(FindingKind::OsmLeftOut, relationName(relation.id) + " (neither its device nor its from node is in the extract)");
      continue;
    }
    std::optional<std::int32_t> along;
    if (located({false, relation.from}) && located({false, relation.to}) && relation.from != relation.to) {
      const osmium::Location from = nodes_.at(relation.from).location, to = nodes_.at(relation.to).location;
      along = initialBearing(from.lat(), from.lon(), to.lat(), to.lon());
    }
    for (const PlaceKey key : places) {
      Camera& camera = cameras_[key];
      camera.kinds |= kinds;
      if (camera.relation == 0) camera.relation = relation.id;
      if (camera.speedRelation == 0 && !relation.maxspeed.empty()) {
        camera.maxspeed = relation.maxspeed;
        camera.speedRelation = relation.id;
      }
      if (!along) continue;
      // A section's devices may stand far from its ends: each watches the
      // road where it stands, in the sense from "from" to "to".
      std::int32_t heading = *along;
      const std::optional<std::int32_t> road = (kinds & kOsmSectionKind) ? roadBearing(key) : std::nullopt;
      if (road) heading = angleBetween(*road, *along) > 90 ? turned(*road) : *road;
      // One device in a relation for each direction watches both.
      if (camera.directionType == 0) {
        camera.directionType = 1;
        camera.degrees = heading;
      } else if (camera.directionType == 1 && angleBetween(camera.degrees, heading) > 90) {
        camera.directionType = 2;
      }
    }
  }
}

void CameraAssembly::addCameraPlaces() {
  for (const auto& [id, node] : nodes_) {
    if (node.camera) cameras_[{false, id}];
  }
  for (const auto& [id, way] : wayPlaces_) {
    if (way.camera) cameras_[{true, id}];
  }
}

std::size_t CameraAssembly::fill(CameraTable& table) {
  table.clear();
  table.reserve(cameras_.size());
  for (auto& [key, camera] : cameras_) {
    const PlaceNode& node = *place(key);
    // A camera without a usable place (out of range, or deleted and so
    // without any) is left out; the rest of the extract still counts.
    if (!node.location.valid()) {
      find(FindingKind::OutOfRange,
           placeName(key) + (node.location.is_defined() ? ": location out of range" : ": no location"));
      continue;
    }
    if (node.deleted) continue;
    // What is found of it now is about the row it makes: row i is tagged
    // i + 1 (the header is line 0), which counted from 1 is line i + 2.
    findingRow_ = table.size() + 2;
    if (key.way && node.camera) find(FindingKind::OsmWayCamera, placeName(key) + " (placed at its nodes' centre)");
    const std::uint8_t type = camera.kinds ? cameraType(camera.kinds) : 1;
    // The direction first, as a road's speed may differ by side; its
    // finding still follows the speed's.
    const std::string directionFinding = camera.directionType == 0 ? directionOf(key, camera, node) : std::string();
    const std::int32_t speed = speedOf(key, camera, node, type);
    if (!directionFinding.empty()) find(FindingKind::OsmDirection, directionFinding);
    findingRow_ = 0;
    const CameraRow row{node.location.lat(), scaleCoordinate(node.location.lon()), type, speedByte(speed),
                        static_cast<std::uint8_t>(camera.directionType), directionCode(camera.degrees)};
    table.appendRow(row, table.size() + 1);
  }
  return table.size();
}

const PlaceNode* CameraAssembly::place(PlaceKey key) const {
  const std::map<ObjectId, PlaceNode>& places = key.way ? wayPlaces_ : nodes_;
  const auto found = places.find(key.id);
  return found == places.end() ? nullptr : &found->second;
}

bool CameraAssembly::located(PlaceKey key) const {
  if (key.id == 0) return false;
  const PlaceNode* found = place(key);
  return found && !found->deleted && found->location.valid();
}

void CameraAssembly::find(FindingKind kind, std::string detail) const {
  if (options_.findings) options_.findings->add({0, kind, std::move(detail), findingRow_});
}

// The object a finding about a camera names: its relation, if any, at its place.
std::string CameraAssembly::ownerName(PlaceKey key, const Camera& camera) const {
  return camera.relation ? relationName(camera.relation) + " at " + placeName(key) : placeName(key);
}

// The roads through a node, each once, in the extract's order; the two ways
// of one road split there as one.
std::vector<RoadUse> CameraAssembly::roadsThrough(PlaceKey key) const {
  std::vector<RoadUse> found;
  if (key.way) return found;
  auto road = std::lower_bound(roads_.begin(), roads_.end(), key.id,
                               [](const RoadUse& use, ObjectId node) { return use.node < node; });
  for (; road != roads_.end() && road->node == key.id; ++road) {
    const ObjectId way = road->way;
    if (std::none_of(found.begin(), found.end(), [&](const RoadUse& r) { return r.way == way; })) {
      found.push_back(*road);
    }
  }
  if (found.size() == 2) {
    if (std::optional<RoadUse> one = joined(found[0], found[1])) found = {*one};
  }
  return found;
}

// The bearing of a road at a node, along its drawing.
std::optional<std::int32_t> CameraAssembly::bearingAlong(const RoadUse& road) const {
  if (!located({false, road.before}) || !located({false, road.after}) || road.before == road.after) return std::nullopt;
  const osmium::Location before = nodes_.at(road.before).location, after = nodes_.at(road.after).location;
  return initialBearing(before.lat(), before.lon(), after.lat(), after.lon());
}

std::optional<std::int32_t> CameraAssembly::roadBearing(PlaceKey key) const {
  const std::vector<RoadUse> through = roadsThrough(key);
  if (through.size() != 1) return std::nullopt;
  return bearingAlong(through.front());
}

std::int32_t CameraAssembly::speedOf(PlaceKey key, const Camera& camera, const PlaceNode& node,
                                     std::uint8_t type) const {
  const std::string owner = ownerName(key, camera);
  std::string source = camera.speedRelation ? camera.maxspeed : node.tags.maxspeed;
  // "signals" or "variable" on the relation says nothing the device's own
  // limit does not say better.
  if (camera.speedRelation && !node.tags.maxspeed.empty() && !osmSpeed(source).problem.empty() &&
      osmSpeed(node.tags.maxspeed).problem.empty()) {
    source = node.tags.maxspeed;
  }
  if (source.empty()) {
    const std::vector<RoadUse> through = roadsThrough(key);
    if (through.size() == 1) {
      const RoadUse& road = through.front();
      std::string value = road.maxspeed, label = "maxspeed", note;
      if (value.empty() && !(road.forwardSpeed.empty() && road.backwardSpeed.empty())) {
        // Each side of the road its own limit: the camera's, where its
        // direction is known; else the lower, the safer to warn of.
        const std::optional<std::int32_t> bearing = bearingAlong(road);
        bool forward;
        if (camera.directionType == 1 && bearing) {
          forward = angleBetween(camera.degrees, *bearing) <= 90;
        } else {
          const OsmSpeed ahead = osmSpeed(road.forwardSpeed), back = osmSpeed(road.backwardSpeed);
          forward = ahead.problem.empty() && (!back.problem.empty() || ahead.kmh <= back.kmh);
          note = ", direction unknown: the lower side's";
        }
        value = forward ? road.forwardSpeed : road.backwardSpeed;
        label = forward ? "maxspeed:forward" : "maxspeed:backward";
      }
      if (!value.empty()) {
        const OsmSpeed speed = osmSpeed(value);
        if (speed.problem.empty()) {
          find(FindingKind::OsmRoadSpeed, owner + " (" + label + " " + std::to_string(speed.kmh) + " of way " +
                                              std::to_string(road.way) + note + ")");
          return speed.kmh;
        }
        find(FindingKind::OsmNoSpeed, owner + " (" + speed.problem + " on way " + std::to_string(road.way) + ")");
        return 0;
      }
    }
    // A red light camera alone needs no speed.
    if (type != 3) {
      find(FindingKind::OsmNoSpeed, owner + (through.size() > 1 ? " (no maxspeed, on " + std::to_string(through.size()) + " roads)"
                                                                : std::string(" (no maxspeed)")));
    }
    return 0;
  }
  const OsmSpeed speed = osmSpeed(source);
  if (!speed.problem.empty()) find(FindingKind::OsmNoSpeed, owner + " (" + speed.problem + ")");
  return speed.kmh;
}

// Sets the camera's direction from its place's tags, as the options ask;
// returns the finding when a tag could not be used.
std::string CameraAssembly::directionOf(PlaceKey key, Camera& camera, const PlaceNode& node) const {
  if (options_.direction == OsmDirectionUse::Ignore) return {};
  // camera:direction says where the lens looks, whatever the options say.
  const bool lens = node.tags.direction.empty();
  const std::string& value = lens ? node.tags.cameraDirection : node.tags.direction;
  if (value.empty()) return {};
  const std::string tag = lens ? "camera:direction" : "direction";
  const std::string owner = ownerName(key, camera);
  const std::vector<std::string_view> words = osmListValues(value);
  if (words.size() == 1 && (words.front() == "forward" || words.front() == "backward")) {
    // The traffic's way along the road (for the lens: the traffic it sees
    // comes the other way).
    const std::vector<RoadUse> through = roadsThrough(key);
    const std::optional<std::int32_t> bearing = through.size() == 1 ? bearingAlong(through.front()) : std::nullopt;
    if (!bearing) {
      return owner + " (" + tag + "=" + value + " on " + std::to_string(through.size()) + " roads): all directions";
    }
    camera.directionType = 1;
    camera.degrees = (words.front() == "backward") != lens ? turned(*bearing) : *bearing;
    return {};
  }
  const std::optional<OsmHeading> heading = osmHeading(value, lens ? OsmDirectionUse::Facing : options_.direction);
  if (!heading) return owner + " (" + tag + " \"" + shownTagValue(value) + "\" not understood): all directions";
  camera.directionType = heading->bothWays ? 2 : 1;
  camera.degrees = heading->degrees;
  return {};
}

}  // namespace tabrino
