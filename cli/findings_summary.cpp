#include "cli/findings_summary.h"

#include "core/texts/user_texts.h"

#include <vector>

namespace tabrino::cli {

void printFindingsSummary(std::ostream& out, const FindingSummary& findings, const std::string& reportPath) {
  if (findings.total() == 0) return;
  for (const FindingWording& wording : kFindingWordings) {
    const std::uint64_t count = findings.count(wording.kind);
    if (count == 0) continue;
    out << count << " " << (count == 1 ? wording.one : wording.many) << ":";
    const std::vector<ListFinding>& examples = findings.examples(wording.kind);
    for (std::size_t i = 0; i < examples.size(); ++i) {
      out << (i ? ", " : " ") << "line " << examples[i].lineNumber << " (" << examples[i].detail << ")";
    }
    if (count > examples.size()) out << ", ...";
    out << "\n";
  }
  out << "Lines are counted from 1, the header being line 1. ";
  if (reportPath.empty()) {
    out << "--report FILE lists every finding.\n";
  } else {
    out << "Every finding is in " << reportPath << ".\n";
  }
}

}  // namespace tabrino::cli
