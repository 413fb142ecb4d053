#include "cli/findings_summary.h"

#include "core/texts/user_texts.h"

#include <vector>

namespace tabrino::cli {

void printFindingsSummary(std::ostream& out, const FindingSummary& findings, const std::string& reportPath,
                          const ListSources* sources) {
  if (findings.total() == 0) return;
  for (const std::string& line : findingSummaryLines(findings, true, sources)) out << line << "\n";
  out << "Lines are counted from 1, the header being line 1. "
      << (reportPath.empty() ? std::string("--report FILE lists every finding.") : findingsReportWrittenText(reportPath))
      << "\n";
}

}  // namespace tabrino::cli
