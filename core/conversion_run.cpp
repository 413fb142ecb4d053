#include "conversion_run.h"

#include "errors.h"
#include "file_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <system_error>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kWriteBufferSize = std::size_t{1} << 20;

// A name no other run uses at the same moment, in the destination's folder so
// that the final rename never crosses file systems.
fs::path temporaryPathFor(const fs::path& destination) {
  static std::atomic<unsigned> counter{0};
  const auto ticks = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  const std::string suffix = ".tmp-" + std::to_string(ticks % 1000000007ull) + "-" +
                             std::to_string(counter.fetch_add(1));
  fs::path temporary = destination;
  temporary += suffix;
  return temporary;
}

// Writes the image of one database file, failing with the errno of the first
// unsuccessful call.
class DatabaseFileWriter {
 public:
  DatabaseFileWriter(const fs::path& temporary, const std::string& shownPath)
      : temporary_(temporary), shownPath_(shownPath) {
    errno = 0;
    file_ = openFile(temporary_, "wb");
    if (!file_) throw FileOpenError(shownPath_, systemErrorText(errno));
    std::setvbuf(file_.get(), nullptr, _IOFBF, kWriteBufferSize);
  }

  // An unfinished file never outlives its writer.
  ~DatabaseFileWriter() {
    if (!committed_) {
      file_.reset();
      std::error_code ignored;
      fs::remove(temporary_, ignored);
    }
  }

  DatabaseFileWriter(const DatabaseFileWriter&) = delete;
  DatabaseFileWriter& operator=(const DatabaseFileWriter&) = delete;

  void write(const std::uint8_t* bytes, std::size_t size) {
    errno = 0;
    if (std::fwrite(bytes, 1, size, file_.get()) != size) fail();
  }

  void rewriteAtStart(const Header& header) {
    errno = 0;
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) fail();
    write(header.data(), header.size());
  }

  // Flushes, syncs, closes and renames into place.
  void commit(const fs::path& destination) {
    errno = 0;
    if (!syncToDisk(file_.get())) fail();
    errno = 0;
    if (std::fclose(file_.release()) != 0) fail();
    std::error_code ec;
    fs::rename(temporary_, destination, ec);
    if (ec) throw FileOpenError(shownPath_, ec.message());
    committed_ = true;
  }

 private:
  [[noreturn]] void fail() {
    throw FileWriteError(shownPath_, systemErrorText(errno ? errno : EIO));
  }

  fs::path temporary_;
  std::string shownPath_;
  UniqueFile file_;
  bool committed_ = false;
};

}  // namespace

RandomBlock drawRandomBlock(std::uint32_t seed) noexcept {
  RandomBlock block{};
  std::uint32_t state = seed;
  for (std::uint8_t& byte : block) {
    state = state * 214013u + 2531011u;
    byte = static_cast<std::uint8_t>((state >> 16) & 0x7FFF);
  }
  return block;
}

std::uint32_t timeSeed() noexcept {
  return static_cast<std::uint32_t>(std::time(nullptr));
}

DbDate utcDate(std::int64_t unixSeconds) noexcept {
  // Days to civil date in the proleptic Gregorian calendar (H. Hinnant).
  std::int64_t days = unixSeconds / 86400;
  if (unixSeconds % 86400 < 0) --days;
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return DbDate{static_cast<std::uint16_t>(year), static_cast<std::uint8_t>(month),
                static_cast<std::uint8_t>(day)};
}

ConversionSummary writeCameraDatabase(const CameraTable& table, const ConversionSettings& settings,
                                      const AcceptedCallback& onAccepted) {
  ConversionSummary summary;
  summary.outputPath = settings.outputDirectory / databaseFileName(settings.date);
  const std::string shownPath = displayPath(summary.outputPath);

  DatabaseFileWriter file(temporaryPathFor(summary.outputPath), shownPath);
  DatabaseEncoder encoder(settings.date, settings.randomBlock);
  file.write(encoder.header().data(), kHeaderSize);  // placeholder until the end
  file.write(settings.randomBlock.data(), kRandomBlockSize);

  constexpr std::size_t kPrefetchDistance = 16;
  for (std::size_t row = 0; row < table.size(); ++row) {
    table.prefetchRow(row + kPrefetchDistance);
    const CameraTable::Cells cells = table.rowCells(row);
    const auto record = recordFromCells(recordCellsOf(cells));
    if (!record) {
      ++summary.rowsSkipped;
      continue;
    }
    if (encoder.recordCount() == kMaxRecords) {
      throw FileWriteError(shownPath, "more cameras than one database file can hold");
    }
    const RecordBytes bytes = encoder.add(*record);
    file.write(bytes.data(), bytes.size());
    if (onAccepted) onAccepted(encoder.recordCount());
  }

  const std::vector<std::uint8_t> trailer = encoder.trailer();
  file.write(trailer.data(), trailer.size());
  file.rewriteAtStart(encoder.header());
  file.commit(summary.outputPath);

  summary.recordsWritten = encoder.recordCount();
  return summary;
}

ConversionSummary runConversion(CameraTable& table, const ConversionSettings& settings,
                                const AcceptedCallback& onAccepted) {
  table.sortByLatitude();
  return writeCameraDatabase(table, settings, onAccepted);
}

}  // namespace tabrino
