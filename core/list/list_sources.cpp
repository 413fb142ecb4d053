#include "core/list/list_sources.h"

#include <algorithm>

namespace tabrino {

void ListSources::add(std::string name, std::uint64_t lines) {
  const std::uint64_t first = nextLine();
  lists_.push_back({std::move(name), first, lines, false});
}

void ListSources::addExtract(std::string name, std::uint64_t lines) {
  const std::uint64_t first = nextLine();
  lists_.push_back({std::move(name), first, lines, true});
}

ListSources::Place ListSources::place(std::uint64_t lineNumber) const noexcept {
  // The last list whose first line comes at or before it; a list of no
  // lines holds none.
  const auto after = std::upper_bound(lists_.begin(), lists_.end(), lineNumber,
                                      [](std::uint64_t number, const List& list) { return number <= list.firstLine; });
  if (after == lists_.begin()) return {nullptr, lineNumber};
  const List& list = *(after - 1);
  const std::uint64_t own = lineNumber - list.firstLine;
  return {&list.name, list.extract && own == 1 ? 0 : own};
}

std::vector<ListSources::Start> ListSources::starts() const {
  std::vector<Start> starts;
  for (const List& list : lists_) starts.push_back({list.name, list.firstLine});
  return starts;
}

std::string ListSources::placeText(std::uint64_t lineNumber) const {
  const Place where = place(lineNumber);
  const std::string line = "line " + std::to_string(where.lineNumber);
  return several() && where.name ? *where.name + " " + line : line;
}

}  // namespace tabrino
