// The fixed cameras of an OpenStreetMap extract (.osm.pbf, .osm, .osm.bz2),
// read into a camera table as if they were a list. The extract is read in
// passes, never held whole: first its enforcement relations only; then the
// camera nodes, the nodes the relations name and the roads through them; a
// third pass only where a direction needs a road's bearing. A country's
// extract costs little more memory than its cameras.
#pragma once

#include "core/base/errors.h"
#include "core/base/progress.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/osm/osm_rules.h"

#include <cstddef>
#include <filesystem>
#include <optional>

namespace tabrino {

enum class ExtractFormat { Pbf, Xml, XmlBzip2 };

// The format of an extract, from its first bytes, else from its name
// (.osm.pbf or .pbf, .osm, .osm.bz2); nothing for a file that is neither,
// such as a list.
std::optional<ExtractFormat> extractFormatOf(const std::filesystem::path& path);
// Whether this build reads the format: the Windows programs read only PBF.
bool extractFormatReadable(ExtractFormat format) noexcept;

// The extract could not be read: damaged, cut short, not OpenStreetMap data,
// or in a format this build does not read.
class ExtractError : public TabrinoError {
 public:
  ExtractError(const std::string& path, std::string reason)
      : TabrinoError("Cannot read the OpenStreetMap extract " + path, std::move(reason)) {}
};

struct ExtractOptions {
  OsmDirectionUse direction = OsmDirectionUse::Ignore;
  // Told of what was left out or guessed, naming the object ("node 12",
  // "relation 7"); the findings carry line 0, being of no list line.
  FindingSink* findings = nullptr;
  // Bytes read of both passes together.
  ProgressCallback progress;
};

// Clears the table and fills it with one row per camera, in the order of
// the OpenStreetMap nodes they stand at; row i is tagged i + 1, the line it
// has in the list written from the table. Returns the number of rows.
// Throws ExtractError, or FileReadError when the file cannot be opened.
std::size_t readExtract(const std::filesystem::path& path, CameraTable& table, const ExtractOptions& options = {});

}  // namespace tabrino
