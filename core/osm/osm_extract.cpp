#include "core/osm/osm_extract.h"

#include "core/osm/osm_object_reader.h"
#include "core/platform/file_io.h"

#include <osmium/handler.hpp>
#include <osmium/osm/entity_bits.hpp>
#include <osmium/osm/node.hpp>
#include <osmium/osm/relation.hpp>
#include <osmium/osm/way.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tabrino {
namespace {

using ObjectId = osmium::object_id_type;

std::string nodeName(ObjectId id) { return "node " + std::to_string(id); }
std::string relationName(ObjectId id) { return "relation " + std::to_string(id); }

std::string tagOf(const osmium::OSMObject& object, const char* key) {
  const char* value = object.tags()[key];
  return value ? value : "";
}

bool contains(const std::vector<ObjectId>& sorted, ObjectId id) {
  return std::binary_search(sorted.begin(), sorted.end(), id);
}

void sortUnique(std::vector<ObjectId>& ids) {
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

// A node a camera stands at, or that a relation or road names.
struct PlaceNode {
  osmium::Location location;
  bool camera = false;  // tagged highway=speed_camera
  std::string maxspeed, direction;
};

// A road through a camera's node, and the nodes beside it there (the node
// itself at the road's ends), for the road's bearing. Once the roads are
// read they are ordered by node, so that a camera finds its own in a few
// steps rather than among every road's.
struct RoadUse {
  ObjectId node;
  ObjectId way;
  std::string maxspeed;
  ObjectId before, after;
};

struct Enforcement {
  ObjectId id;
  std::string kind, maxspeed;
  ObjectId device = 0, from = 0, to = 0;  // 0: no such member
};

void addRoadUses(const osmium::Way& way, const std::vector<ObjectId>& wanted, std::vector<RoadUse>& roads) {
  const osmium::WayNodeList& nodes = way.nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const ObjectId id = nodes[i].ref();
    if (!contains(wanted, id)) continue;
    // A closed way lists its first node again at its end: count it once.
    if (i + 1 == nodes.size() && i > 0 && way.is_closed()) continue;
    roads.push_back({id, way.id(), tagOf(way, "maxspeed"), nodes[i > 0 ? i - 1 : i].ref(),
                     nodes[i + 1 < nodes.size() ? i + 1 : i].ref()});
  }
}

bool isCamera(const osmium::Node& node) {
  return std::strcmp(node.tags().get_value_by_key("highway", ""), "speed_camera") == 0;
}

// The first pass reads only relations (a PBF reader then skips the nodes'
// and ways' blocks): the enforcement relations.
struct RelationPass : osmium::handler::Handler {
  std::vector<Enforcement> relations;

  void relation(const osmium::Relation& relation) {
    if (std::strcmp(relation.tags().get_value_by_key("type", ""), "enforcement") != 0) return;
    Enforcement enforcement{relation.id(), tagOf(relation, "enforcement"), tagOf(relation, "maxspeed")};
    for (const osmium::RelationMember& member : relation.members()) {
      if (member.type() != osmium::item_type::node) continue;
      const std::string_view role = member.role();
      ObjectId* slot = role == "device" ? &enforcement.device
                       : role == "from" ? &enforcement.from
                       : role == "to"   ? &enforcement.to
                                        : nullptr;
      if (slot && *slot == 0) *slot = member.ref();
    }
    relations.push_back(std::move(enforcement));
  }
};

// The second pass: camera nodes and the nodes the relations name, then the
// roads through the places of cameras (nodes come before ways in an extract).
struct NodeWayPass : osmium::handler::Handler {
  const std::vector<ObjectId>& wanted;  // sorted
  std::map<ObjectId, PlaceNode> nodes;
  std::vector<ObjectId> places;  // camera nodes and relation places, sorted once the ways begin
  bool placesSorted = false;
  std::vector<RoadUse> roads;

  NodeWayPass(const std::vector<ObjectId>& wantedNodes, std::vector<ObjectId> relationPlaces)
      : wanted(wantedNodes), places(std::move(relationPlaces)) {}

