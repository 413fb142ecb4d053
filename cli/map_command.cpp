#include "cli/map_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
#include "cli/input_file.h"
#include "cli/list_input.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/platform/byte_source.h"
#include "core/map/camera_map.h"
#include "core/map/camera_page.h"
#include "core/database/db_inspect.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/database/record_reader.h"
#include "core/model/coordinate_text.h"
#include "core/list/list_findings.h"
#include "core/list/text_import.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace tabrino::cli {
namespace {

// Outputs that stand apart from the input and from each other. Prints why
// not and returns the exit status.
std::optional<int> checkFiles(const MapOptions& options, const std::string& output) {
  if (output.empty()) {
    std::cerr << messagePrefix()
              << "the picture of standard input needs a name: give -o FILE (-o - writes it to standard output)\n";
    return kUsage;
  }
  std::vector<NamedFile> outputs{namedFile(options.output.empty() ? "the picture" : "-o", output)};
  if (!options.report.empty()) outputs.push_back(namedFile("--report", options.report));
  std::vector<NamedFile> inputs = filterInputs(options.filter);
  inputs.insert(inputs.begin(), namedFile("the input", options.file));
  return refuseUnsafeFiles(outputs, inputs, options.force);
}

// A database's records as they stand, dated by its header.
std::vector<CameraRecord> databaseCameras(const MapOptions& options, InputFile& input, MapTitle& title,
                                          ProgressBar& progress) {
  const std::unique_ptr<ByteSource> database = input.database();
  ByteSource& source = *database;
  const DatabaseInspection report = inspectDatabase(source, progress.callback("Checking"));
  title.date = isoDateText(report.date);
  std::vector<CameraRecord> cameras;
  cameras.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(report.recordCount, source.size() / kRecordSize)));
  forEachRecord(source, report.recordCount, [&](const CameraRecord& record) { cameras.push_back(record); },
                progress.callback("Reading"));
  progress.finish();
  if (!report.sound() && !options.quiet) {
    std::cerr << messagePrefix() << "warning: " << sourceName(options.file)
              << " is not sound; its records were drawn as they stand (tabrino inspect lists the problems)\n";
  }
  return cameras;
}

// A list's cameras: the rows that become records, as on a device. Findings
// go to the report as the list is read; it is put in place only once the
// list has passed its header test. False after saying why not.
// Each camera's line in the list too (counted from 1), for the page's
// pop-ups and the names of cameras left out of the view; for the page, its
// IDX as well, by which the list's author finds it.
bool listCameras(const MapOptions& options, InputFile& input, ListFindings& findings, FindingReport* report,
                 ProgressBar& progress, std::vector<CameraRecord>& cameras, CameraNumbers& numbers, bool page) {
  CameraTable table;
  ListSources sources;
  if (!readCameraList({options.file}, table, sources, findings, progress, options.quiet, "", &input,
                      options.cameraDefaults.defaults(), page)) {
    return false;
  }
  if (report) report->commit();
  cameras = table.records();
  numbers.lines = table.recordLines();
  numbers.cells = table.recordCells();
  return true;
}

// The cameras the filter keeps, with their lines and IDX beside them.
FilterCounts keepFiltered(const CameraFilter& filter, std::vector<CameraRecord>& cameras, CameraNumbers& numbers) {
  FilterCounts counts{};
  std::size_t kept = 0, idRead = 0;
  std::string keptIds;
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    const CameraRecord& camera = cameras[i];
    const std::size_t idEnd = numbers.cells.empty() ? 0 : numbers.cells.find('\n', idRead) + 1;
    const std::size_t idStart = idRead;
    idRead = idEnd;
    if (inBounds(camera.latitude, camera.longitude)) {
      if (const auto kind = filter.leftOutBy(camera)) {
        ++counts[static_cast<std::size_t>(*kind)];
        continue;
      }
    }
    if (!numbers.lines.empty()) numbers.lines[kept] = numbers.lines[i];
    keptIds.append(numbers.cells, idStart, idEnd - idStart);
    cameras[kept++] = camera;
  }
  cameras.resize(kept);
  if (!numbers.lines.empty()) numbers.lines.resize(kept);
  numbers.cells.swap(keptIds);
  return counts;
}

// The page for --format html or an output named .html or .htm; else the picture.
bool writesPage(const MapOptions& options, const std::string& output) {
  if (!options.format.empty()) return options.format == "html";
  const std::string extension = argumentPath(output).extension().u8string();
  const auto lower = [](std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
  };
  return lower(extension) == ".html" || lower(extension) == ".htm";
}

