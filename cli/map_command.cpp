#include "cli/map_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
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

}  // namespace

int runMap(const MapOptions& options) {
  // Paths from the command line are UTF-8 on every platform.
  const fs::path file = argumentPath(options.file);
  const fs::path reportPath = argumentPath(options.report);
  fs::path output = argumentPath(options.output);
  if (output.empty()) output = fs::path(file).replace_extension(".svg");
  std::vector<NamedFile> outputs{{options.output.empty() ? "the picture" : "-o", displayPath(output), output}};
  if (!options.report.empty()) outputs.push_back({"--report", options.report, reportPath});
  if (const auto clash = clashingFiles(outputs, {{"the input", options.file, file}})) {
    std::cerr << "tabrino map: " << *clash << "\n";
    return 2;
  }
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, 1, "too many cameras for this machine", [&]() -> int {
    const CameraFilter filter = makeFilter(options.filter);
    std::vector<CameraRecord> cameras;
    MapTitle title{displayPath(file.filename()), ""};
    FindingSummary findings;

    if (isDatabase(file)) {
      FileSource source(file);
      const DatabaseInspection report = inspectDatabase(source, progress.callback("Checking"));
      title.date = isoDateText(report.date);
      cameras.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(report.recordCount, source.size() / kRecordSize)));
      forEachRecord(source, report.recordCount, [&](const CameraRecord& record) { cameras.push_back(record); },
                    progress.callback("Reading"));
      progress.finish();
      if (!report.sound() && !options.quiet) {
        std::cerr << "tabrino map: warning: " << options.file
                  << " is not sound; its records were drawn as they stand (tabrino inspect lists the problems)\n";
      }
    } else {
      const ResolvedDate today = resolveDate("");
      if (!today.date) {
        std::cerr << "tabrino map: " << today.problem << "\n";
        return 2;
      }
      title.date = isoDateText(*today.date);
      // Findings go to the report as the list is read; it is put in place
      // only once the list has passed its header test.
      std::optional<FindingReport> report;
      if (!options.report.empty()) report.emplace(reportPath);
      std::vector<FindingSink*> sinks;
      if (!options.quiet) sinks.push_back(&findings);
      if (report) sinks.push_back(&*report);
      FindingFanOut fanOut(sinks);

      CameraTable table;
      ImportOptions importOptions;
      importOptions.findings = sinks.empty() ? nullptr : &fanOut;
      importOptions.progress = progress.callback("Reading");
      const ImportResult imported = importCameraList(file, table, importOptions);
      progress.finish();
      if (!imported.loaded()) {
        printImportFailure(std::cerr, imported, options.file);
        return 1;
      }
      if (report) report->commit();
      if (!options.quiet) {
        std::cout << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << options.file << "\n";
      }
      // Only rows that become records are cameras on a device.
      cameras = table.records();
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
    if (!options.quiet) {
      std::size_t drawn = 0;
      for (const CameraRecord& c : cameras) drawn += inBounds(c.latitude, c.longitude) ? 1 : 0;
      std::cout << "Drew " << counted(drawn, "camera", "cameras")
                << (drawn > kMaxMarkedCameras ? " as a density grid" : "");
      // A list's skipped rows are among its findings; a database's records
      // out of range are not.
      if (drawn < cameras.size()) {
        std::cout << "; left out " << counted(cameras.size() - drawn, "record", "records")
                  << " with coordinates out of range";
      }
      std::cout << "\nMap written. [" << displayPath(output) << "]\n";
      std::cout.flush();
      printFindingsSummary(std::cerr, findings, options.report);
    }
    return 0;
  });
}

}  // namespace tabrino::cli
