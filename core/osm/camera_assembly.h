// How what the passes kept of an extract becomes cameras: one per place (a
// node, or a way's centre) with its type from the relations placed there,
// its speed and its direction, each guess or loss told as a finding that
// names the object.
#pragma once

#include "core/list/camera_table.h"
#include "core/osm/osm_extract.h"
#include "core/osm/osm_passes.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tabrino {

class CameraAssembly {
 public:
  // `roads` ordered by node. The places of ways are their nodes' centres,
  // so their nodes must be in `nodes`.
  CameraAssembly(const ExtractOptions& options, const std::map<ObjectId, PlaceNode>& nodes,
                 const std::map<ObjectId, PlaceWay>& ways, const std::vector<RoadUse>& roads);

  void addRelations(std::vector<Enforcement>& relations);
  // The nodes and ways tagged as cameras (one row for a place that a
  // relation already holds).
  void addCameraPlaces();
  // Clears the table and fills it with a row per camera: nodes in the order
  // of their ids, then ways. Returns the number of rows.
  std::size_t fill(CameraTable& table);

 private:
  struct Camera {
    unsigned kinds = 0;     // from relations; none: a camera node alone
    ObjectId relation = 0;  // the first relation placed here, named in findings
    std::string maxspeed;   // the first relation's maxspeed that has one
    ObjectId speedRelation = 0;
    std::int32_t directionType = 0, degrees = 0;
  };

  const PlaceNode* place(PlaceKey key) const;
  bool located(PlaceKey key) const;
  void find(FindingKind kind, std::string detail) const;
  std::string ownerName(PlaceKey key, const Camera& camera) const;
  std::vector<RoadUse> roadsThrough(PlaceKey key) const;
  std::optional<std::int32_t> bearingAlong(const RoadUse& road) const;
  std::optional<std::int32_t> roadBearing(PlaceKey key) const;
  std::int32_t speedOf(PlaceKey key, const Camera& camera, const PlaceNode& node, std::uint8_t type) const;
  std::string directionOf(PlaceKey key, Camera& camera, const PlaceNode& node) const;

  const ExtractOptions& options_;
  const std::map<ObjectId, PlaceNode>& nodes_;
  std::map<ObjectId, PlaceNode> wayPlaces_;  // each way's tags at its nodes' centre
  const std::vector<RoadUse>& roads_;        // by node
  std::map<PlaceKey, Camera> cameras_;       // one row per place
  // The row the camera being placed makes, carried by its findings
  // (ListFinding::objectRow); 0 while no camera is being placed.
  std::uint64_t findingRow_ = 0;
};

}  // namespace tabrino
