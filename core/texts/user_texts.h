// Texts that users read, shared by the command line and the Windows dialog so
// that both say the same thing in the same words.
#pragma once

#include "core/list/list_findings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

// "1 record", "2 records": a count with its noun.
inline std::string countedText(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// The end of a completed conversion, naming the file written.
inline std::string conversionEndText(std::string_view databasePath) {
  return "DB Conversion end. [" + std::string(databasePath) + "]";
}

// What a completed conversion made of the rows.
inline std::string conversionCountsText(std::uint64_t recordsWritten, std::uint64_t rowsSkipped) {
  return "Wrote " + countedText(recordsWritten, "record", "records") + "; skipped " +
         countedText(rowsSkipped, "row", "rows") + " with coordinates out of range";
}

// How each kind of finding is counted, for one and for many; skipped rows
// first: they are the cameras a device will not have.
struct FindingWording {
  FindingKind kind;
  const char* one;
  const char* many;
};
inline constexpr std::array<FindingWording, kFindingKindCount> kFindingWordings = {{
    {FindingKind::OutOfRange, "row skipped, coordinates out of range", "rows skipped, coordinates out of range"},
    {FindingKind::SwappedCoordinates, "row whose X and Y look swapped", "rows whose X and Y look swapped"},
    {FindingKind::NoComma, "line without a comma made no row", "lines without a comma made no row"},
    {FindingKind::FieldCount, "line with other than 7 fields", "lines with other than 7 fields"},
    {FindingKind::NotANumber, "cell without a number, read as 0", "cells without a number, read as 0"},
    {FindingKind::NumberPrefix, "cell with more than a number, only the number read",
     "cells with more than a number, only the number read"},
    {FindingKind::Duplicate, "row repeats an earlier camera", "rows repeat an earlier camera"},
    {FindingKind::NearDuplicate, "row lies near an earlier camera with the same direction",
     "rows lie near an earlier camera with the same direction"},
    {FindingKind::Filtered, "row left out by a filter", "rows left out by a filter"},
    {FindingKind::OsmLeftOut, "OpenStreetMap relation left out", "OpenStreetMap relations left out"},
    {FindingKind::OsmRoadSpeed, "camera without maxspeed took its road's", "cameras without maxspeed took their road's"},
    {FindingKind::OsmNoSpeed, "camera without a usable maxspeed, speed 0", "cameras without a usable maxspeed, speed 0"},
    {FindingKind::OsmDirection, "camera direction not used, all directions", "camera directions not used, all directions"},
    {FindingKind::OsmWayCamera, "camera drawn as a way, placed at its centre", "cameras drawn as ways, placed at their centres"},
    {FindingKind::NotACamera, "entry that is not a camera, not read", "entries that are not cameras, not read"},
    {FindingKind::Unreadable, "entry that could not be read, the read ended there",
     "entries that could not be read, the read ended there"},
}};

// A finding's kind in a few words, where a list of findings names it
// ("no speed in the extract"); reports keep the kind's code (findingKindName).
const char* findingKindWords(FindingKind kind) noexcept;

// Why a list failed the header test, said after its name ("cameras.txt: the
// first line is not the header ...").
inline constexpr std::string_view kNotTheHeaderText =
    "the first line is not the header IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION (its second field must be X)";

// The command line's words for the same failure, naming the input first
// ("cameras.txt is not a camera list: ...").
inline std::string notACameraListText(std::string_view name) {
  return std::string(name) + " is not a camera list: its first line must be IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION";
}

// A guess at why, from the first line's bytes: a semicolon or a tab in it
// says the list was written with another separator. Empty when neither is.
std::string otherSeparatorText(std::string_view firstLine);

// Where a report of every finding went.
inline std::string findingsReportWrittenText(std::string_view reportPath) {
  return "Every finding is in " + std::string(reportPath) + ".";
}

// One line for each kind of finding the list had, skipped rows first, with
// its count and first lines: "2 rows skipped, coordinates out of range: line 4,
// line 6, ..."; withDetails adds what each line holds ("line 4 (X ...)"). A
// finding of no line (an extract's) shows its detail, which names the object.
// With several lists each line names its list ("b.txt line 4").
std::vector<std::string> findingSummaryLines(const FindingSummary& findings, bool withDetails,
                                             const ListSources* sources = nullptr);

}  // namespace tabrino
