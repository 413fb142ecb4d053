#include "cli/from_osm_command.h"

#include "cli/exit_codes.h"
#include "cli/findings_summary.h"

#include "cli/list_input.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/list/list_text.h"
#include "core/osm/osm_extract.h"
#include "core/platform/file_io.h"
#include "core/texts/user_texts.h"

#include <iostream>
#include <memory>
#include <optional>
#include <vector>

namespace tabrino::cli {
OsmDirectionUse directionUse(const std::string& word) {
  if (word == "travel") return OsmDirectionUse::Travel;
  if (word == "facing") return OsmDirectionUse::Facing;
  return OsmDirectionUse::Ignore;
}

int runFromOsm(const FromOsmOptions& options) {
  const bool toStandardOutput = options.output.empty() || isStandardStream(options.output);
  const bool reportToStandardOutput = isStandardStream(options.report);
  // Only one of the list and the report can take standard output.
  std::vector<NamedFile> outputs{namedFile("-o", toStandardOutput ? "-" : options.output)};
  if (!options.report.empty()) outputs.push_back(namedFile("--report", options.report));
  if (const auto refused = refuseUnsafeFiles(outputs, {namedFile("the extract", options.extract)}, options.force)) {
    return *refused;
  }
  // Lines on a terminal would scroll through the bar.
  ProgressBar progress(!options.quiet && !((toStandardOutput || reportToStandardOutput) && isTerminal(stdout)));
  return runGuarded(progress, kFailure, "the extract is too large for this machine", [&]() -> int {
    // The report is opened first: a report that cannot be written stops the
    // run before the extract is read.
    std::optional<FindingReport> report;
    if (!options.report.empty()) openReport(report, options.report);
    FindingSummary summary;
    std::vector<FindingSink*> sinks{&summary};
    if (report) sinks.push_back(&*report);
    FindingFanOut findings(sinks);

    CameraTable table;
    std::optional<InputFile> opened;
    openInput(opened, options.extract);
    InputFile& extract = *opened;
    extract.readExtract(table, {directionUse(options.osmDirection), &findings, progress.callback("Reading")});
    progress.finish();

    // A list cut short would convert into a database with cameras missing:
    // it appears only once complete.
    const std::unique_ptr<AtomicFileWriter> out =
        toStandardOutput ? std::make_unique<AtomicFileWriter>(stdout, "standard output")
                         : std::make_unique<AtomicFileWriter>(argumentPath(options.output));
    out->write(listHeaderLine());
    std::uint64_t idx = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (const std::optional<CameraRecord> record = table.record(i)) out->write(listLine(++idx, *record));
    }
    out->commit();
    if (report) report->commit();
    if (!options.quiet) {
      std::cerr << "Found " << counted(table.size(), "camera", "cameras") << " in " << sourceName(options.extract);
      if (!toStandardOutput) std::cerr << "; wrote " << options.output;
      std::cerr << "\n";
      for (const std::string& line : findingSummaryLines(summary, true)) std::cerr << line << "\n";
      if (summary.total() != 0) {
        std::cerr << (report ? findingsReportWrittenText(reportToStandardOutput ? "standard output" : options.report)
                             : std::string("--report FILE lists every finding."))
                  << "\n";
      }
    }
    return options.failOnFindings && unmeantFindings(summary) != 0 ? kFindings : kSuccess;
  });
}

}  // namespace tabrino::cli
