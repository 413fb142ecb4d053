// The fixed cameras of an OpenStreetMap extract (.osm.pbf, .osm, .osm.bz2),
// read into a camera table as if they were a list. The extract is read in
// passes, never held whole: first its enforcement relations only; then the
// camera nodes and ways, the objects the relations name and the roads
// through cameras; a third pass only where a bearing or a way's centre needs
// nodes not yet read (see osm_passes.h). A country's
// extract costs little more memory than its cameras. It is opened once: a
// file on disk is read again from its start for each pass, a pipe is copied
// once to a temporary file that the passes read.
#pragma once

#include "core/base/errors.h"
#include "core/base/progress.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/osm/osm_rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tabrino {

enum class ExtractFormat { Pbf, Xml, XmlBzip2 };

// How many of a file's first bytes tell an extract and its format.
inline constexpr std::size_t kExtractHeadSize = 64;

// The format of an extract, from its first bytes (`head`: kExtractHeadSize
// of them, or the whole file when it is shorter), else from its name
// (.osm.pbf or .pbf, .osm, .osm.bz2); nothing for a file that is neither,
// such as a list.
std::optional<ExtractFormat> extractFormatOf(std::string_view head, const std::filesystem::path& name);
// The same for the file at path, opened to read its first bytes.
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

// An extract already open, its first bytes read to tell what it is.
struct ExtractInput {
  std::FILE* file = nullptr;
  std::string_view alreadyRead;  // its first bytes, read from file before (see extractFormatOf)
  std::filesystem::path name;    // for the format where the bytes do not tell; empty for standard input
  std::string shownName;         // as messages name it
  std::uint64_t size = 0;        // a file on disk's size, for progress
  // A regular file, read again from its start for each pass. Anything else
  // (a pipe, standard input) is read on to its end once, into a temporary
  // file that the passes read.
  bool onDisk = false;
};

// Clears the table and fills it with one row per camera, in the order of
// the OpenStreetMap nodes they stand at, then of the ways; row i is tagged i + 1, the line it
// has in the list written from the table. Returns the number of rows.
// Throws ExtractError, FileReadError when the extract cannot be read, or
// FileOpenError or FileWriteError for a stream's temporary copy.
std::size_t readExtract(const ExtractInput& input, CameraTable& table, const ExtractOptions& options = {});
// The same for the extract at path, opened once (with any characters in its
// name, on every platform).
std::size_t readExtract(const std::filesystem::path& path, CameraTable& table, const ExtractOptions& options = {});

}  // namespace tabrino
