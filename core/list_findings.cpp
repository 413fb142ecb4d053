#include "list_findings.h"

#include "c_numbers.h"
#include "camera_db_format.h"
#include "errors.h"
#include "file_io.h"

#include <algorithm>
#include <cerrno>

namespace tabrino {
namespace {

// Long enough to recognise a line, short enough for one line of a message.
constexpr std::size_t kShownTextLength = 40;
constexpr std::size_t kReportChunkSize = std::size_t{1} << 20;

// Cell text as a user can read it anywhere: control bytes become \xNN.
std::string quoted(std::string_view text) {
  std::string shown = "\"";
  for (const char c : text.substr(0, kShownTextLength)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    }
  }
  if (text.size() > kShownTextLength) shown += "...";
  return shown + "\"";
}

std::string_view trimLeadingSpace(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\n\v\f\r");
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// A field of a CSV line: quoted, with quotes doubled, when it must be.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string field = "\"";
  for (char c : text) field += c == '"' ? std::string("\"\"") : std::string(1, c);
  return field + "\"";
}

}  // namespace

const char* findingKindName(FindingKind kind) noexcept {
  switch (kind) {
    case FindingKind::NoComma: return "no-comma";
    case FindingKind::FieldCount: return "field-count";
    case FindingKind::NotANumber: return "not-a-number";
    case FindingKind::NumberPrefix: return "number-prefix";
    case FindingKind::OutOfRange: return "out-of-range";
  }
  return "";
}

void ListFindings::add(std::uint64_t lineNumber, FindingKind kind, std::string detail) {
  findings_.push_back({lineNumber, kind, std::move(detail)});
  ++counts_[static_cast<std::size_t>(kind)];
}

void ListFindings::lineRead(const LineShape& line) {
  if (line.lineNumber == 0) return;  // the header never becomes a camera
  if (line.fieldCount == 1) {
    if (!line.firstField.empty()) add(line.lineNumber + 1, FindingKind::NoComma, quoted(line.firstField));
  } else if (line.fieldCount != kColumnCount) {
    add(line.lineNumber + 1, FindingKind::FieldCount, std::to_string(line.fieldCount) + " fields, not 7");
  }
}

void ListFindings::checkRows(const CameraTable& table) {
  for (std::size_t row = 0; row < table.size(); ++row) {
    const CameraTable::Cells cells = table.rowCells(row);
    const std::uint64_t lineNumber = table.tag(row) + 1;
    for (std::size_t c = static_cast<std::size_t>(Column::X); c < kColumnCount; ++c) {
      const std::string_view text = cells[c];
      const bool coordinate = c == static_cast<std::size_t>(Column::X) || c == static_cast<std::size_t>(Column::Y);
      const std::size_t length = coordinate ? parseCDouble(text).length : parseCInt(text).length;
      if (length == text.size() && length > 0) continue;
      const std::string cell = std::string(kColumnTitles[c]) + " " + quoted(text);
      if (length == 0) {
        add(lineNumber, FindingKind::NotANumber, cell + " reads as 0");
      } else {
        add(lineNumber, FindingKind::NumberPrefix,
            cell + " reads as " + std::string(trimLeadingSpace(text.substr(0, length))));
      }
    }
    if (!recordFromCells(recordCellsOf(cells))) {
      add(lineNumber, FindingKind::OutOfRange,
          "X " + quoted(cells[static_cast<std::size_t>(Column::X)]) + ", Y " +
              quoted(cells[static_cast<std::size_t>(Column::Y)]));
    }
  }
  std::stable_sort(findings_.begin(), findings_.end(),
                   [](const ListFinding& a, const ListFinding& b) { return a.lineNumber < b.lineNumber; });
}

void writeFindingsReport(const std::vector<ListFinding>& findings, const std::filesystem::path& path) {
  const std::string shownPath = displayPath(path);
  errno = 0;
  UniqueFile file = openFile(path, "wb");
  if (!file) throw FileOpenError(shownPath, systemErrorText(errno));
  auto fail = [&] { throw FileWriteError(shownPath, systemErrorText(errno ? errno : EIO)); };
  std::string text = "line,kind,detail\n";
  for (std::size_t i = 0; i <= findings.size(); ++i) {
    if (i < findings.size()) {
      const ListFinding& finding = findings[i];
      text += std::to_string(finding.lineNumber) + "," + findingKindName(finding.kind) + "," +
              csvField(finding.detail) + "\n";
    }
    if (text.size() >= kReportChunkSize || i == findings.size()) {
      errno = 0;
      if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) fail();
      text.clear();
    }
  }
  errno = 0;
  if (std::fclose(file.release()) != 0) fail();
}

}  // namespace tabrino
