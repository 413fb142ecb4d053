#include "cli/findings_summary.h"

#include <array>
#include <vector>

namespace tabrino::cli {
namespace {

struct KindWording {
  FindingKind kind;
  const char* one;
  const char* many;
};

// Skipped rows first: they are the cameras a device will not have.
constexpr std::array<KindWording, kFindingKindCount> kWordings = {{
    {FindingKind::OutOfRange, "row skipped, coordinates out of range", "rows skipped, coordinates out of range"},
    {FindingKind::NoComma, "line without a comma made no row", "lines without a comma made no row"},
    {FindingKind::FieldCount, "line with other than 7 fields", "lines with other than 7 fields"},
    {FindingKind::NotANumber, "cell without a number, read as 0", "cells without a number, read as 0"},
    {FindingKind::NumberPrefix, "cell with more than a number, only the number read",
     "cells with more than a number, only the number read"},
}};

}  // namespace

void printFindingsSummary(std::ostream& out, const FindingSummary& findings, const std::string& reportPath) {
  if (findings.total() == 0) return;
  for (const KindWording& wording : kWordings) {
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
