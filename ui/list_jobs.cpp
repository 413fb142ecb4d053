#include "ui/list_jobs.h"

#include "core/errors.h"
#include "ui/system_error.h"
#include "ui/text_encoding.h"

#include <new>

namespace {

// Hears the import's progress in bytes.
class ReadProgress : public tabrino::ImportObserver {
 public:
  explicit ReadProgress(JobProgress& progress) : m_progress(progress) {}
  void bytesRead(std::uint64_t done, std::uint64_t total) override {
    if (total > 0) m_progress.done = static_cast<std::uint32_t>(done * JobProgress::kWhole / total);
  }

 private:
  JobProgress& m_progress;
};

bool AllCellsUtf8(const tabrino::CameraTable& table) {
  for (std::size_t row = 0; row < table.size(); ++row) {
    for (std::string_view cell : table.rowCells(row)) {
      if (!IsUtf8(cell)) return false;
    }
  }
  return true;
}

}  // namespace

OpenOutcome OpenListJob(const std::filesystem::path& list, tabrino::CameraTable& table, JobProgress& progress) {
  OpenOutcome outcome;
  try {
    ReadProgress watch(progress);
    ClearSystemError();
    const tabrino::ImportResult result = tabrino::importCameraList(list, table, &watch);
    outcome.runtimeError = LastSystemError();
    outcome.outcome = result.outcome;
    outcome.loadedCount = result.loadedCount;
    outcome.reason = result.systemReason;
    outcome.utf8 = AllCellsUtf8(table);
  } catch (const std::bad_alloc&) {
    table.clear();
    outcome.outOfMemory = true;
  }
  return outcome;
}

ConversionOutcome ConversionJob(tabrino::CameraTable& table, const tabrino::ConversionSettings& settings,
                                int selectedRow, JobProgress& progress) {
  ConversionOutcome outcome;
  outcome.database = settings.outputDirectory / tabrino::databaseFileName(settings.date);
  try {
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

    const double rows = static_cast<double>(table.size());
    ClearSystemError();
    outcome.summary = tabrino::writeCameraDatabase(table, settings, [&](std::uint32_t accepted) {
      progress.accepted.store(accepted, std::memory_order_relaxed);
      progress.done.store(static_cast<std::uint32_t>(accepted / rows * JobProgress::kWhole),
                          std::memory_order_relaxed);
    });
  } catch (const tabrino::TabrinoError& error) {
    outcome.runtimeError = LastSystemError();
    outcome.kind = dynamic_cast<const tabrino::FileOpenError*>(&error) ? ConversionOutcome::Kind::CreateFailed
                                                                       : ConversionOutcome::Kind::WriteFailed;
    outcome.headline = error.messageText();
    outcome.reason = error.systemReason();
  } catch (const std::bad_alloc&) {
    outcome.kind = ConversionOutcome::Kind::OutOfMemory;
  }
  progress.tableReadable = true;
  return outcome;
}
