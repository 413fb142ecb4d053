#include "core/list/list_findings.h"

#include "core/base/utf8_text.h"
#include "core/model/camera_record.h"
#include "core/platform/file_io.h"

#include <utility>

namespace tabrino {
namespace {

// Long enough to recognise a line, short enough for one line of a message.
constexpr std::size_t kShownTextLength = 40;

// Cell text as a user can read it anywhere: control bytes become \xNN.
std::string quoted(std::string_view text) {
  std::string shown = "\"";
  for (const char c : text.substr(0, utf8CutLength(text, kShownTextLength))) {
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
    case FindingKind::Duplicate: return "duplicate";
    case FindingKind::NearDuplicate: return "near-duplicate";
    case FindingKind::Filtered: return "filtered";
    case FindingKind::OsmLeftOut: return "osm-left-out";
    case FindingKind::OsmRoadSpeed: return "osm-road-speed";
    case FindingKind::OsmNoSpeed: return "osm-no-speed";
    case FindingKind::OsmDirection: return "osm-direction";
    case FindingKind::OsmWayCamera: return "osm-way-camera";
    case FindingKind::SwappedCoordinates: return "swapped-coordinates";
    case FindingKind::NotACamera: return "not-a-camera";
    case FindingKind::Unreadable: return "unreadable";
  }
  return "";
}

ListFinding noCommaFinding(std::uint64_t lineNumber, std::string_view line) {
  return {lineNumber, FindingKind::NoComma, quoted(line)};
}

ListFinding fieldCountFinding(std::uint64_t lineNumber, std::size_t fieldCount) {
  return {lineNumber, FindingKind::FieldCount,
          std::to_string(fieldCount) + " fields, not " + std::to_string(kFieldsPerLine)};
}

ListFinding cellFinding(std::uint64_t lineNumber, std::string_view title, std::string_view cell,
                        std::size_t numberLength) {
  std::string detail = std::string(title) + " " + quoted(cell);
  if (numberLength == 0) return {lineNumber, FindingKind::NotANumber, detail + " reads as 0"};
  return {lineNumber, FindingKind::NumberPrefix,
          detail + " reads as " + std::string(trimLeadingSpace(cell.substr(0, numberLength)))};
}

ListFinding outOfRangeFinding(std::uint64_t lineNumber, std::string_view x, std::string_view y) {
  return {lineNumber, FindingKind::OutOfRange, "X " + quoted(x) + ", Y " + quoted(y)};
}

void FindingSummary::add(const ListFinding& finding) {
  const auto kind = static_cast<std::size_t>(finding.kind);
  ++counts_[kind];
  if (examples_[kind].size() < kExamplesPerKind) examples_[kind].push_back(finding);
}

std::uint64_t FindingSummary::total() const noexcept {
  std::uint64_t sum = 0;
  for (const std::uint64_t count : counts_) sum += count;
  return sum;
}

std::string findingsReportHeader(const ListSources* sources) {
  return sources && sources->several() ? "file,line,kind,detail\n" : "line,kind,detail\n";
}

std::string findingsReportLine(const ListFinding& finding, const ListSources* sources) {
  std::string place = std::to_string(finding.lineNumber);
  if (sources && sources->several()) {
    const ListSources::Place where = sources->place(finding.lineNumber);
    place = csvField(where.name ? *where.name : std::string()) + "," + std::to_string(where.lineNumber);
  }
  return place + "," + findingKindName(finding.kind) + "," + csvField(finding.detail) + "\n";
}

FindingReport::FindingReport(const std::filesystem::path& path, const ListSources* sources)
    : output_(path), sources_(sources) {}

FindingReport::FindingReport(std::FILE* stream, std::string shownName, const ListSources* sources)
    : output_(stream, std::move(shownName)), sources_(sources) {}

void FindingReport::add(const ListFinding& finding) {
  writeHeader();
  output_.write(findingsReportLine(finding, sources_));
}

void FindingReport::commit() {
  writeHeader();
  output_.commit();
}

void FindingReport::writeHeader() {
  // Written with the first finding: only then are all the lists known.
  if (headerWritten_) return;
  output_.write(findingsReportHeader(sources_));
  headerWritten_ = true;
}

}  // namespace tabrino