  void node(const osmium::Node& node) {
    const bool camera = isCamera(node);
    if (!camera && !contains(wanted, node.id())) return;
    nodes[node.id()] = {node.location(), camera, tagOf(node, "maxspeed"), tagOf(node, "direction")};
    if (camera) {
      places.push_back(node.id());
      placesSorted = false;
    }
  }

  void way(const osmium::Way& way) {
    if (places.empty() || !way.tags().has_key("highway")) return;
    if (!placesSorted) {
      sortUnique(places);
      placesSorted = true;
    }
    addRoadUses(way, places, roads);
  }
};

// A third pass, only where a direction needs a road's bearing: the nodes
// beside the cameras on their roads.
struct NeighbourPass : osmium::handler::Handler {
  const std::vector<ObjectId>& wanted;
  std::map<ObjectId, PlaceNode>& nodes;

  NeighbourPass(const std::vector<ObjectId>& wantedNodes, std::map<ObjectId, PlaceNode>& found)
      : wanted(wantedNodes), nodes(found) {}

  void node(const osmium::Node& node) {
    if (contains(wanted, node.id())) nodes[node.id()].location = node.location();
  }
};

const char* formatSuffix(ExtractFormat format) {
  switch (format) {
    case ExtractFormat::Pbf: return "pbf";
    case ExtractFormat::Xml: return "osm";
    case ExtractFormat::XmlBzip2: return "osm.bz2";
  }
  return "";
}

// The extract open once, and what each pass reads it as.
struct OpenExtract {
  std::FILE* file;
  const std::string& shownName;
  ExtractFormat format;
  std::uint64_t size;  // for progress
};

// Runs one pass of `handler` over the extract, from its start, telling
// progress of the bytes read, counted from `before`.
template <typename Handler>
void readPass(const OpenExtract& extract, osmium::osm_entity_bits::type entities, Handler& handler,
              const ProgressCallback& progress, std::uint64_t before, std::uint64_t total) {
  OsmObjectReader reader(extract.file, extract.shownName, extract.format, entities);
  while (osmium::memory::Buffer buffer = reader.read()) {
    osmium::apply(buffer, handler);
    if (progress) progress(before + std::min<std::uint64_t>(reader.offset(), extract.size), total);
  }
}

enum KindBits : unsigned { kSpeedKind = 1, kSignalsKind = 2, kSectionKind = 4 };

unsigned enforcementKind(const std::string& kind) {
  if (kind == "maxspeed") return kSpeedKind;
  if (kind == "traffic_signals") return kSignalsKind;
  if (kind == "maxspeed;traffic_signals" || kind == "traffic_signals;maxspeed") return kSpeedKind | kSignalsKind;
  if (kind == "average_speed") return kSectionKind;
  return 0;
}

std::uint8_t cameraType(unsigned kinds) {
  if (kinds & kSectionKind) return 4;
  if ((kinds & kSpeedKind) && (kinds & kSignalsKind)) return 2;
  if (kinds & kSignalsKind) return 3;
  return 1;
}

// A camera as it takes shape from its node and the relations placed at it.
struct Camera {
  unsigned kinds = 0;        // from relations; none: a camera node alone
  ObjectId relation = 0;     // the first relation placed here, named in findings
  std::string maxspeed;      // the first relation's maxspeed that has one
  ObjectId speedRelation = 0;
  std::int32_t directionType = 0, degrees = 0;
};

class Assembly {
 public:
  Assembly(const ExtractOptions& options, std::map<ObjectId, PlaceNode>& nodes, const std::vector<RoadUse>& roads)
      : options_(options), nodes_(nodes), roads_(roads) {}

