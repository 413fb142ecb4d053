#include "ui/list_jobs.h"

#include "core/base/utf8_text.h"
#include "core/run/inputs.h"
#include "core/run/table_findings.h"
#include "core/platform/file_io.h"
#include "core/map/camera_page.h"
#include "core/model/calendar_date.h"
#include "core/base/errors.h"

#include <new>
#include <optional>
#include <string_view>
#include <system_error>

namespace {

std::uint32_t Share(std::uint64_t done, std::uint64_t total) {
  return total > 0 ? static_cast<std::uint32_t>(done * JobProgress::kWhole / total) : 0;
}

// Of Open's bar, the part reading takes; the check of the rows read takes
// the rest, about as long for a large list.
constexpr std::uint32_t kReadingShare = JobProgress::kWhole / 2;

// Runs a write, filling in how it ended.
template <typename Write>
void Guard(WriteOutcome& outcome, Write write) {
  try {
    write();
  } catch (const tabrino::TabrinoError& error) {
    outcome.kind = dynamic_cast<const tabrino::FileOpenError*>(&error)   ? WriteOutcome::Kind::CreateFailed
                   : dynamic_cast<const tabrino::TooLargeError*>(&error) ? WriteOutcome::Kind::Failed
                                                                         : WriteOutcome::Kind::WriteFailed;
    outcome.headline = error.messageText();
    outcome.error = error.code();
    outcome.reason = error.ownReason();
  } catch (const std::bad_alloc&) {
    outcome.kind = WriteOutcome::Kind::OutOfMemory;
  } catch (const std::exception& error) {
    outcome.kind = WriteOutcome::Kind::Failed;
    outcome.headline = UnexpectedErrorText(error);
  }
}

}  // namespace

std::string UnexpectedErrorText(const std::exception& error) {
  return std::string("The work stopped on an unexpected error: ") + error.what();
}

namespace {

// One list (or extract) read after those `opened` names. `several`: more
// lists are read into the table, so an extract's findings name it, as on
// the command line.
tabrino::ImportResult ReadNextList(const std::filesystem::path& list, tabrino::CameraTable& table,
                                   OpenedLists& opened, tabrino::ImportOptions options, bool several,
                                   const tabrino::CameraDefaults& defaults) {
  const std::string name = tabrino::displayPath(list.filename());
  // The first list replaces the table, and its text with it.
  const std::size_t textStart = opened.sources.count() == 0 ? 0 : table.text().size();
  OpenedLists::Part part{textStart, opened.sources.nextLine()};
  // Opened once and told apart by its first bytes, as every input is. An
  // extract's findings name objects, not lines: they are kept as found,
  // since the text it gives holds nothing to find them in again. Among
  // several lists they stand at the extract's header line, and the rows
  // they are about at their lines over all lists.
  tabrino::InputFile input(list, name);
  struct Keep : tabrino::FindingSink {
    Keep(std::vector<tabrino::ListFinding>& kept, tabrino::FindingSink& also, std::uint64_t firstLine, bool several)
        : kept(kept), also(also), firstLine(firstLine), several(several) {}
    void add(const tabrino::ListFinding& finding) override {
      tabrino::ListFinding placed = finding;
      if (several) placed.lineNumber = firstLine + 1;
      if (placed.objectRow != 0) placed.objectRow += firstLine;
      kept.push_back(placed);
      also.add(placed);
    }
    std::vector<tabrino::ListFinding>& kept;
    tabrino::FindingSink& also;
    std::uint64_t firstLine;
    bool several;
  } keep(opened.extractFindings, *options.findings, part.firstLine, several);
  const std::size_t keptBefore = opened.extractFindings.size();
  // A shared format (GPX, KML, ...) gives a text of its own too.
  if (input.extractFormat() || input.cameraFormat()) {
    options.findings = &keep;
    part.extract = true;
  }
  tabrino::InputOptions inputOptions{options};
  inputOptions.cameraDefaults = defaults;
  const tabrino::ImportResult result = tabrino::readInput(input, table, opened.sources, inputOptions);
  if (!result.loaded()) {
    opened.extractFindings.erase(opened.extractFindings.begin() + static_cast<std::ptrdiff_t>(keptBefore),
                                  opened.extractFindings.end());
    return result;
  }
  part.extractFindingsEnd = opened.extractFindings.size();
  opened.parts.push_back(part);
  // The next list's header starts a line of its own in the text kept.
  if (!table.text().endsLine()) table.appendText("\n");
  return result;
}

// Findings of each list's text, numbered over all lists, with each
// extract's where it stands among them.
void ScanKeptLists(const tabrino::CameraTable& table, const OpenedLists& opened, tabrino::FindingSink& sink) {
  struct Shifted : tabrino::FindingSink {
    explicit Shifted(tabrino::FindingSink& out) : out(out) {}
    void add(const tabrino::ListFinding& finding) override {
      tabrino::ListFinding moved = finding;
      if (moved.lineNumber != 0) moved.lineNumber += by;
      out.add(moved);
    }
    tabrino::FindingSink& out;
    std::uint64_t by = 0;
  } shifted(sink);
  const tabrino::KeptText& text = table.text();
  std::size_t extractFinding = 0;
  for (std::size_t i = 0; i < opened.parts.size(); ++i) {
    const OpenedLists::Part& part = opened.parts[i];
    for (; extractFinding < part.extractFindingsEnd; ++extractFinding) {
      sink.add(opened.extractFindings[extractFinding]);
    }
    if (part.extract) continue;  // its text was written clean
    const std::size_t end = i + 1 < opened.parts.size() ? opened.parts[i + 1].textStart : text.size();
    shifted.by = part.firstLine;
    tabrino::scanListFindings(text, part.textStart, end, shifted);
  }
}

// Every finding of the table's lists, in line order, with the rows the last
// conversion left out.
void EveryFinding(const tabrino::CameraTable& table, const OpenedLists& opened, tabrino::FindingSink& sink) {
  tabrino::findEveryFinding(
      table, opened.sources, [&](tabrino::FindingSink& others) { ScanKeptLists(table, opened, others); },
      &opened.leftOut, opened.leftOutBy ? &*opened.leftOutBy : nullptr, sink);
}

}  // namespace

