#include "cli/export_command.h"

#include "cli/exit_codes.h"
#include "cli/findings_summary.h"
#include "cli/from_osm_command.h"
#include "cli/input_file.h"
#include "cli/list_input.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/list/finding_spool.h"
#include "core/map/type_marks.h"
#include "core/run/export_run.h"
#include "core/run/inputs.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>

namespace tabrino::cli {
namespace {

// The file-name template, and the region --polygon names for {region}: its file's name.
FileNameFields fileFields(const ExportOptions& options) {
  FileNameFields fields;
  if (!options.fileName.empty()) fields.fileTemplate = options.fileName;
  if (!options.filter.polygon.empty() && !isStandardStream(options.filter.polygon)) {
    fields.region = argumentPath(options.filter.polygon).stem().u8string();
  }
  return fields;
}

int usage(const std::string& message) {
  std::cerr << messagePrefix() << message << "\n";
  return kUsage;
}

// Options that make sense only together. Prints why not and returns the exit status.
std::optional<int> checkOptions(const ExportOptions& options) {
  if (options.output.empty() == options.outputDirectory.empty()) {
    return usage("give either -o FILE or --output-dir DIR");
  }
  if (options.outputDirectory.empty()) {
    for (const auto& [given, name] : {std::pair{!options.splitBy.empty(), "--split-by"},
                                      std::pair{options.maxPerFile != 0, "--max-per-file"},
                                      std::pair{options.icons, "--icons"},
                                      std::pair{!options.fileName.empty(), "--file-name"}}) {
      if (given) return usage(std::string(name) + " writes several files: it needs --output-dir DIR");
    }
  } else if (isStandardStream(options.outputDirectory)) {
    return usage("--output-dir names a folder; standard output (-) cannot hold it");
  }
  if (std::count(options.inputs.begin(), options.inputs.end(), "-") > 1) {
    return usage("standard input (-) can be only one of the inputs");
  }
  try {
    static_cast<void>(NameTemplate(options.name.empty() ? NameTemplate::kDefault : options.name));
    checkFileTemplate(fileFields(options));
  } catch (const TabrinoError& error) {
    return usage(error.what());
  }
  return std::nullopt;
}

std::vector<NamedFile> inputFiles(const ExportOptions& options) {
  std::vector<NamedFile> inputs;
  for (const std::string& input : options.inputs) inputs.push_back(namedFile("the input", input));
  for (NamedFile& input : filterInputs(options.filter)) inputs.push_back(std::move(input));
  return inputs;
}

// Reads every input into `table`: a database as its records exactly, any
// other input as convert reads it. False after saying why an input could not be read.
bool readInputs(const ExportOptions& options, CameraTable& table, ListSources& sources, ListFindings& findings,
                ProgressBar& progress) {
  ImportOptions import;
  import.findings = findings.sink();
  import.progress = progress.callback("Reading");
  const InputOptions inputOptions{import, directionUse(options.osmDirection), options.inputs.size() > 1};
  for (const std::string& argument : options.inputs) {
    const std::string shown = sourceName(argument);
    std::optional<InputFile> opened;
    openInput(opened, argument);
    InputFile& input = *opened;
    if (input.startsLikeDatabase()) {
      const DatabaseInput read = readDatabaseInput(input, table, sources, progress.callback("Reading"));
      progress.finish();
      if (!read.sound && !options.quiet) {
        std::cerr << messagePrefix() << "warning: " << shown
                  << " is not sound; its records were taken as they stand (tabrino inspect lists the problems)\n";
      }
      if (!options.quiet) statusOut() << "Loaded " << counted(read.records, "record", "records") << " from " << shown << "\n";
      continue;
    }
    const ImportResult imported = readInput(input, table, sources, inputOptions);
    progress.finish();
    if (!imported.loaded()) {
      printImportFailure(std::cerr, imported, shown, input.firstBytes());
      return false;
    }
    if (!options.quiet) statusOut() << "Loaded " << counted(imported.loadedCount, "row", "rows") << " from " << shown << "\n";
  }
  return true;
}

int writeOneFile(const ExportOptions& options, const std::vector<CameraRecord>& cameras) {
  const CameraFileFormat format = *cameraFileFormatNamed(options.format);
  const std::unique_ptr<AtomicFileWriter> out = openOutput(options.output);
  const std::string title =
      isStandardStream(options.output) ? std::string("cameras") : argumentPath(options.output).filename().u8string();
  const NameTemplate names(options.name.empty() ? NameTemplate::kDefault : options.name);
  writeCameraFile(format, cameras, names, title, [&](const std::string& text) { out->write(text); });
  out->commit();
  if (!options.quiet) {
    statusOut() << "Wrote " << counted(cameras.size(), "camera", "cameras") << " to "
                << (isStandardStream(options.output) ? "standard output" : options.output) << "\n";
  }
  return kSuccess;
}

int writeFolder(const ExportOptions& options, const std::vector<CameraRecord>& cameras, ProgressBar& progress) {
  FolderExport plan;
  plan.format = *cameraFileFormatNamed(options.format);
  if (!options.name.empty()) plan.nameTemplate = options.name;
  plan.folder = argumentPath(options.outputDirectory);
  plan.split = options.splitBy.empty() ? SplitBy::Nothing : *splitByNamed(options.splitBy);
  plan.fileNames = fileFields(options);
  plan.maxPerFile = options.maxPerFile;
  if (options.icons) plan.iconLook = typeIconLook;  // as the map draws each type
  const std::vector<CameraGroup> groups = folderExportGroups(cameras, plan);
  // The names are known only now: none may be an input. The outputs have
  // names of their own in one folder, so each is checked against the inputs
  // alone (every pair of hundreds of files would cost more than the export).
  const std::vector<NamedFile> inputs = inputFiles(options);
  for (const std::filesystem::path& file : folderExportFiles(groups, plan)) {
    const NamedFile output{"--output-dir", file.u8string(), file};
    if (std::optional<std::string> clash = clashingFiles({output}, inputs)) {
      // The inputs have been read by now; only the writing is held back.
      const std::string unread = " (nothing was read or written)";
      if (clash->size() > unread.size() && clash->compare(clash->size() - unread.size(), unread.size(), unread) == 0) {
        clash->replace(clash->size() - unread.size(), unread.size(), " (nothing was written)");
      }
      std::cerr << messagePrefix() << *clash << "\n";
      return kUsage;
    }
    if (const auto refused = refuseUnsafeFiles({output}, inputs, options.force)) return *refused;
  }
  const std::vector<ExportedFile> files = writeFolderExport(groups, plan, progress.callback("Writing"));
  progress.finish();
  if (!options.quiet) {
    std::ostream& out = statusOut();
    for (const ExportedFile& file : files) {
      out << "  " << file.path.filename().u8string() << "  " << counted(file.cameras, "camera", "cameras") << "\n";
    }
    out << "Wrote " << counted(cameras.size(), "camera", "cameras") << " in " << counted(files.size(), "file", "files")
        << " to " << options.outputDirectory << " (listed in " << kManifestName << ")\n";
  }
  return kSuccess;
}

}  // namespace

int runExport(const ExportOptions& options) {
  if (const auto refused = checkOptions(options)) return *refused;
  std::vector<NamedFile> outputs;
  if (!options.report.empty()) outputs.push_back(namedFile("--report", options.report));
  if (!options.output.empty()) outputs.push_back(namedFile("-o", options.output));
  if (const auto refused = refuseUnsafeFiles(outputs, inputFiles(options), options.force)) return *refused;
  if (isStandardStream(options.output) || isStandardStream(options.report)) reserveStandardOutput();
  if (!options.outputDirectory.empty()) {
    try {
      checkOutputFolder(argumentPath(options.outputDirectory) / kManifestName);
    } catch (const TabrinoError& error) {
      printError(std::cerr, error);
      return kFailure;
    }
  }
  ProgressBar progress(!options.quiet);
  return runGuarded(progress, kFailure, "the inputs are too large for this machine", [&]() -> int {
    const PipelineOptions run{makeFilter(options.filter), options.nearMetres, options.dropDuplicates,
                              options.maxRecords};
    // Findings are spooled while the inputs are read and written to the
    // report with the duplicates, as convert writes them; a report that
    // cannot be opened stops the run first.
    ListSources sources;
    std::optional<FindingReport> report;
    std::optional<FindingSpool> spool;
    if (!options.report.empty()) {
      openReport(report, options.report, &sources);
      spool.emplace();
    }
    const bool counting = !options.quiet || options.failOnFindings;
    ListFindings findings(!counting, spool ? &*spool : nullptr);
    CameraTable table;
    if (!readInputs(options, table, sources, findings, progress)) return kFailure;
    PipelineFindings wanted;
    wanted.summary = counting ? &findings.summary() : nullptr;
    if (report) {
      wanted.report = &*report;
      wanted.imported = [&spool](FindingSink& sink) { spool->replay(sink); };
    }
    const ExportSelection selection = selectCameras(table, sources, run, wanted);
    if (!options.quiet && run.filter.active()) statusOut() << leftOutText(run.filter, selection.filtered) << "\n";
    if (selection.outcome == ExportSelection::Outcome::FilteredAll) {
      std::cerr << messagePrefix() << "the filters left no camera: nothing written\n";
      return kFailure;
    }
    if (selection.outcome == ExportSelection::Outcome::OverLimit) {
      std::cerr << messagePrefix() << counted(selection.cameras.size(), "camera", "cameras")
                << ", more than --max-records " << *options.maxRecords << "; nothing was written\n";
      return kFailure;
    }
    if (!options.quiet && options.dropDuplicates) {
      statusOut() << "Dropped " << counted(selection.dropped, "duplicate", "duplicates") << "\n";
    }
    const int status = options.output.empty() ? writeFolder(options, selection.cameras, progress)
                                              : writeOneFile(options, selection.cameras);
    if (status != kSuccess) return status;
    if (!options.quiet) printFindingsSummary(std::cerr, findings.summary(), options.report, &sources);
    return options.failOnFindings && unmeantFindings(findings.summary()) != 0 ? kFindings : kSuccess;
  });
}

}  // namespace tabrino::cli