// The counts agree with the picture's and the page's: the picture leaves
// out the cameras far from the rest (named just before), the page holds
// them outside its first view.
void printDrawn(const MapOptions& options, const std::vector<CameraRecord>& cameras, std::size_t strays,
                const std::string& output, const ListFindings& findings, bool page, bool densityGrid) {
  std::size_t drawn = 0;
  for (const CameraRecord& c : cameras) drawn += inBounds(c.latitude, c.longitude) ? 1u : 0u;
  std::ostream& out = statusOut();
  out << "Drew " << counted(page ? drawn : drawn - strays, "camera", "cameras")
      << (!page && densityGrid ? " as a density grid" : "");
  if (strays != 0) {
    out << (page ? "; " : "; left out ") << counted(strays, "camera", "cameras") << " far from the rest"
        << (page ? (strays == 1 ? " lies" : " lie") + std::string(" outside the first view") : "");
  }
  // A list's skipped rows are among its findings; a database's records out
  // of range are not.
  if (drawn < cameras.size()) {
    out << "; left out " << counted(cameras.size() - drawn, "record", "records") << " with coordinates out of range";
  }
  out << "\nMap written. [" << (isStandardStream(output) ? "standard output" : output) << "]\n";
  out.flush();
  printFindingsSummary(std::cerr, findings.summary(), options.report);
}

// Cameras far from the rest are left out of the picture's view: say which,
// by line for a list, by record number for a database. Returns how many.
std::size_t printStrays(const std::vector<CameraRecord>& cameras, const CameraNumbers& numbers) {
  constexpr std::size_t kNamed = 10;
  const std::vector<std::size_t> strays = placeOnMap(cameras).strays;
  for (std::size_t i = 0; i < strays.size() && i < kNamed; ++i) {
    const CameraRecord& c = cameras[strays[i]];
    std::cerr << messagePrefix() << "left out of the view: "
              << (numbers.lines.empty() ? "record " + std::to_string(strays[i] + 1)
                                        : "line " + std::to_string(numbers.lines[strays[i]]))
              << " (X " << coordinateText(c.longitude) << ", Y " << coordinateText(c.latitude)
              << "), far from the rest\n";
  }
  if (strays.size() > kNamed) {
    std::cerr << messagePrefix() << "left out of the view: " << counted(strays.size() - kNamed, "other camera", "other cameras")
              << " far from the rest\n";
  }
  return strays.size();
}

}  // namespace

int runMap(const MapOptions& options) {
  const bool fromStandardInput = isStandardStream(options.file);
  // Beside the input, under its name (paths from the command line are UTF-8
  // on every platform).
  std::string output = options.output;
  if (output.empty() && !fromStandardInput) {
    output = displayPath(argumentPath(options.file).replace_extension(options.format == "html" ? ".html" : ".svg"));
  }
  const bool page = writesPage(options, output);
  if (page && !cameraPageBuiltIn()) {
    std::cerr << messagePrefix() << kNoCameraPageText << "\n";
    return kFailure;
  }
  if (const auto refused = checkFiles(options, output)) return *refused;
  if (isStandardStream(output) || isStandardStream(options.report)) reserveStandardOutput();
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kFailure, "too many cameras for this machine", [&]() -> int {
    const CameraFilter filter = makeFilter(options.filter);
    MapTitle title{fromStandardInput ? sourceName(options.file) : displayPath(argumentPath(options.file).filename()),
                   ""};
    std::optional<InputFile> opened;
    openInput(opened, options.file);
    InputFile& input = *opened;
    const bool database = input.startsLikeDatabase();
    std::optional<FindingReport> report;
    if (!database) {
      const ResolvedDate today = resolveDate("");
      if (!today.date) {
        std::cerr << messagePrefix() << today.problem << "\n";
        return kUsage;
      }
      title.date = isoDateText(*today.date);
      if (!options.report.empty()) openReport(report, options.report);
    }
    ListFindings findings(options.quiet, report ? &*report : nullptr);
    std::vector<CameraRecord> cameras;
    CameraNumbers numbers;  // a database's cameras go by their place in it
    if (database) {
      cameras = databaseCameras(options, input, title, progress);
    } else if (!listCameras(options, input, findings, report ? &*report : nullptr, progress, cameras, numbers,
                            page)) {
      return kFailure;
    }
    if (filter.active()) {
      const FilterCounts counts = keepFiltered(filter, cameras, numbers);
      if (!options.quiet) statusOut() << leftOutText(filter, counts) << "\n";
    }
    const std::unique_ptr<AtomicFileWriter> picture = openOutput(output);
    bool densityGrid = false;
    picture->write(page ? cameraPageHtml(cameras, title, numbers) : cameraMapSvg(cameras, title, &densityGrid));
    picture->commit();
    if (!options.quiet) {
      const std::size_t strays = printStrays(cameras, numbers);
      printDrawn(options, cameras, strays, output, findings, page, densityGrid);
    }
    return kSuccess;
  });
}

}  // namespace tabrino::cli
