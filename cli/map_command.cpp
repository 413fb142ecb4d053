#include "cli/map_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
#include "cli/list_input.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/platform/byte_source.h"
#include "core/export/camera_map.h"
#include "core/database/db_inspect.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/database/record_reader.h"
#include "core/list/list_findings.h"
#include "core/list/text_import.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <vector>

namespace tabrino::cli {
namespace {

namespace fs = std::filesystem;

// A database begins with its magic; anything else is taken for a list,
// whose import says what is wrong with it.
bool isDatabase(const fs::path& path) {
  const UniqueFile file = openFile(path, "rb");
  std::array<std::uint8_t, 4> magic{};
  return file && std::fread(magic.data(), 1, magic.size(), file.get()) == magic.size() && magic == kMagic;
}

// Outputs that stand apart from the input and from each other. Prints why
// not and returns the exit status.
std::optional<int> checkFiles(const MapOptions& options, const fs::path& output) {
  std::vector<NamedFile> outputs{{options.output.empty() ? "the picture" : "-o", displayPath(output), output}};
  if (!options.report.empty()) outputs.push_back(namedFile("--report", options.report));
  if (const auto clash = clashingFiles(outputs, {namedFile("the input", options.file)})) {
    std::cerr << messagePrefix() << *clash << "\n";
    return kUsage;
  }
  return std::nullopt;
}

// A database's records as they stand, dated by its header.
std::vector<CameraRecord> databaseCameras(const MapOptions& options, MapTitle& title, ProgressBar& progress) {
  FileSource source(argumentPath(options.file));
  const DatabaseInspection report = inspectDatabase(source, progress.callback("Checking"));
  title.date = isoDateText(report.date);
  std::vector<CameraRecord> cameras;
  cameras.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(report.recordCount, source.size() / kRecordSize)));
  forEachRecord(source, report.recordCount, [&](const CameraRecord& record) { cameras.push_back(record); },
                progress.callback("Reading"));
  progress.finish();
  if (!report.sound() && !options.quiet) {
    std::cerr << messagePrefix() << "warning: " << options.file
              << " is not sound; its records were drawn as they stand (tabrino inspect lists the problems)\n";
  }
  return cameras;
}

// A list's cameras: the rows that become records, as on a device. Findings
// go to the report as the list is read; it is put in place only once the
// list has passed its header test. False after saying why not.
bool listCameras(const MapOptions& options, ListFindings& findings, FindingReport* report, ProgressBar& progress,
                 std::vector<CameraRecord>& cameras) {
  CameraTable table;
  ListSources sources;
  if (!readCameraList({options.file}, table, sources, findings, progress, options.quiet)) return false;
  if (report) report->commit();
  cameras = table.records();
  return true;
}

void printDrawn(const MapOptions& options, const std::vector<CameraRecord>& cameras, const fs::path& output,
                const ListFindings& findings) {
  std::size_t drawn = 0;
  for (const CameraRecord& c : cameras) drawn += inBounds(c.latitude, c.longitude) ? 1 : 0;
  std::cout << "Drew " << counted(drawn, "camera", "cameras") << (drawn > kMaxMarkedCameras ? " as a density grid" : "");
  // A list's skipped rows are among its findings; a database's records out
  // of range are not.
  if (drawn < cameras.size()) {
    std::cout << "; left out " << counted(cameras.size() - drawn, "record", "records") << " with coordinates out of range";
  }
  std::cout << "\nMap written. [" << displayPath(output) << "]\n";
  std::cout.flush();
  printFindingsSummary(std::cerr, findings.summary(), options.report);
}

}  // namespace

int runMap(const MapOptions& options) {
  // Paths from the command line are UTF-8 on every platform.
  const fs::path file = argumentPath(options.file);
  fs::path output = argumentPath(options.output);
  if (output.empty()) output = fs::path(file).replace_extension(".svg");
  if (const auto refused = checkFiles(options, output)) return *refused;
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kFailure, "too many cameras for this machine", [&]() -> int {
    const CameraFilter filter = makeFilter(options.filter);
    MapTitle title{displayPath(file.filename()), ""};
    const bool database = isDatabase(file);
    std::optional<FindingReport> report;
    if (!database) {
      const ResolvedDate today = resolveDate("");
      if (!today.date) {
        std::cerr << messagePrefix() << today.problem << "\n";
        return kUsage;
      }
      title.date = isoDateText(*today.date);
      if (!options.report.empty()) report.emplace(argumentPath(options.report));
    }
    ListFindings findings(options.quiet, report ? &*report : nullptr);
    std::vector<CameraRecord> cameras;
    if (database) {
      cameras = databaseCameras(options, title, progress);
    } else if (!listCameras(options, findings, report ? &*report : nullptr, progress, cameras)) {
      return kFailure;
    }

    if (filter.active()) {
      FilterCounts counts{};
      const auto kept = std::remove_if(cameras.begin(), cameras.end(), [&](const CameraRecord& camera) {
        if (!inBounds(camera.latitude, camera.longitude)) return false;
        const auto kind = filter.leftOutBy(camera);
        if (kind) ++counts[static_cast<std::size_t>(*kind)];
        return kind.has_value();
      });
      cameras.erase(kept, cameras.end());
      if (!options.quiet) std::cout << leftOutText(filter, counts) << "\n";
    }
    writeCameraMap(output, cameras, title);
    if (!options.quiet) printDrawn(options, cameras, output, findings);
    return kSuccess;
  });
}

}  // namespace tabrino::cli
