#include "core/texts/user_texts.h"

namespace tabrino {

const char* findingKindWords(FindingKind kind) noexcept {
  switch (kind) {
    case FindingKind::NoComma: return "no comma: no row";
    case FindingKind::FieldCount: return "not 7 fields";
    case FindingKind::NotANumber: return "no number, read as 0";
    case FindingKind::NumberPrefix: return "more than a number";
    case FindingKind::OutOfRange: return "out of range, skipped";
    case FindingKind::Duplicate: return "same camera again";
    case FindingKind::NearDuplicate: return "near an earlier camera";
    case FindingKind::Filtered: return "left out by the options";
    case FindingKind::OsmLeftOut: return "relation left out";
    case FindingKind::OsmRoadSpeed: return "speed from the road";
    case FindingKind::OsmNoSpeed: return "no speed in the extract";
    case FindingKind::OsmDirection: return "direction not used";
    case FindingKind::OsmWayCamera: return "camera drawn as a way";
    case FindingKind::NotACamera: return "not a camera, not read";
    case FindingKind::Unreadable: return "could not be read";
    case FindingKind::SwappedCoordinates: return "X and Y look swapped";
  }
  return "";
}

std::vector<std::string> findingSummaryLines(const FindingSummary& findings, bool withDetails,
                                             const ListSources* sources) {
  std::vector<std::string> lines;
  for (const FindingWording& wording : kFindingWordings) {
    const std::uint64_t count = findings.count(wording.kind);
    if (count == 0) continue;
    std::string line = std::to_string(count) + " " + (count == 1 ? wording.one : wording.many) + ":";
    const std::vector<ListFinding>& examples = findings.examples(wording.kind);
    for (std::size_t i = 0; i < examples.size(); ++i) {
      // An extract's findings have no line; they name their object.
      if ((sources ? sources->place(examples[i].lineNumber).lineNumber : examples[i].lineNumber) == 0) {
        line += (i ? ", " : " ") + examples[i].detail;
        continue;
      }
      line += (i ? ", " : " ") + (sources ? sources->placeText(examples[i].lineNumber)
                                          : "line " + std::to_string(examples[i].lineNumber));
      if (withDetails) line += " (" + examples[i].detail + ")";
    }
    if (count > examples.size()) line += ", ...";
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string otherSeparatorText(std::string_view firstLine) {
  firstLine = firstLine.substr(0, firstLine.find('\n'));
  const char* name = firstLine.find(';') != std::string_view::npos    ? "semicolons"
                     : firstLine.find('\t') != std::string_view::npos ? "tabs"
                                                                      : nullptr;
  if (!name) return {};
  return std::string("The first line holds ") + name +
         ": the list seems to use another separator. Its fields must be separated by commas.";
}

}  // namespace tabrino
