#include "cli/findings_summary.h"

#include <array>

namespace tabrino::cli {
namespace {

constexpr std::size_t kExamplesShown = 3;

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

void printFindingsSummary(std::ostream& out, const ListFindings& findings, const std::string& reportPath) {
  if (findings.all().empty()) return;
  for (const KindWording& wording : kWordings) {
    const std::size_t count = findings.count(wording.kind);
    if (count == 0) continue;
    out << count << " " << (count == 1 ? wording.one : wording.many) << ":";
    std::size_t shown = 0;
    for (const ListFinding& finding : findings.all()) {
      if (finding.kind != wording.kind) continue;
      if (shown == kExamplesShown) {
        out << ", ...";
        break;
      }
      out << (shown++ ? ", " : " ") << "line " << finding.lineNumber << " (" << finding.detail << ")";
    }
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
