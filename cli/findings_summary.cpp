#include "cli/findings_summary.h"

#include "cli/output_folder.h"
#include "core/texts/user_texts.h"

#include <vector>

namespace tabrino::cli {

void printFindingsSummary(std::ostream& out, const FindingSummary& findings, const std::string& reportPath) {
  if (findings.total() == 0) return;
  for (const std::string& line : findingSummaryLines(findings, true)) out << line << "\n";
  out << "Lines are counted from 1, the header being line 1. "
      << (reportPath.empty() ? std::string("--report FILE lists every finding.")
                             : findingsReportWrittenText(isStandardStream(reportPath) ? "standard output" : reportPath))
      << "\n";
}

}  // namespace tabrino::cli