  void addRelations(std::vector<Enforcement>& relations) {
    std::sort(relations.begin(), relations.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    for (const Enforcement& relation : relations) {
      const unsigned kind = enforcementKind(relation.kind);
      if (kind == 0) {
        find(FindingKind::OsmLeftOut, relationName(relation.id) + " (enforcement=" +
                                          (relation.kind.empty() ? std::string("?") : relation.kind) + ")");
        continue;
      }
      const ObjectId place = located(relation.device) ? relation.device : located(relation.from) ? relation.from : 0;
      if (place == 0) {
        find(FindingKind::OsmLeftOut, relationName(relation.id) + " (neither its device nor its from node is in the extract)");
        continue;
      }
      Camera& camera = cameras_[place];
      camera.kinds |= kind;
      if (camera.relation == 0) camera.relation = relation.id;
      if (camera.speedRelation == 0 && !relation.maxspeed.empty()) {
        camera.maxspeed = relation.maxspeed;
        camera.speedRelation = relation.id;
      }
      if (camera.directionType == 0 && located(relation.from) && located(relation.to) && relation.from != relation.to) {
        const osmium::Location from = nodes_[relation.from].location, to = nodes_[relation.to].location;
        camera.directionType = 1;
        camera.degrees = initialBearing(from.lat(), from.lon(), to.lat(), to.lon());
      }
    }
  }

  void addCameraNodes() {
    for (const auto& [id, node] : nodes_) {
      if (node.camera) cameras_[id];
    }
  }

  std::size_t fill(CameraTable& table) {
    table.clear();
    table.reserve(cameras_.size());
    for (auto& [id, camera] : cameras_) {
      const PlaceNode& node = nodes_[id];
      // A camera node without a usable place (out of range, or deleted and
      // so without any) is left out; the rest of the extract still counts.
      if (!node.location.valid()) {
        find(FindingKind::OutOfRange,
             nodeName(id) + (node.location.is_defined() ? ": location out of range" : ": no location"));
        continue;
      }
      const std::uint8_t type = camera.kinds ? cameraType(camera.kinds) : 1;
      // What is found of it now is about the row it makes: row i is tagged
      // i + 1 (the header is line 0), which counted from 1 is line i + 2.
      findingRow_ = table.size() + 2;
      const std::int32_t speed = speedOf(id, camera, node, type);
      if (camera.directionType == 0) directionOf(id, camera, node);
      findingRow_ = 0;
      const CameraRow row{node.location.lat(), scaleCoordinate(node.location.lon()), type, speedByte(speed),
                          static_cast<std::uint8_t>(camera.directionType), directionCode(camera.degrees)};
      table.appendRow(row, table.size() + 1);
    }
    return table.size();
  }

 private:
  bool located(ObjectId id) {
    if (id == 0) return false;
    const auto found = nodes_.find(id);
    return found != nodes_.end() && found->second.location.valid();
  }

  void find(FindingKind kind, std::string detail) {
    if (options_.findings) options_.findings->add({0, kind, std::move(detail), findingRow_});
  }

  // The object a finding about the camera at `id` names: its relation, if any.
  std::string ownerName(ObjectId id, const Camera& camera) const {
    return camera.relation ? relationName(camera.relation) + " at " + nodeName(id) : nodeName(id);
  }

  // The roads through a node, each once, in the extract's order.
  std::vector<const RoadUse*> roadsThrough(ObjectId id) const {
    std::vector<const RoadUse*> found;
    auto road = std::lower_bound(roads_.begin(), roads_.end(), id,
                                 [](const RoadUse& use, ObjectId node) { return use.node < node; });
    for (; road != roads_.end() && road->node == id; ++road) {
      const ObjectId way = road->way;
      if (std::none_of(found.begin(), found.end(), [&](const RoadUse* r) { return r->way == way; })) {
        found.push_back(&*road);
      }
    }
    return found;
  }

  std::int32_t speedOf(ObjectId id, const Camera& camera, const PlaceNode& node, std::uint8_t type) {
    const std::string owner = ownerName(id, camera);
    std::string source = camera.speedRelation ? camera.maxspeed : node.maxspeed;
    if (source.empty()) {
      const std::vector<const RoadUse*> through = roadsThrough(id);
      if (through.size() == 1 && !through.front()->maxspeed.empty()) {
        const OsmSpeed road = osmSpeed(through.front()->maxspeed);
        if (road.problem.empty()) {
          find(FindingKind::OsmRoadSpeed, owner + " (maxspeed " + std::to_string(road.kmh) + " of way " +
                                              std::to_string(through.front()->way) + ")");
          return road.kmh;
        }
        find(FindingKind::OsmNoSpeed, owner + " (" + road.problem + " on way " + std::to_string(through.front()->way) + ")");
        return 0;
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

  void directionOf(ObjectId id, Camera& camera, const PlaceNode& node) {
    if (options_.direction == OsmDirectionUse::Ignore || node.direction.empty()) return;
    const std::string owner = ownerName(id, camera);
    if (node.direction == "forward" || node.direction == "backward") {
      const std::vector<const RoadUse*> through = roadsThrough(id);
      if (through.size() != 1 || !located(through.front()->before) || !located(through.front()->after) ||
          through.front()->before == through.front()->after) {
        find(FindingKind::OsmDirection, owner + " (direction=" + node.direction + " on " +
                                            std::to_string(through.size()) + " roads): all directions");
        return;
      }
      const osmium::Location before = nodes_[through.front()->before].location;
      const osmium::Location after = nodes_[through.front()->after].location;
      camera.directionType = 1;
      camera.degrees = initialBearing(before.lat(), before.lon(), after.lat(), after.lon());
      if (node.direction == "backward") camera.degrees = (camera.degrees + 180) % 360;
      return;
    }
    const std::optional<OsmHeading> heading = osmHeading(node.direction, options_.direction);
    if (!heading) {
      find(FindingKind::OsmDirection,
           owner + " (direction \"" + shownTagValue(node.direction) + "\" not understood): all directions");
      return;
    }
    camera.directionType = heading->bothWays ? 2 : 1;
    camera.degrees = heading->degrees;
  }

  const ExtractOptions& options_;
  std::map<ObjectId, PlaceNode>& nodes_;
  const std::vector<RoadUse>& roads_;  // by node
  std::map<ObjectId, Camera> cameras_;  // by the node each stands at: one row per node
  std::uint64_t findingRow_ = 0;        // the row the camera being placed makes (ListFinding::objectRow)
};

std::size_t readExtractChecked(const OpenExtract& extract, CameraTable& table, const ExtractOptions& options) {
  const std::uint64_t size = extract.size;
  const bool neighbours = options.direction != OsmDirectionUse::Ignore;
  const std::uint64_t total = (neighbours ? 3 : 2) * size;
  namespace bits = osmium::osm_entity_bits;

  RelationPass first;
  readPass(extract, bits::relation, first, options.progress, 0, total);

  std::vector<ObjectId> wanted, places;
  for (const Enforcement& relation : first.relations) {
    for (const ObjectId id : {relation.device, relation.from, relation.to}) {
      if (id != 0) wanted.push_back(id);
    }
    for (const ObjectId id : {relation.device, relation.from}) {
      if (id != 0) places.push_back(id);
    }
  }
  sortUnique(wanted);
  NodeWayPass second(wanted, std::move(places));
  readPass(extract, bits::node | bits::way, second, options.progress, size, total);

  if (neighbours) {
    std::vector<ObjectId> beside;
    for (const RoadUse& road : second.roads) {
      for (const ObjectId id : {road.before, road.after}) {
        if (second.nodes.count(id) == 0) beside.push_back(id);
      }
    }
    sortUnique(beside);
    if (!beside.empty()) {
      NeighbourPass third(beside, second.nodes);
      readPass(extract, bits::node, third, options.progress, 2 * size, total);
    }
  }
  if (options.progress) options.progress(total, total);

  std::stable_sort(second.roads.begin(), second.roads.end(),
                   [](const RoadUse& a, const RoadUse& b) { return a.node < b.node; });
  Assembly assembly(options, second.nodes, second.roads);
  assembly.addRelations(first.relations);
  assembly.addCameraNodes();
  return assembly.fill(table);
}

// A stream (a pipe, standard input) cannot be read again for each pass: it
// is copied once to a temporary file, its first bytes already read first.
UniqueFile copyToTemporaryFile(const ExtractInput& input, std::uint64_t& size) {
  const std::string copyName = "temporary copy of " + input.shownName;
  UniqueFile copy = openTemporaryFile();
  if (!copy) throw FileOpenError(copyName, lastSystemError());
  const auto write = [&](const char* bytes, std::size_t count) {
    clearSystemError();
    if (std::fwrite(bytes, 1, count, copy.get()) != count) throw FileWriteError(copyName, lastSystemError());
    size += count;
  };
  size = 0;
  write(input.alreadyRead.data(), input.alreadyRead.size());
  std::vector<char> block(std::size_t{1} << 20);
  for (;;) {
    clearSystemError();
    const std::size_t got = std::fread(block.data(), 1, block.size(), input.file);
    if (got == 0) {
      if (std::ferror(input.file)) throw FileReadError(input.shownName, lastSystemError());
      break;
    }
    write(block.data(), got);
  }
  clearSystemError();
  if (std::fflush(copy.get()) != 0) throw FileWriteError(copyName, lastSystemError());
  return copy;
}

bool hasSuffix(const std::string& name, std::string_view suffix) {
  return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::optional<ExtractFormat> extractFormatOf(std::string_view head, const std::filesystem::path& name) {
  // A PBF file opens with a 4-byte length and the "OSMHeader" block's name.
  if (head.size() > 14 && head.substr(4, 16).find("OSMHeader") != std::string_view::npos) return ExtractFormat::Pbf;
  if (head.substr(0, 3) == "BZh") return ExtractFormat::XmlBzip2;
  const std::size_t start = head.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  const std::size_t first = head.find_first_not_of(" \t\r\n", start);
  if (first != std::string_view::npos && (head.substr(first, 5) == "<?xml" || head.substr(first, 4) == "<osm")) {
    return ExtractFormat::Xml;
  }
  const std::string filename = displayPath(name.filename());
  if (hasSuffix(filename, ".pbf")) return ExtractFormat::Pbf;
  if (hasSuffix(filename, ".osm.bz2")) return ExtractFormat::XmlBzip2;
  if (hasSuffix(filename, ".osm")) return ExtractFormat::Xml;
  return std::nullopt;
}

std::optional<ExtractFormat> extractFormatOf(const std::filesystem::path& path) {
  char head[kExtractHeadSize] = {};
  std::size_t length = 0;
  if (const UniqueFile file = openFile(path, "rb")) length = std::fread(head, 1, sizeof head, file.get());
  return extractFormatOf(std::string_view(head, length), path);
}

bool extractFormatReadable(ExtractFormat format) noexcept {
  switch (format) {
    case ExtractFormat::Pbf: return true;
#ifdef TABRINO_OSM_XML
    case ExtractFormat::Xml: return true;
#ifdef TABRINO_OSM_BZIP2
    case ExtractFormat::XmlBzip2: return true;
#endif
#endif
    default: return false;
  }
}

std::size_t readExtract(const ExtractInput& input, CameraTable& table, const ExtractOptions& options) {
  const std::string& shown = input.shownName;
  const std::optional<ExtractFormat> format = extractFormatOf(input.alreadyRead, input.name);
  if (!format) throw ExtractError(shown, "neither .osm.pbf, .osm nor .osm.bz2");
  if (!extractFormatReadable(*format)) {
    throw ExtractError(shown, "reading ." + std::string(formatSuffix(*format)) +
                                  " XML is not available in this build; convert it to .osm.pbf with osmium cat");
  }
  std::uint64_t size = input.size;
  UniqueFile copy;
  if (!input.onDisk) copy = copyToTemporaryFile(input, size);
  try {
    return readExtractChecked({copy ? copy.get() : input.file, shown, *format, size}, table, options);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const TabrinoError&) {
    throw;
  } catch (const std::exception& error) {
    // libosmium's own errors say what it found: a cut-short block, XML that
    // is not OpenStreetMap data.
    throw ExtractError(shown, error.what());
  }
}

std::size_t readExtract(const std::filesystem::path& path, CameraTable& table, const ExtractOptions& options) {
  const std::string shown = displayPath(path);
  const UniqueFile file = openFile(path, "rb");
  if (!file) throw FileReadError(shown, lastSystemError());
  char head[kExtractHeadSize];
  const std::size_t length = std::fread(head, 1, sizeof head, file.get());
  std::error_code error;
  const bool onDisk = std::filesystem::is_regular_file(path, error);
  const std::uint64_t size = onDisk ? std::filesystem::file_size(path, error) : 0;
  return readExtract({file.get(), std::string_view(head, length), path, shown, error ? 0 : size, onDisk}, table,
                     options);
}

}  // namespace tabrino
