// A camera export as every front end runs it: databases read as rows that
// give back their records exactly (lists and extracts go through readInput),
// the cameras chosen by the same filters and duplicate options as a
// conversion, and the files written: one, or a folder of them split by speed
// or type, with a manifest and icons.
#pragma once

#include "core/base/progress.h"
#include "core/export/bmp_icon.h"
#include "core/export/camera_files.h"
#include "core/export/camera_groups.h"
#include "core/list/camera_table.h"
#include "core/list/list_sources.h"
#include "core/run/conversion_pipeline.h"
#include "core/run/input_file.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tabrino {

struct DatabaseInput {
  std::uint64_t records = 0;
  bool sound = true;  // false: the records were taken as they stand
};

// Appends the records of the database `input` to `table` (after the inputs
// `sources` names; the first clears it), each as a row that becomes that very
// record, and adds it to `sources`, its records counted as lines from 1.
// Throws FileOpenError, FileReadError, TooLargeError.
DatabaseInput readDatabaseInput(InputFile& input, CameraTable& table, ListSources& sources,
                                const ProgressCallback& progress = {});

// The latitude a row holds for a stored latitude: the one that scales back to
// it exactly (the nearest double to value / 10000 may scale to one less).
double rowLatitude(std::int32_t stored) noexcept;

struct ExportSelection {
  enum class Outcome {
    Chosen,       // the cameras to write
    FilteredAll,  // the filters left no camera
    OverLimit,    // more cameras than maxRecords
  };
  Outcome outcome = Outcome::Chosen;
  FilterCounts filtered{};
  std::uint64_t duplicates = 0;
  std::uint64_t nearRows = 0;
  std::uint64_t dropped = 0;  // duplicates left out
  std::vector<CameraRecord> cameras;
};

// The cameras of `table` as a conversion would write them, by the filters and
// the duplicate options of `options` (its maxRecords caps the cameras).
// Duplicates and near rows go to findings.summary; findings.report, when
// given, is written and put in place as a conversion writes it. Throws what
// writing the report throws.
ExportSelection selectCameras(CameraTable& table, const ListSources& sources, const PipelineOptions& options,
                              const PipelineFindings& findings = {});

// How an exported folder is made.
struct FolderExport {
  CameraFileFormat format = CameraFileFormat::Ov2;
  std::string nameTemplate = NameTemplate::kDefault;  // each camera's name (OV2, POI CSV, CSV)
  std::filesystem::path folder;
  SplitBy split = SplitBy::Nothing;
  FileNameFields fileNames;
  std::uint64_t maxPerFile = 0;  // 0: no cap
  // The look of a type's icon; empty: no icons. A group of one type takes its
  // look, any other the look of type 0.
  std::function<IconLook(std::uint8_t type)> iconLook;
};

inline constexpr const char* kManifestName = "manifest.csv";

struct ExportedFile {
  std::filesystem::path path;
  std::uint64_t cameras = 0;
  CameraBox box{};
};

// The files of a folder export, each with its cameras, in the order they are
// written. Throws FileTemplateError and NameTemplateError.
std::vector<CameraGroup> folderExportGroups(const std::vector<CameraRecord>& cameras, const FolderExport& plan);

// The files a folder export of these groups writes (cameras, then icons,
// then the manifest), for a front end that asks before it replaces any.
std::vector<std::filesystem::path> folderExportFiles(const std::vector<CameraGroup>& groups, const FolderExport& plan);

// Writes the folder: each file appears only once complete, the manifest
// (file, cameras, west, south, east, north) last. `progress` counts cameras
// written. Returns the camera files written. Throws NameTemplateError,
// FileOpenError, FileWriteError, TooLargeError.
std::vector<ExportedFile> writeFolderExport(const std::vector<CameraGroup>& groups, const FolderExport& plan,
                                            const ProgressCallback& progress = {});

// "file,cameras,west,south,east,north" and a line for each file (its name in
// the folder, the box in degrees).
std::string manifestText(const std::vector<ExportedFile>& files);

}  // namespace tabrino
