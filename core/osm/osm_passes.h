// What each pass over an extract keeps of it: the enforcement relations;
// the camera nodes and ways, the places the relations name and the roads
// through cameras; then the nodes beside cameras on their roads and those of
// the ways drawn as cameras. Each keeps only what concerns cameras, so that
// memory follows the cameras and relations, never the extract.
#pragma once

#include <osmium/handler.hpp>
#include <osmium/osm/location.hpp>
#include <osmium/osm/node.hpp>
#include <osmium/osm/relation.hpp>
#include <osmium/osm/types.hpp>
#include <osmium/osm/way.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tabrino {

using ObjectId = osmium::object_id_type;

// An object a camera may stand at: a node, or a way (its nodes' centre).
struct PlaceKey {
  bool way = false;
  ObjectId id = 0;

  bool operator<(const PlaceKey& other) const {
    return way != other.way ? !way : id < other.id;  // nodes first
  }
  bool operator==(const PlaceKey& other) const { return way == other.way && id == other.id; }
};
std::string placeName(PlaceKey key);  // "node 12", "way 7"

// The tags of a camera's place that give its speed and direction.
struct PlaceTags {
  std::string maxspeed, direction, cameraDirection;
};

// A node a camera stands at, or that a relation, a road or a camera's way
// names.
struct PlaceNode {
  osmium::Location location;
  bool camera = false;   // tagged highway=speed_camera
  bool deleted = false;  // deleted (in an editor's file: not yet uploaded)
  PlaceTags tags;
};

// A way drawn as a camera, or named as a relation's device.
struct PlaceWay {
  bool camera = false;  // tagged highway=speed_camera
  PlaceTags tags;
  std::vector<ObjectId> nodes;  // a closed way's first node once
};

// A road for motor traffic through a camera's node, and the nodes beside it
// there (the node itself at the road's ends), for the road's bearing. Once
// the roads are read they are ordered by node, so that a camera finds its
// own in a few steps rather than among every road's.
struct RoadUse {
  ObjectId node;
  ObjectId way;
  std::string maxspeed, forwardSpeed, backwardSpeed;  // maxspeed, maxspeed:forward, maxspeed:backward
  ObjectId before, after;
};

struct Enforcement {
  ObjectId id;
  std::string kind, maxspeed;
  std::vector<PlaceKey> devices;  // every device member, nodes and ways
  ObjectId from = 0, to = 0;      // 0: no such member
};

// The first pass reads only relations (a PBF reader then skips the nodes'
// and ways' blocks): the enforcement relations.
struct RelationPass : osmium::handler::Handler {
  std::vector<Enforcement> relations;

  void relation(const osmium::Relation& relation);
};

// The second pass: camera nodes and the nodes the relations name, then the
// ways drawn as cameras or named as devices, and the roads through the
// places of cameras (nodes come before ways in an extract).
struct NodeWayPass : osmium::handler::Handler {
  const std::vector<ObjectId>& wanted;      // nodes, sorted
  const std::vector<ObjectId>& wantedWays;  // sorted
  std::map<ObjectId, PlaceNode> nodes;
  std::map<ObjectId, PlaceWay> ways;
  std::vector<ObjectId> places;  // camera nodes and relation places, sorted once the ways begin
  bool placesSorted = false;
  std::vector<RoadUse> roads;

  NodeWayPass(const std::vector<ObjectId>& wantedNodes, const std::vector<ObjectId>& wantedWayIds,
              std::vector<ObjectId> relationPlaces)
      : wanted(wantedNodes), wantedWays(wantedWayIds), places(std::move(relationPlaces)) {}

  void node(const osmium::Node& node);
  void way(const osmium::Way& way);
};

// A third pass where a place needs nodes not yet read: the nodes beside
// cameras on their roads, for a bearing; those of ways drawn as cameras.
struct NeighbourPass : osmium::handler::Handler {
  const std::vector<ObjectId>& wanted;  // sorted
  std::map<ObjectId, PlaceNode>& nodes;

  NeighbourPass(const std::vector<ObjectId>& wantedNodes, std::map<ObjectId, PlaceNode>& found)
      : wanted(wantedNodes), nodes(found) {}

  void node(const osmium::Node& node);
};

bool containsId(const std::vector<ObjectId>& sorted, ObjectId id);
void sortUnique(std::vector<ObjectId>& ids);

}  // namespace tabrino
