#include "core/texts/user_texts.h"

namespace tabrino {

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
