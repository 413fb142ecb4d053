#include "core/run/export_run.h"

#include "core/check/duplicates.h"
#include "core/check/swapped_coordinates.h"
#include "core/database/db_inspect.h"
#include "core/database/record_reader.h"
#include "core/export/csv_export.h"
#include "core/model/coordinate_text.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tabrino {

double rowLatitude(std::int32_t stored) noexcept {
  double latitude = stored / kCoordinateScale;
  // Truncation toward zero: a product a hair short of the integer loses it.
  const double away = stored < 0 ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  while (scaleCoordinate(latitude) != stored) latitude = std::nextafter(latitude, away);
  return latitude;
}

DatabaseInput readDatabaseInput(InputFile& input, CameraTable& table, ListSources& sources,
                                const ProgressCallback& progress) {
  const std::unique_ptr<ByteSource> source = input.database();
  const DatabaseInspection report = inspectDatabase(*source, progress);
  if (sources.count() == 0) table.clear();
  const std::uint64_t firstLine = sources.nextLine() + 1;  // record 1 on the line after the header
  DatabaseInput read;
  read.sound = report.sound();
  std::vector<CameraRow> rows;
  rows.reserve(kRecordsPerBlock);
  auto flush = [&] {
    table.appendRows(rows.data(), rows.size(), firstLine + read.records - rows.size(), nullptr);
    rows.clear();
  };
  forEachRecord(
      *source, report.recordCount,
      [&](const CameraRecord& r) {
        rows.push_back({rowLatitude(r.latitude), r.longitude, r.type, r.speed, r.directionType, r.directionCode});
        ++read.records;
        if (rows.size() == kRecordsPerBlock) flush();
      },
      progress);
  flush();
  sources.add(input.shownName(), read.records + 1);
  return read;
}

ExportSelection selectCameras(CameraTable& table, const ListSources& sources, const PipelineOptions& options,
                              const PipelineFindings& findings) {
  ExportSelection selection;
  std::optional<LeftOutRows> leftOut;
  if (findings.report && options.filter.active()) leftOut.emplace();
  selection.filtered = filterTable(table, options.filter, leftOut ? &*leftOut : nullptr);
  const bool anyFiltered =
      std::any_of(selection.filtered.begin(), selection.filtered.end(), [](std::uint64_t n) { return n != 0; });
  if (table.recordCount() == 0 && anyFiltered) {
    selection.outcome = ExportSelection::Outcome::FilteredAll;
    return selection;
  }
  std::vector<std::uint32_t> dropped;
  if (findings.summary || findings.report || options.dropDuplicates) {
    const DuplicateScan duplicates(table, DuplicateOptions{options.nearMetres, options.dropDuplicates, &sources});
    const SwappedCoordinates swapped(table);
    selection.duplicates = duplicates.duplicateCount();
    selection.nearRows = duplicates.nearCount();
    if (options.dropDuplicates) dropped = duplicates.droppedPositions();
    if (findings.summary) {
      duplicates.report(*findings.summary);
      swapped.report(*findings.summary);
    }
    if (findings.report) {
      writeFindingReport(duplicates, swapped, findings, options.filter, leftOut ? &*leftOut : nullptr);
    }
  }
  selection.cameras.reserve(static_cast<std::size_t>(table.recordCount()));
  std::size_t next = 0;
  for (std::size_t position = 0; position < table.size(); ++position) {
    if (next < dropped.size() && dropped[next] == position) {
      ++next;
      selection.dropped += table.record(position) ? 1u : 0u;
      continue;
    }
    if (const std::optional<CameraRecord> record = table.record(position)) selection.cameras.push_back(*record);
  }
  if (options.maxRecords && selection.cameras.size() > *options.maxRecords) {
    selection.outcome = ExportSelection::Outcome::OverLimit;
  }
  return selection;
}

namespace {

IconLook groupLook(const CameraGroup& group, const FolderExport& plan) {
  const std::uint8_t type = group.cameras.front().type;
  const bool oneType = std::all_of(group.cameras.begin(), group.cameras.end(),
                                   [type](const CameraRecord& c) { return c.type == type; });
  return plan.iconLook(oneType ? type : 0);
}

std::uint8_t groupSpeed(const CameraGroup& group) {
  const std::uint8_t speed = group.cameras.front().speed;
  const bool oneSpeed = std::all_of(group.cameras.begin(), group.cameras.end(),
                                    [speed](const CameraRecord& c) { return c.speed == speed; });
  return oneSpeed ? speed : 0;
}

void writeWhole(const std::filesystem::path& path, const std::string& bytes) {
  AtomicFileWriter out(path);
  out.write(bytes);
  out.commit();
}

}  // namespace

std::vector<CameraGroup> folderExportGroups(const std::vector<CameraRecord>& cameras, const FolderExport& plan) {
  static_cast<void>(NameTemplate(plan.nameTemplate));  // refused before any file is named
  return groupCameras(cameras, plan.split, plan.fileNames, plan.maxPerFile);
}

std::vector<std::filesystem::path> folderExportFiles(const std::vector<CameraGroup>& groups, const FolderExport& plan) {
  std::vector<std::filesystem::path> files;
  for (const CameraGroup& group : groups) {
    files.push_back(plan.folder / std::filesystem::u8path(group.baseName + cameraFileExtension(plan.format)));
  }
  if (plan.iconLook) {
    for (const CameraGroup& group : groups) files.push_back(plan.folder / std::filesystem::u8path(group.baseName + ".bmp"));
  }
  files.push_back(plan.folder / kManifestName);
  return files;
}

std::vector<ExportedFile> writeFolderExport(const std::vector<CameraGroup>& groups, const FolderExport& plan,
                                            const ProgressCallback& progress) {
  const NameTemplate names(plan.nameTemplate);
  std::uint64_t total = 0;
  for (const CameraGroup& group : groups) total += group.cameras.size();
  std::vector<ExportedFile> written;
  std::uint64_t done = 0;
  for (const CameraGroup& group : groups) {
    const std::string fileName = group.baseName + cameraFileExtension(plan.format);
    const std::filesystem::path path = plan.folder / std::filesystem::u8path(fileName);
    AtomicFileWriter out(path);
    writeCameraFile(plan.format, group.cameras, names, fileName, [&](const std::string& text) { out.write(text); });
    out.commit();
    if (plan.iconLook) {
      writeWhole(plan.folder / std::filesystem::u8path(group.baseName + ".bmp"),
                 bmpIcon(groupLook(group, plan), groupSpeed(group)));
    }
    written.push_back({path, group.cameras.size(), boxAround(group.cameras)});
    done += group.cameras.size();
    if (progress) progress(done, total);
  }
  writeWhole(plan.folder / kManifestName, manifestText(written));
  return written;
}

std::string manifestText(const std::vector<ExportedFile>& files) {
  std::string text = "file,cameras,west,south,east,north\n";
  for (const ExportedFile& file : files) {
    text += csvQuoted(file.path.filename().u8string()) + "," + std::to_string(file.cameras) + "," +
            exactCoordinateText(file.box.west) + "," + exactCoordinateText(file.box.south) + "," +
            exactCoordinateText(file.box.east) + "," + exactCoordinateText(file.box.north) + "\n";
  }
  return text;
}

}  // namespace tabrino
