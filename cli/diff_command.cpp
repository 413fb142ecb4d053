#include "cli/diff_command.h"

#include "cli/exit_codes.h"
#include "cli/input_file.h"
#include "core/run/inputs.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/platform/byte_source.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/compare/list_diff.h"

#include <iostream>
#include <memory>
#include <new>
#include <optional>

namespace tabrino::cli {
namespace {

// Differences of each kind shown on the terminal; --report has them all.
constexpr std::size_t kShownPerKind = 5;

// Reads a list or a database into `set`; false after saying why not, in the
// words of convert and inspect.
// Each is opened once, so that a pipe works as well as a file.
bool load(const std::string& given, CameraSet& set, ProgressBar& progress, bool quiet, const CameraDefaults& defaults) {
  std::optional<InputFile> opened;
  openInput(opened, given);
  InputFile& input = *opened;
  if (input.startsLikeDatabase()) {
    const std::unique_ptr<ByteSource> source = input.database();
    const DatabaseInspection inspection = set.loadDatabase(*source, progress.callback("Reading"));
    progress.finish();
    if (!inspection.sound() && !quiet) {
      std::cerr << messagePrefix() << "warning: " << sourceName(given) << " is not sound; its " << set.size()
                << " records were compared as they stand (tabrino inspect lists the problems)\n";
    }
    return true;
  }
  // A list or an extract, read as every command reads its inputs.
  const CameraSet::ListImport import = [&input, &defaults](CameraTable& table, const ImportOptions& options) {
    ListSources sources;
    InputOptions inputOptions{options};
    inputOptions.cameraDefaults = defaults;
    return readInput(input, table, sources, inputOptions);
  };
  const ImportResult imported = set.loadList(import, progress.callback("Reading"));
  progress.finish();
  if (imported.loaded()) return true;
  printImportFailure(std::cerr, imported, sourceName(given), input.firstBytes());
  return false;
}

std::string where(const CameraSet& set, std::size_t camera) {
  return (set.fromDatabase() ? "record " : "line ") + std::to_string(set.number(camera));
}

void printDifference(std::ostream& out, const CameraSet& before, const CameraSet& after, const CameraDifference& d) {
  out << "  ";
  switch (d.change) {
    case CameraChange::Added:
      out << where(after, d.after) << ": " << recordFieldsText(after.record(d.after));
      break;
    case CameraChange::Removed:
      out << where(before, d.before) << ": " << recordFieldsText(before.record(d.before));
      break;
    case CameraChange::Changed: {
      const CameraRecord old = before.record(d.before);
      out << where(after, d.after) << " (" << where(before, d.before)
          << " before): " << recordFieldsText(after.record(d.after)) << " (TYPE " << unsigned{old.type} << ", SPEED "
          << unsigned{old.speed} << " before)";
      break;
    }
  }
  out << "\n";
}

void printFirstOfEach(std::ostream& out, const CameraSet& before, const CameraSet& after, const CameraDiff& diff,
                      const std::string& reportPath) {
  std::size_t shown = 0;
  for (std::size_t i = 0; i < diff.differences.size();) {
    const CameraChange change = diff.differences[i].change;
    std::size_t end = i;
    while (end < diff.differences.size() && diff.differences[end].change == change) ++end;
    out << (change == CameraChange::Added ? "Added" : change == CameraChange::Removed ? "Removed" : "Changed");
    if (end - i > kShownPerKind) out << " (the first " << kShownPerKind << ")";
    out << ":\n";
    for (std::size_t k = i; k < end && k < i + kShownPerKind; ++k, ++shown) {
      printDifference(out, before, after, diff.differences[k]);
    }
    i = end;
  }
  if (shown == 0) return;
  out << "Fields are X,Y,TYPE,SPEED,DIRTYPE,DIRECTION as a database holds them; lines are counted from 1. ";
  if (reportPath.empty()) {
    out << "--report FILE lists every difference.\n";
  } else {
    out << "Every difference is in " << reportPath << ".\n";
  }
}

}  // namespace

int runDiff(const DiffOptions& options) {
  if (isStandardStream(options.before) && isStandardStream(options.after)) {
    std::cerr << messagePrefix()
              << "OLD and NEW are both standard input (-): only one can be; name a file for the other\n";
    return kUsage;
  }
  // The report is put in place over whatever has its name: never over an input.
  if (const auto refused =
          refuseUnsafeFiles({namedFile("--report", options.report)},
                            {namedFile("the input", options.before), namedFile("the input", options.after)}, options.force)) {
    return *refused;
  }
  if (isStandardStream(options.report)) reserveStandardOutput();
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kTrouble, "the files are too large for this machine", [&]() -> int {
    // Opened first: a report that cannot be written stops the run early.
    std::unique_ptr<AtomicFileWriter> report;
    if (!options.report.empty()) report = openOutput(options.report);
    CameraSet before, after;
    const CameraDefaults defaults = options.cameraDefaults.defaults();
    if (!load(options.before, before, progress, options.quiet, defaults) ||
        !load(options.after, after, progress, options.quiet, defaults)) {
      return kTrouble;
    }
    const CameraDiff diff = diffCameras(before, after);
    if (report) {
      report->write(diffReportHeader(before, after));
      for (const CameraDifference& difference : diff.differences) {
        report->write(diffReportLine(before, after, difference));
      }
      report->commit();
    }
    std::ostream& out = statusOut();
    out << diff.added << " added, " << diff.removed << " removed, " << diff.changed << " changed, "
              << diff.unchanged << " unchanged\n";
    if (!options.quiet) {
      printFirstOfEach(out, before, after, diff, isStandardStream(options.report) ? "standard output" : options.report);
    }
    return diff.same() ? kSuccess : kDifferences;
  });
}

}  // namespace tabrino::cli
