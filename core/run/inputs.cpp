#include "core/run/inputs.h"

#include <optional>

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

}  // namespace

ImportResult readInput(InputFile& input, CameraTable& table, ListSources& sources, const InputOptions& options) {
  if (input.extractFormat()) return readExtractInput(input, table, sources, options);
  const ListStream stream = input.listStream();
  if (!stream.file) return input.openFailure();
  return importNextList({input.shownName(), {}, &stream}, table, sources, options.import);
}

}  // namespace tabrino
