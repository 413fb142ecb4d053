// The lists one table was read from, in the order read. Their lines are
// numbered as if the lists were one text (each list's header counted as a
// line), so that a row's line orders rows across lists and findings keep
// one line number; this turns such a number back into the list and its
// own line, the place a user looks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabrino {

class ListSources {
 public:
  // The next list, named as users should read it, holding `lines` lines.
  void add(std::string name, std::uint64_t lines);
  // The next list, an OpenStreetMap extract read as the list from-osm
  // writes of it (`lines` lines, its header's too). Its findings name
  // objects, not lines: they carry the number of its first line, which
  // place() gives as line 0 of the extract.
  void addExtract(std::string name, std::uint64_t lines);
  std::size_t count() const noexcept { return lists_.size(); }
  bool several() const noexcept { return lists_.size() > 1; }
  // The line (from 0) the next list's header takes.
  std::uint64_t nextLine() const noexcept { return lists_.empty() ? 0 : lists_.back().firstLine + lists_.back().lines; }

  struct Place {
    const std::string* name;  // nullptr for a line beyond every list
    std::uint64_t lineNumber; // from 1, in its own list; 0: none (an extract's findings)
  };
  // Where a line number (from 1, over all lists) lies.
  Place place(std::uint64_t lineNumber) const noexcept;
  // "line 4", or with several lists "b.txt line 4".
  std::string placeText(std::uint64_t lineNumber) const;

  // Each list's name and the line (from 0, over all lists) of its header,
  // for a reader elsewhere (the map page) to place lines by.
  struct Start {
    std::string name;
    std::uint64_t firstLine;
  };
  std::vector<Start> starts() const;

 private:
  struct List {
    std::string name;
    std::uint64_t firstLine;
    std::uint64_t lines;
    bool extract;
  };
  std::vector<List> lists_;
};

}  // namespace tabrino