void OpenListJob(const std::vector<std::filesystem::path>& lists, const tabrino::CameraDefaults& defaults,
                 tabrino::CameraTable& table, OpenedLists& opened, tabrino::IdxIndex& index, JobProgress& progress,
                 OpenOutcome& outcome) {
  outcome = OpenOutcome();
  opened = OpenedLists();
  index.clear();  // built again for the rows read, whatever becomes of them
  auto indexRowsRead = [&table, &index] {
    try {
      index.indexRows(table);
    } catch (const std::bad_alloc&) {
      index.clear();  // typing finds nothing; the table itself is whole
    }
  };
  try {
    tabrino::ImportOptions options;
    options.keepText = true;  // the list view shows the cells
    options.findings = &outcome.findings;
    // The lists share the bar's reading part, each its own.
    std::size_t current = 0;
    options.progress = [&progress, &current, count = lists.size()](std::uint64_t done, std::uint64_t total) {
      if (progress.stop) throw JobStopped();
      progress.done = static_cast<std::uint32_t>((current * JobProgress::kWhole + Share(done, total)) *
                                                 kReadingShare / (count * JobProgress::kWhole));
    };
    for (; current < lists.size(); ++current) {
      const tabrino::ImportResult result =
          ReadNextList(lists[current], table, opened, options, lists.size() > 1, defaults);
      outcome.outcome = result.outcome;
      outcome.loadedCount += result.loadedCount;
      outcome.error = result.code;
      if (!result.loaded()) {
        outcome.failedList = lists[current];
        outcome.tableRefilled = current > 0 || result.outcome != tabrino::ImportOutcome::OpenFailed;
        outcome.utf8 = table.text().isValidUtf8();  // the rows read are shown
        indexRowsRead();
        return;
      }
    }
    outcome.utf8 = table.text().isValidUtf8();
    // The rows are read: the dialog shows them while their duplicates are
    // looked for and their IDX texts indexed, which only read the table.
    progress.done = kReadingShare;
    progress.MarkTableReadable();
    if (progress.stop) throw JobStopped();
    tabrino::FindingSummary& findings = outcome.findings;
    // Each half, once done, takes its share of the rest of the bar. One
    // after the other: each takes memory of its own for a while, which
    // together would outgrow the list.
    constexpr std::uint32_t kHalfOfCheck = (JobProgress::kWhole - kReadingShare) / 2;
    indexRowsRead();
    progress.done += kHalfOfCheck;
    if (progress.stop) throw JobStopped();
    tabrino::findTableFindings(table, opened.sources, findings);
    progress.done += kHalfOfCheck;
  } catch (const tabrino::TabrinoError& error) {
    outcome.failure = error.messageText();
    outcome.error = error.code();
    outcome.reason = error.ownReason();
  } catch (const std::bad_alloc&) {
    outcome.outOfMemory = true;
  } catch (const std::exception& error) {
    outcome.failure = UnexpectedErrorText(error);
  }
}

