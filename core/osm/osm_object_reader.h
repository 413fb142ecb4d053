// One reading of an OpenStreetMap file's objects, through libosmium's
// parsers and threads, from a file the caller has open. libosmium's own
// Reader opens a file by its name, and anew for every reading: on Windows
// through the narrow API, which does not find a name outside the ANSI code
// page, and a pipe cannot be opened a second time. Here the caller opens the
// file once (openFile), and each reading takes a descriptor of its own to
// it, from the file's start.
#pragma once

#include "core/osm/osm_extract.h"

#include <osmium/memory/buffer.hpp>
#include <osmium/osm/entity_bits.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tabrino {

class OsmObjectReader {
 public:
  // Starts reading `file` from its start, for the objects `entities` names
  // (a PBF parser leaves the others' blocks undecoded). Throws FileReadError
  // naming `shownName` when the file cannot be read from its start.
  OsmObjectReader(std::FILE* file, const std::string& shownName, ExtractFormat format,
                  osmium::osm_entity_bits::type entities);
  // Stops the threads, whatever is left unread.
  ~OsmObjectReader();
  OsmObjectReader(const OsmObjectReader&) = delete;
  OsmObjectReader& operator=(const OsmObjectReader&) = delete;

  // The next buffer of objects; an invalid buffer once all are read. Throws
  // what reading or parsing threw (libosmium's errors say what was wrong).
  osmium::memory::Buffer read();
  // The bytes of the file read so far (of the compressed file for .osm.bz2).
  std::uint64_t offset() const noexcept;

 private:
  struct Threads;
  std::unique_ptr<Threads> threads_;
};

}  // namespace tabrino
