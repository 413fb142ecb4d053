#include "ui/list_jobs.h"

#include "core/list/duplicates.h"
#include "core/export/camera_page.h"
#include "core/model/calendar_date.h"
#include "core/base/errors.h"
#include "core/base/parallel.h"
#include "ui/system_error.h"
#include "ui/text_encoding.h"

#include <new>

namespace {

std::uint32_t Share(std::uint64_t done, std::uint64_t total) {
  return total > 0 ? static_cast<std::uint32_t>(done * JobProgress::kWhole / total) : 0;
}

// Runs a write, filling in how it ended.
template <typename Write>
void Guard(WriteOutcome& outcome, Write write) {
  try {
    ClearSystemError();
    write();
  } catch (const tabrino::TabrinoError& error) {
    outcome.runtimeError = LastSystemError();
    outcome.kind = dynamic_cast<const tabrino::FileOpenError*>(&error)   ? WriteOutcome::Kind::CreateFailed
                   : dynamic_cast<const tabrino::TooLargeError*>(&error) ? WriteOutcome::Kind::Failed
                                                                         : WriteOutcome::Kind::WriteFailed;
    outcome.headline = error.messageText();
    outcome.reason = error.systemReason();
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

OpenOutcome OpenListJob(const std::filesystem::path& list, tabrino::CameraTable& table, JobProgress& progress) {
  OpenOutcome outcome;
  try {
    tabrino::ImportOptions options;
    options.keepText = true;  // the list view shows the cells
    options.findings = &outcome.findings;
    options.progress = [&progress](std::uint64_t done, std::uint64_t total) {
      if (progress.stop) throw JobStopped();
      progress.done = Share(done, total);
    };
    ClearSystemError();
    const tabrino::ImportResult result = tabrino::importCameraList(list, table, options);
    outcome.runtimeError = LastSystemError();
    outcome.outcome = result.outcome;
    outcome.loadedCount = result.loadedCount;
    outcome.reason = result.systemReason;
    // Two halves at once, each handed its own data first: the sort writes
    // the table's order and the findings, the check reads only the list's
    // text, a string nothing changes until the next list is opened. They
    // share no byte that either writes.
    const std::string& text = table.text();
    tabrino::FindingSummary& findings = outcome.findings;
    bool utf8 = false;
    tabrino::inParallel(
        [&table, &findings, loaded = result.loaded()] {
          if (!loaded) return;
          // Duplicates are found in latitude order, which the table gives at
          // the cost of an order of its own; the table is shown in file order.
          table.sortByLatitude();
          tabrino::DuplicateScan(table).report(findings);
          table.restoreFileOrder();
        },
        [&text, &utf8] { utf8 = IsUtf8(text); });
    outcome.utf8 = utf8;
  } catch (const tabrino::TabrinoError& error) {
    table.clear();
    outcome.failure = error.messageText();
    outcome.reason = error.systemReason();
  } catch (const std::bad_alloc&) {
    table.clear();
    outcome.outOfMemory = true;
  } catch (const std::exception& error) {
    table.clear();
    outcome.failure = UnexpectedErrorText(error);
  }
  return outcome;
}

ConversionOutcome ConversionJob(tabrino::CameraTable& table, const tabrino::ConversionSettings& settings,
                                int selectedRow, JobProgress& progress) {
  ConversionOutcome outcome;
  outcome.path = settings.outputDirectory / tabrino::databaseFileName(settings.date);
  Guard(outcome, [&] {
    const bool following = selectedRow >= 0 && static_cast<std::size_t>(selectedRow) < table.size();
    const std::uint64_t followedTag = following ? table.tag(static_cast<std::size_t>(selectedRow)) : 0;
    table.sortByLatitude();
    if (following) {
      // Tags are line numbers, so one row carries the followed tag.
      for (std::size_t row = 0; row < table.size(); ++row) {
        if (table.tag(row) == followedTag) {
          progress.followedRow = static_cast<int>(row);
          break;
        }
      }
    }
    progress.tableReadable = true;
    outcome.summary = tabrino::writeCameraDatabase(table, settings, [&](std::uint64_t written, std::uint64_t all) {
      if (progress.stop) throw JobStopped();
      progress.accepted.store(static_cast<std::uint32_t>(written), std::memory_order_relaxed);
      progress.done.store(Share(written, all), std::memory_order_relaxed);
    });
  });
  progress.tableReadable = true;
  return outcome;
}

WriteOutcome FindingsReportJob(const tabrino::CameraTable& table, const std::filesystem::path& report) {
  WriteOutcome outcome;
  outcome.path = report;
  Guard(outcome, [&] {
    tabrino::FindingReport findings(report);
    tabrino::DuplicateScan(table).reportWith(
        [&](tabrino::FindingSink& sink) { tabrino::scanListFindings(table.text(), sink); }, findings);
    findings.commit();
  });
  return outcome;
}

// The interactive page: it zooms and names each camera's line, which is what
// someone mending the list needs.
void WriteMapFile(const std::filesystem::path& map, const tabrino::CameraTable& table, const std::string& listName) {
  tabrino::writeCameraPage(map, table.records(), {listName, tabrino::isoDateText(tabrino::todayInUtc())},
                           {table.recordLines()});
}

WriteOutcome MapJob(const tabrino::CameraTable& table, const std::filesystem::path& map, const std::string& listName,
                    JobProgress& progress) {
  WriteOutcome outcome;
  outcome.path = map;
  Guard(outcome, [&] { WriteMapFile(map, table, listName); });
  progress.done = JobProgress::kWhole;
  return outcome;
}

WriteOutcome CollectFindingsJob(const tabrino::CameraTable& table, std::vector<tabrino::ListFinding>& findings) {
  WriteOutcome outcome;
  findings.clear();
  // Straight into the caller's vector: millions of findings are not copied.
  struct Into : tabrino::FindingSink {
    explicit Into(std::vector<tabrino::ListFinding>& out) : out(out) {}
    void add(const tabrino::ListFinding& finding) override { out.push_back(finding); }
    std::vector<tabrino::ListFinding>& out;
  } into(findings);
  Guard(outcome, [&] {
    tabrino::DuplicateScan(table).reportWith(
        [&](tabrino::FindingSink& sink) { tabrino::scanListFindings(table.text(), sink); }, into);
  });
  if (outcome.kind != WriteOutcome::Kind::Completed) std::vector<tabrino::ListFinding>().swap(findings);
  return outcome;
}