ConversionOutcome ConversionJob(tabrino::CameraTable& table, OpenedLists& opened,
                                const tabrino::PipelineOptions& options, const tabrino::ConversionSettings& settings,
                                int selectedRow, JobProgress& progress) {
  ConversionOutcome outcome;
  outcome.path = settings.outputDirectory / tabrino::databaseFileName(settings.date);
  Guard(outcome, [&] {
    const bool following = selectedRow >= 0 && static_cast<std::size_t>(selectedRow) < table.size();
    const std::uint64_t followedTag = following ? table.tag(static_cast<std::size_t>(selectedRow)) : 0;
    tabrino::PipelineEvents events;
    events.sorted = [&] {
      // Tags are line numbers, so one row carries the followed tag.
      for (std::size_t row = 0; following && row < table.size(); ++row) {
        if (table.tag(row) == followedTag) {
          progress.followedRow = static_cast<int>(row);
          break;
        }
      }
      progress.MarkTableReadable();
    };
    events.writing = [&](std::uint64_t written, std::uint64_t all) {
      if (progress.stop) throw JobStopped();
      progress.accepted.store(static_cast<std::uint32_t>(written), std::memory_order_relaxed);
      progress.done.store(Share(written, all), std::memory_order_relaxed);
    };
    tabrino::PipelineFindings findings;
    tabrino::LeftOutRows leftOut;
    findings.leftOut = &leftOut;
    outcome.result = tabrino::runPipeline(table, opened.sources, options, settings, findings, events);
    outcome.summary = outcome.result.written;
    // Rows left out before are out of the table: they stay findings until
    // another conversion leaves rows out.
    if (leftOut.size() > 0) {
      opened.leftOut = std::move(leftOut);
      opened.leftOutBy = options.filter;
    }
  });
  progress.tableReadable = true;
  return outcome;
}

WriteOutcome FindingsReportJob(const tabrino::CameraTable& table, const OpenedLists& opened,
                               const std::filesystem::path& report) {
  WriteOutcome outcome;
  outcome.path = report;
  Guard(outcome, [&] {
    tabrino::FindingReport findings(report, &opened.sources);
    EveryFinding(table, opened, findings);
    findings.commit();
  });
  return outcome;
}

// The interactive page: it zooms and names each camera's line, which is what
// someone mending the list needs.
// It names each camera by its IDX too, by which the list's author finds it.
void WriteMapFile(const std::filesystem::path& map, const tabrino::CameraTable& table, const std::string& listName,
                  const tabrino::ListSources& sources, const std::function<void()>& beforeWrite) {
  const std::string page = tabrino::cameraPageHtml(
      table.records(), {listName, tabrino::isoDateText(tabrino::todayInUtc())},
      {table.recordLines(), table.recordCells(), sources.starts()});
  if (beforeWrite) beforeWrite();
  tabrino::AtomicFileWriter out(map);
  out.write(page);
  out.commit();
}

WriteOutcome MapJob(const tabrino::CameraTable& table, const std::filesystem::path& map, const std::string& listName,
                    const tabrino::ListSources& sources, JobProgress& progress) {
  WriteOutcome outcome;
  outcome.path = map;
  Guard(outcome, [&] {
    WriteMapFile(map, table, listName, sources, [&progress] {
      if (progress.stop) throw JobStopped();
    });
  });
  progress.done = JobProgress::kWhole;
  return outcome;
}

WriteOutcome CollectFindingsJob(const tabrino::CameraTable& table, const OpenedLists& opened,
                                std::vector<tabrino::ListFinding>& findings) {
  WriteOutcome outcome;
  findings.clear();
  // Straight into the caller's vector: millions of findings are not copied.
  struct Into : tabrino::FindingSink {
    explicit Into(std::vector<tabrino::ListFinding>& out) : out(out) {}
    void add(const tabrino::ListFinding& finding) override { out.push_back(finding); }
    std::vector<tabrino::ListFinding>& out;
  } into(findings);
  Guard(outcome, [&] {
    EveryFinding(table, opened, into);
  });
  if (outcome.kind != WriteOutcome::Kind::Completed) std::vector<tabrino::ListFinding>().swap(findings);
  return outcome;
}
