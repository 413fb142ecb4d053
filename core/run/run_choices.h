// A conversion's filters and limits as a user writes them (in the dialog's
// Options, say): texts and files, checked and turned into the pipeline's
// options.
#pragma once

#include "core/formats/camera_fields.h"
#include "core/run/conversion_pipeline.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace tabrino {

struct RunChoices {
  std::string box;     // W,S,E,N in degrees; empty: anywhere
  std::filesystem::path region;  // a .poly or GeoJSON file; empty: none
  std::string types;   // 1,2,5; empty: every type
  std::string speeds;  // MIN-MAX km/h; empty: every speed
  std::filesystem::path ignoreList;  // a list whose cameras are left out; empty: none
  bool dropDuplicates = false;
  std::string nearMetres;  // also report rows this near an earlier one; empty: no
  std::string maxRecords;  // more cameras than this fail the run; empty: no limit
  // What the cameras of GPX, KML, GeoJSON, CSV and OV2 files take when they
  // do not say, for the files opened from then on; empty: type 1, and the
  // speed a file's name gives, else 0.
  std::string cameraType;
  std::string cameraSpeed;  // km/h
};

// What is wrong with the texts, naming the choice ("Types: ..."), or nothing.
std::optional<std::string> problemWith(const RunChoices& choices);

// The type and speed choices without a problem, as the reading takes them.
CameraDefaults cameraDefaults(const RunChoices& choices);

// The pipeline's options for choices without a problem: reads the region
// and the ignore list. Throws RegionError, FileReadError or ImportError when
// either cannot be read.
PipelineOptions pipelineOptions(const RunChoices& choices);

// An ignore list that could not be read: the import's words, and the
// system's reason when it gave one.
class IgnoreListError : public TabrinoError {
 public:
  IgnoreListError(std::string messageText, std::error_code code) : TabrinoError(std::move(messageText), code) {}
};

}  // namespace tabrino
