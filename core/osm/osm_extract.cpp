#include "core/osm/osm_extract.h"

#include "core/osm/camera_assembly.h"
#include "core/osm/osm_object_reader.h"
#include "core/osm/osm_passes.h"
#include "core/platform/file_io.h"

#include <osmium/osm/entity_bits.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tabrino {
namespace {

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

std::size_t readExtractChecked(const OpenExtract& extract, CameraTable& table, const ExtractOptions& options) {
  const std::uint64_t size = extract.size;
  namespace bits = osmium::osm_entity_bits;
  const bool neighbours = options.direction != OsmDirectionUse::Ignore;

  // The bar counts a third pass where --osm-direction asks for one; a
  // third pass that only a few places need (a section's devices, a road's
  // limits by side, a way's nodes) tells no progress of its own.
  const std::uint64_t total = (neighbours ? 3 : 2) * size;
  RelationPass first;
  readPass(extract, bits::relation, first, options.progress, 0, total);

  std::vector<ObjectId> wanted, wantedWays, places, sectionDevices;
  for (const Enforcement& relation : first.relations) {
    const bool section = (osmEnforcementKinds(relation.kind) & kOsmSectionKind) != 0;
    for (const PlaceKey device : relation.devices) {
      if (device.way) {
        wantedWays.push_back(device.id);
        continue;
      }
      wanted.push_back(device.id);
      places.push_back(device.id);
      if (section) sectionDevices.push_back(device.id);
    }
    for (const ObjectId id : {relation.from, relation.to}) {
      if (id != 0) wanted.push_back(id);
    }
    if (relation.from != 0) places.push_back(relation.from);
  }
  sortUnique(wanted);
  sortUnique(wantedWays);
  sortUnique(sectionDevices);
  NodeWayPass second(wanted, wantedWays, std::move(places));
  readPass(extract, bits::node | bits::way, second, options.progress, size, total);

  // The nodes not yet read that a bearing or a way's centre needs: beside
  // cameras on their roads (with --osm-direction; at a section's devices;
  // where a road's limit differs by side), and those of ways.
  std::vector<ObjectId> missing;
  const auto want = [&](ObjectId id) {
    if (second.nodes.count(id) == 0) missing.push_back(id);
  };
  for (const RoadUse& road : second.roads) {
    if (neighbours || !road.forwardSpeed.empty() || !road.backwardSpeed.empty() ||
        containsId(sectionDevices, road.node)) {
      want(road.before);
      want(road.after);
    }
  }
  for (const auto& [id, way] : second.ways) {
    for (const ObjectId node : way.nodes) want(node);
  }
  sortUnique(missing);
  if (!missing.empty()) {
    NeighbourPass pass(missing, second.nodes);
    readPass(extract, bits::node, pass, neighbours ? options.progress : ProgressCallback{}, 2 * size, total);
  }
  if (options.progress) options.progress(total, total);

  std::stable_sort(second.roads.begin(), second.roads.end(),
                   [](const RoadUse& a, const RoadUse& b) { return a.node < b.node; });
  CameraAssembly assembly(options, second.nodes, second.ways, second.roads);
  assembly.addRelations(first.relations);
  assembly.addCameraPlaces();
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
