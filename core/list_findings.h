// What in a list did not become a camera as its author meant, and why: the
// things a user would fix in the list. Collected while the list is imported
// (line shapes) and from the imported table (cell text, coordinates).
#pragma once

#include "camera_table.h"
#include "text_import.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {

enum class FindingKind {
  NoComma,       // a line that is not blank but has no comma: it makes no row
  FieldCount,    // a row from other than seven fields
  NotANumber,    // a cell with no number at its start: it reads as 0
  NumberPrefix,  // a cell with more after its number: only the number is read
  OutOfRange,    // coordinates outside the bounds: the row is skipped
};
inline constexpr std::size_t kFindingKindCount = 5;

// "no-comma", "field-count", "not-a-number", "number-prefix", "out-of-range".
const char* findingKindName(FindingKind kind) noexcept;

struct ListFinding {
  std::uint64_t lineNumber;  // from 1, as editors count (the header is line 1)
  FindingKind kind;
  std::string detail;  // for example: X "12.5km" reads as 12.5
};

class ListFindings : public ImportObserver {
 public:
  void lineRead(const LineShape& line) override;
  // Looks at every row's cells. Call once, after the import and before the
  // table is sorted, so that findings stay in line order.
  void checkRows(const CameraTable& table);

  const std::vector<ListFinding>& all() const noexcept { return findings_; }
  std::size_t count(FindingKind kind) const noexcept { return counts_[static_cast<std::size_t>(kind)]; }

 private:
  void add(std::uint64_t lineNumber, FindingKind kind, std::string detail);

  std::vector<ListFinding> findings_;
  std::array<std::size_t, kFindingKindCount> counts_{};
};

// Writes findings as CSV: the header "line,kind,detail", then one line each.
// Throws FileOpenError or FileWriteError.
void writeFindingsReport(const std::vector<ListFinding>& findings, const std::filesystem::path& path);

}  // namespace tabrino
