// The dialog's long work, run on its worker thread: reading a list into the
// camera table, sorting and writing it, and writing the list's findings. Each
// returns what happened (kind, path, reason); the dialog turns that into text.
#pragma once

#include "core/list/camera_table.h"
#include "ui/idx_index.h"
#include "core/convert/conversion_run.h"
#include "core/formats/camera_fields.h"
#include "core/run/conversion_pipeline.h"
#include "core/list/list_findings.h"
#include "core/list/list_sources.h"
#include "core/list/text_import.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

// How far the running job has come, read by the dialog's timer.
struct JobProgress {
  static constexpr std::uint32_t kWhole = 1000;
  std::atomic<std::uint32_t> done{0};      // of kWhole
  std::atomic<bool> tableReadable{false};  // the table may be shown, though the job goes on
  std::atomic<std::uint32_t> accepted{0};  // records written so far
  std::atomic<int> followedRow{-1};        // where the selected row went in the sort; set before tableReadable
  std::atomic<bool> stop{false};           // the user asked the job to stop: reading or writing ends at the next block

  // Called on the worker once the table is readable, so that the window
  // shows it at once rather than at its timer's next tick.
  std::function<void()> onTableReadable;

  void Reset() {
    stop = false;
    done = 0;
    tableReadable = false;
    accepted = 0;
    followedRow = -1;
  }
  void MarkTableReadable() {
    tableReadable = true;
    if (onTableReadable) onTableReadable();
  }
};

// Thrown from a job's progress when the user asked it to stop: the job ends
// as after a failure, and a file it was writing is never put in place.
struct JobStopped : std::exception {
  const char* what() const noexcept override { return "stopped"; }
};

struct OpenOutcome {
  tabrino::ImportOutcome outcome = tabrino::ImportOutcome::Loaded;
  // Either way the table holds nothing of use, and the dialog empties it
  // (the job does not: the rows may be on screen).
  bool outOfMemory = false;
  std::string failure;  // what else stopped the job (too large a list, say)
  // Both final once the table is readable.
  std::size_t loadedCount = 0;
  bool utf8 = false;  // the list is UTF-8 (else shown in the ANSI code page)
  std::error_code error;  // the system's reason for a failed open or read
  std::string reason;     // the core's own reason, where the system gave none
  tabrino::FindingSummary findings;
  std::filesystem::path failedList;  // the list that stopped the open (outcome not Loaded)
  bool tableRefilled = false;        // an earlier list of the same open was read: the table no longer holds the old one
};

// The lists the table was read from, in order. Each one's text lies apart
// in the table's text, so that its findings are found again list by list;
// an extract's findings name objects, not lines, and are kept as found.
struct OpenedLists {
  tabrino::ListSources sources;
  struct Part {
    std::size_t textStart;    // in the table's text
    std::uint64_t firstLine;  // its header's line over all lists (from 0)
    bool extract = false;     // its text was written from an extract's objects
    std::size_t extractFindingsEnd = 0;  // of extractFindings, those of the parts up to this one
  };
  std::vector<Part> parts;
  std::vector<tabrino::ListFinding> extractFindings;
  // The rows the last conversion's options left out, and the filter that
  // did, for the findings window.
  tabrino::LeftOutRows leftOut;
  std::optional<tabrino::CameraFilter> leftOutBy;
};

// Reads the lists (and OpenStreetMap extracts, and files of the shared
// formats, whose cameras take `defaults` where they do not say) into `table`
// one after another, keeping their text for the view, then looks for
// duplicates and indexes the rows read by their IDX. Once every list is read the table is
// readable (the view may show it) and stays as it is; `outcome` is filled in
// place, so that its count and encoding may be read from then on.
void OpenListJob(const std::vector<std::filesystem::path>& lists, const tabrino::CameraDefaults& defaults,
                 tabrino::CameraTable& table, OpenedLists& opened, tabrino::IdxIndex& index, JobProgress& progress,
                 OpenOutcome& outcome);

// The headline of an exception that no job expects: every job catches all
// standard exceptions, so that none ends the program without a word.
std::string UnexpectedErrorText(const std::exception& error);

// How a write of a file ended.
struct WriteOutcome {
  enum class Kind { Completed, CreateFailed, WriteFailed, OutOfMemory, Failed };  // Failed: not the file's fault
  Kind kind = Kind::Completed;
  std::filesystem::path path;  // the file that was (or was to be) written
  std::string headline;        // the core's text for a failure
  std::error_code error;       // the system's reason for it
  std::string reason;          // the core's own reason, where the system gave none
};

struct ConversionOutcome : WriteOutcome {
  tabrino::PipelineResult result;
  tabrino::ConversionSummary summary;
};

// Runs the conversion with `options`: the table is filtered and sorted by
// latitude (following `selectedRow` to its new place), then the database
// file is written. The rows the options leave out are kept in `opened`.
ConversionOutcome ConversionJob(tabrino::CameraTable& table, OpenedLists& opened,
                                const tabrino::PipelineOptions& options, const tabrino::ConversionSettings& settings,
                                int selectedRow, JobProgress& progress);

// Writes every finding of the table's lists (line, kind, detail) as CSV.
WriteOutcome FindingsReportJob(const tabrino::CameraTable& table, const OpenedLists& opened,
                               const std::filesystem::path& report);

// Draws the table's cameras into the map file at `map`. The one call that
// writes the file: another kind of map takes its place here. `beforeWrite`
// runs once the page is drawn, before the file is touched; what it throws
// leaves no file.
void WriteMapFile(const std::filesystem::path& map, const tabrino::CameraTable& table, const std::string& listName,
                  const tabrino::ListSources& sources, const std::function<void()>& beforeWrite = {});

// Writes the map of the table's cameras (WriteMapFile), complete or not at
// all; asked to stop, it stops before the file is written.
WriteOutcome MapJob(const tabrino::CameraTable& table, const std::filesystem::path& map, const std::string& listName,
                    const tabrino::ListSources& sources, JobProgress& progress);

// Gathers every finding of the table's lists, in line order, into `findings`.
WriteOutcome CollectFindingsJob(const tabrino::CameraTable& table, const OpenedLists& opened,
                                std::vector<tabrino::ListFinding>& findings);
