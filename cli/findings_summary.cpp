#include "cli/findings_summary.h"

#include "cli/output_folder.h"
#include "core/texts/user_texts.h"

#include <vector>

namespace tabrino::cli {

void printFindingsSummary(std::ostream& out, const FindingSummary& findings, const std::string& reportPath,
                          const ListSources* sources) {
  if (findings.total() == 0) return;
  for (const std::string& line : findingSummaryLines(findings, true, sources)) out << line << "\n";
  // An extract's findings name their objects and have no lines.
  bool lines = false;
  for (std::size_t kind = 0; kind < kFindingKindCount; ++kind) {
    for (const ListFinding& example : findings.examples(static_cast<FindingKind>(kind))) {
      lines |= (sources ? sources->place(example.lineNumber).lineNumber : example.lineNumber) != 0;
    }
  }
  if (lines) out << "Lines are counted from 1, the header being line 1. ";
  out << (reportPath.empty() ? std::string("--report FILE lists every finding.")
                             : findingsReportWrittenText(isStandardStream(reportPath) ? "standard output" : reportPath))
      << "\n";
}

std::uint64_t unmeantFindings(const FindingSummary& findings) {
  return findings.total() - findings.count(FindingKind::Filtered);
}

}  // namespace tabrino::cli
