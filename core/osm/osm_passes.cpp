#include "core/osm/osm_passes.h"

#include "core/osm/osm_rules.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tabrino {
namespace {

std::string tagOf(const osmium::OSMObject& object, const char* key) {
  const char* value = object.tags()[key];
  return value ? value : "";
}

PlaceTags placeTags(const osmium::OSMObject& object) {
  return {tagOf(object, "maxspeed"), tagOf(object, "direction"), tagOf(object, "camera:direction")};
}

bool isCamera(const osmium::OSMObject& object) {
  return std::strcmp(object.tags().get_value_by_key("highway", ""), "speed_camera") == 0;
}

void addRoadUses(const osmium::Way& way, const std::vector<ObjectId>& wanted, std::vector<RoadUse>& roads) {
  const osmium::WayNodeList& nodes = way.nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const ObjectId id = nodes[i].ref();
    if (!containsId(wanted, id)) continue;
    // A closed way lists its first node again at its end: count it once.
    if (i + 1 == nodes.size() && i > 0 && way.is_closed()) continue;
    roads.push_back({id, way.id(), tagOf(way, "maxspeed"), tagOf(way, "maxspeed:forward"),
                     tagOf(way, "maxspeed:backward"), nodes[i > 0 ? i - 1 : i].ref(),
                     nodes[i + 1 < nodes.size() ? i + 1 : i].ref()});
  }
}

}  // namespace

std::string placeName(PlaceKey key) { return (key.way ? "way " : "node ") + std::to_string(key.id); }

bool containsId(const std::vector<ObjectId>& sorted, ObjectId id) {
  return std::binary_search(sorted.begin(), sorted.end(), id);
}

void sortUnique(std::vector<ObjectId>& ids) {
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

void RelationPass::relation(const osmium::Relation& relation) {
  if (!relation.visible() || std::strcmp(relation.tags().get_value_by_key("type", ""), "enforcement") != 0) return;
  Enforcement enforcement{relation.id(), tagOf(relation, "enforcement"), tagOf(relation, "maxspeed"), {}};
  for (const osmium::RelationMember& member : relation.members()) {
    const std::string_view role = member.role();
    const bool node = member.type() == osmium::item_type::node;
    if (role == "device" && (node || member.type() == osmium::item_type::way)) {
      enforcement.devices.push_back({!node, member.ref()});
    } else if (node && (role == "from" || role == "to")) {
      ObjectId& slot = role == "from" ? enforcement.from : enforcement.to;
      if (slot == 0) slot = member.ref();
    }
  }
  relations.push_back(std::move(enforcement));
}

void NodeWayPass::node(const osmium::Node& node) {
  const bool camera = isCamera(node);
  if (!camera && !containsId(wanted, node.id())) return;
  nodes[node.id()] = {node.location(), camera, !node.visible(), placeTags(node)};
  if (camera && node.visible()) {
    places.push_back(node.id());
    placesSorted = false;
  }
}

void NodeWayPass::way(const osmium::Way& way) {
  if (!way.visible()) return;
  const bool camera = isCamera(way);
  if (camera || containsId(wantedWays, way.id())) {
    PlaceWay& place = ways[way.id()];
    place = {camera, placeTags(way), {}};
    const osmium::WayNodeList& wayNodes = way.nodes();
    const bool closed = wayNodes.size() > 1 && way.is_closed();
    const std::size_t count = wayNodes.size() - (closed ? 1 : 0);
    for (std::size_t i = 0; i < count; ++i) place.nodes.push_back(wayNodes[i].ref());
  }
  if (places.empty() || !isMotorRoad(way.tags().get_value_by_key("highway", ""))) return;
  if (!placesSorted) {
    sortUnique(places);
    placesSorted = true;
  }
  addRoadUses(way, places, roads);
}

void NeighbourPass::node(const osmium::Node& node) {
  if (node.visible() && containsId(wanted, node.id())) nodes[node.id()].location = node.location();
}

}  // namespace tabrino
