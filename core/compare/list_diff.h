// What changed between two versions of a camera list, or of the databases
// made from them. Cameras are matched by place and direction (latitude,
// longitude, direction type and direction code as written); a matched camera
// whose TYPE or SPEED differs has changed, and the others were added or
// removed. A place that occurs k times in one and j times in the other
// matches min(k, j) times, those that agree in TYPE and SPEED first.
#pragma once

#include "core/platform/byte_source.h"
#include "core/database/camera_db_format.h"
#include "core/list/camera_table.h"
#include "core/database/db_inspect.h"
#include "core/base/progress.h"
#include "core/list/text_import.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tabrino {

// Whether a file holds a database rather than a list: told by its first bytes.
bool startsLikeDatabase(const std::filesystem::path& path);

// The cameras of one list or database, ordered for matching: 16 bytes a
// camera, and a list's rows for their line numbers.
class CameraSet {
 public:
  bool fromDatabase() const noexcept { return fromDatabase_; }
  std::size_t size() const noexcept { return cameras_.size(); }
  CameraRecord record(std::size_t camera) const noexcept;
  // The camera's line in its list (from 1, the header being line 1) or its
  // record number in its database (from 1).
  std::uint64_t number(std::size_t camera) const noexcept;
  // Of two cameras, the one with the lower order comes first in the file.
  std::uint64_t fileOrder(std::size_t camera) const noexcept;

  // A list, through the import (rows out of range are no cameras).
  ImportResult loadList(const std::filesystem::path& path, const ProgressCallback& progress = {});
  // A list already open (a pipe, standard input), read once.
  ImportResult loadList(const ListStream& in, const ProgressCallback& progress = {});
  // Rows that `import` reads into the set's table (any input a front end
  // reads: a list, an extract).
  using ListImport = std::function<ImportResult(CameraTable&, const ImportOptions&)>;
  ImportResult loadList(const ListImport& import, const ProgressCallback& progress);
  // The records of a database as they stand; returns its inspection, so
  // that a damaged file can be told apart. Throws TabrinoError.
  DatabaseInspection loadDatabase(ByteSource& source, const ProgressCallback& progress = {});

  // A camera as compared: place and direction, then TYPE, SPEED and where
  // it came from (a list's table position, a database's record index).
  struct Entry {
    std::uint64_t place;  // latitude and longitude, biased to order as numbers
    std::uint64_t rest;   // direction type, direction code, TYPE, SPEED, origin
  };
  const std::vector<Entry>& cameras() const noexcept { return cameras_; }

 private:
  void order();

  bool fromDatabase_ = false;
  CameraTable table_;
  std::vector<Entry> cameras_;
};

enum class CameraChange { Added, Removed, Changed };

struct CameraDifference {
  CameraChange change;
  std::uint32_t before;  // camera of the old set (not for Added)
  std::uint32_t after;   // camera of the new set (not for Removed)
};

struct CameraDiff {
  std::uint64_t added = 0, removed = 0, changed = 0, unchanged = 0;
  // Added, then removed, then changed; each in the order of its file (the
  // new one's for added and changed).
  std::vector<CameraDifference> differences;

  bool same() const noexcept { return added == 0 && removed == 0 && changed == 0; }
};

CameraDiff diffCameras(const CameraSet& before, const CameraSet& after);

// The CSV report: a header naming lines or records, then one line for each
// difference.
std::string diffReportHeader(const CameraSet& before, const CameraSet& after);
std::string diffReportLine(const CameraSet& before, const CameraSet& after, const CameraDifference& difference);

const char* cameraChangeName(CameraChange change) noexcept;  // "added", "removed", "changed"

}  // namespace tabrino
