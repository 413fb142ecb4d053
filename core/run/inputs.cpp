#include "core/run/inputs.h"

#include "core/list/list_text.h"

#include <optional>
#include <string>

namespace tabrino {
namespace {

// An extract's findings name objects and have no line. Among several inputs
// they take the extract's first line, which its ListSources entry tells as
// line 0 of the extract: the report names the extract they come from.
class ExtractFindings : public FindingSink {
 public:
  ExtractFindings(FindingSink& out, std::uint64_t line) : out_(out), line_(line) {}
  void add(const ListFinding& finding) override {
    ListFinding placed = finding;
    placed.lineNumber = line_;
    out_.add(placed);
  }

 private:
  FindingSink& out_;
  std::uint64_t line_;
};

// An extract clears the table it fills: after other inputs it is read apart
// and its rows follow theirs.
ImportResult readExtractInput(InputFile& input, CameraTable& table, ListSources& sources,
                              const InputOptions& options) {
  std::optional<ExtractFindings> placed;
  FindingSink* findings = options.import.findings;
  if (findings && options.severalInputs) findings = &placed.emplace(*findings, sources.nextLine() + 1);
  const ExtractOptions extractOptions{options.osmDirection, findings, options.import.progress};
  ImportResult imported;
  if (sources.count() == 0) {
    imported.loadedCount = input.readExtract(table, extractOptions);
  } else {
    CameraTable extract;
    imported.loadedCount = input.readExtract(extract, extractOptions);
    table.appendRows(extract, sources.nextLine());
  }
  sources.addExtract(input.shownName(), imported.loadedCount + 1);  // its lines as from-osm writes them, the header's too
  return imported;
}

// A table that keeps its text keeps an extract's as the list `tabrino
// from-osm` writes of it, so that it shows (and converts) exactly that list.
ImportResult readExtractAsText(InputFile& input, CameraTable& table, ListSources& sources,
                               const InputOptions& options) {
  CameraTable rows;
  input.readExtract(rows, {options.osmDirection, options.import.findings, options.import.progress});
  std::string text = listHeaderLine();
  std::uint64_t idx = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (const std::optional<CameraRecord> record = rows.record(i)) text += listLine(++idx, *record);
  }
  ImportOptions import = options.import;
  import.append = sources.count() > 0;
  import.firstLine = sources.nextLine();
  const ImportResult result = importCameraListText(text, table, import);
  if (result.loaded()) sources.addExtract(input.shownName(), result.lineCount);
  return result;
}

// A shared format's cameras, as rows tagged with their lines; for a table
// that keeps text, as the list they make, whose cells the table shows.
ImportResult readCameraInput(CameraFormat format, InputFile& input, CameraTable& table, ListSources& sources,
                             const InputOptions& options) {
  CameraFileOptions fileOptions;
  fileOptions.findings = options.import.findings;
  fileOptions.progress = options.import.progress;
  fileOptions.defaults = options.cameraDefaults;
  fileOptions.firstLine = sources.nextLine();
  fileOptions.keepText = options.import.keepText;
  fileOptions.severalInputs = options.severalInputs;
  if (!fileOptions.keepText) {
    if (sources.count() == 0) table.clear();
    const CameraFileRead read = input.readCameras(format, table, fileOptions);
    // An OV2 has records, not lines: placed as an extract's objects are.
    if (format == CameraFormat::Ov2) {
      sources.addExtract(input.shownName(), read.lines);
    } else {
      sources.add(input.shownName(), read.lines);
    }
    return {ImportOutcome::Loaded, read.cameras, read.lines, {}};
  }
  CameraTable none;
  const CameraFileRead read = input.readCameras(format, none, fileOptions);
  ImportOptions import = options.import;
  import.findings = nullptr;  // told as the cameras were read
  import.append = sources.count() > 0;
  import.firstLine = sources.nextLine();
  const ImportResult result = importCameraListText(read.text, table, import);
  if (result.loaded()) sources.add(input.shownName(), result.lineCount);
  return result;
}

}  // namespace

ImportResult readInput(InputFile& input, CameraTable& table, ListSources& sources, const InputOptions& options) {
  if (input.extractFormat()) {
    return options.import.keepText ? readExtractAsText(input, table, sources, options)
                                   : readExtractInput(input, table, sources, options);
  }
  if (const std::optional<CameraFormat> format = input.cameraFormat()) {
    return readCameraInput(*format, input, table, sources, options);
  }
  const ListStream stream = input.listStream();
  if (!stream.file) return input.openFailure();
  return importNextList({input.shownName(), {}, &stream}, table, sources, options.import);
}

}  // namespace tabrino
