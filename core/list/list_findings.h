// What in a list did not become a camera as its author meant, and why: the
// things a user would fix in the list. The import finds them as it reads each
// line and hands each to a sink, so a list of millions of bad lines costs no
// more memory than the sink keeps.
#pragma once

#include "core/list/list_sources.h"
#include "core/platform/file_io.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

enum class FindingKind {
  NoComma,       // a line that is not blank but has no comma: it makes no row
  FieldCount,    // a row from other than seven fields
  NotANumber,    // a cell with no number at its start: it reads as 0
  NumberPrefix,  // a cell with more after its number: only the number is read
  OutOfRange,    // coordinates outside the bounds: the row is skipped
  Duplicate,     // the same camera as an earlier row (found once the whole list is read)
  NearDuplicate, // close to an earlier row with the same direction (asked for by distance)
  Filtered,      // left out by a filter the user asked for
  // An OpenStreetMap extract's objects (line 0; the detail names the object):
  OsmLeftOut,    // an enforcement relation of another kind, or with no place in the extract
  OsmRoadSpeed,  // a camera without maxspeed: the one road through it gave the speed
  OsmNoSpeed,    // a camera without a usable maxspeed: speed 0
  OsmDirection,  // a direction that could not be used: all directions
  OsmWayCamera,  // a camera drawn as a way: placed at its nodes' centre
  // A shared format's entries (GPX, KML, GeoJSON, CSV, OV2):
  NotACamera,    // an entry that is no camera (a track, a line, a polygon, no geometry): not read
  Unreadable,    // an entry that could not be read (an OV2 record cut short): the read ends there
  // Found once the whole list is read (core/check/swapped_coordinates.h):
  SwappedCoordinates,  // far from the rest of the list, and among it with X and Y exchanged
};
inline constexpr std::size_t kFindingKindCount = 16;

// "no-comma", "field-count", "not-a-number", "number-prefix", "out-of-range",
// "duplicate", "near-duplicate", "filtered", "osm-left-out", "osm-road-speed",
// "osm-no-speed", "osm-direction", "osm-way-camera", "not-a-camera", "unreadable",
// "swapped-coordinates".
const char* findingKindName(FindingKind kind) noexcept;

struct ListFinding {
  std::uint64_t lineNumber;  // from 1, as editors count (the header is line 1); 0: no line
  FindingKind kind;
  std::string detail;  // for example: X "12.5km" reads as 12.5
  // An extract's finding is about an object, not a line: the line (from 1)
  // of the row that object made in the list written of the extract, so
  // that the row can be shown; 0 when it made none, and for a list's.
  std::uint64_t objectRow = 0;
};

// The findings of one line, built only when someone listens.
ListFinding noCommaFinding(std::uint64_t lineNumber, std::string_view line);
ListFinding fieldCountFinding(std::uint64_t lineNumber, std::size_t fieldCount);
// A cell whose number took `numberLength` of its bytes (0: none).
ListFinding cellFinding(std::uint64_t lineNumber, std::string_view title, std::string_view cell,
                        std::size_t numberLength);
ListFinding outOfRangeFinding(std::uint64_t lineNumber, std::string_view x, std::string_view y);

// Receives findings in line order.
class FindingSink {
 public:
  virtual ~FindingSink() = default;
  virtual void add(const ListFinding& finding) = 0;
};

// Counts per kind and the first few of each: what a summary shows.
class FindingSummary : public FindingSink {
 public:
  static constexpr std::size_t kExamplesPerKind = 3;

  void add(const ListFinding& finding) override;
  std::uint64_t count(FindingKind kind) const noexcept { return counts_[static_cast<std::size_t>(kind)]; }
  std::uint64_t total() const noexcept;
  const std::vector<ListFinding>& examples(FindingKind kind) const noexcept {
    return examples_[static_cast<std::size_t>(kind)];
  }

 private:
  std::array<std::uint64_t, kFindingKindCount> counts_{};
  std::array<std::vector<ListFinding>, kFindingKindCount> examples_;
};

// Every finding, in memory: for small lists and tests.
class FindingList : public FindingSink {
 public:
  void add(const ListFinding& finding) override { all_.push_back(finding); }
  const std::vector<ListFinding>& all() const noexcept { return all_; }

 private:
  std::vector<ListFinding> all_;
};

// Hands each finding to several sinks.
class FindingFanOut : public FindingSink {
 public:
  explicit FindingFanOut(std::vector<FindingSink*> sinks) : sinks_(std::move(sinks)) {}
  void add(const ListFinding& finding) override {
    for (FindingSink* sink : sinks_) sink->add(finding);
  }

 private:
  std::vector<FindingSink*> sinks_;
};

// "line,kind,detail" and a line feed: the report's first line; with
// several lists, "file,line,kind,detail".
std::string findingsReportHeader(const ListSources* sources = nullptr);
// One report line: fields quoted where they hold commas or quotes. With
// several lists it starts with the list, the line counted in that list.
std::string findingsReportLine(const ListFinding& finding, const ListSources* sources = nullptr);

// Writes findings as a CSV report as they arrive, through an AtomicFileWriter
// for `path`; commit() puts the complete report in place. A report that
// is never committed leaves nothing behind and an earlier file untouched.
// Throws FileOpenError or FileWriteError.
class FindingReport : public FindingSink {
 public:
  // `sources`, when given, must outlive the report.
  explicit FindingReport(const std::filesystem::path& path, const ListSources* sources = nullptr);
  // Straight to an open stream (standard output), named shownName.
  FindingReport(std::FILE* stream, std::string shownName, const ListSources* sources = nullptr);
  void add(const ListFinding& finding) override;
  void commit();

 private:
  void writeHeader();

  AtomicFileWriter output_;
  const ListSources* sources_;
  bool headerWritten_ = false;
};

}  // namespace tabrino
