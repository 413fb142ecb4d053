// The few lines after a conversion that tell a user what to fix in the list.
#pragma once

#include "core/list/list_findings.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace tabrino::cli {

// One line per kind of finding, with its count and the first few lines;
// nothing when the list had no finding. reportPath: where every finding
// went, or empty. sources: the lists read, to name each line's list.
void printFindingsSummary(std::ostream& out, const FindingSummary& findings, const std::string& reportPath,
                          const ListSources* sources = nullptr);

// The findings --fail-on-findings fails on: all but the rows a filter the
// user asked for left out.
std::uint64_t unmeantFindings(const FindingSummary& findings);

}  // namespace tabrino::cli
