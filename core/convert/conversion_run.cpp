#include "core/convert/conversion_run.h"

#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/base/parallel.h"

#include <algorithm>
#include <vector>

namespace tabrino {
namespace {

// Records go to the file in blocks of this many; progress is told per block.
constexpr std::size_t kRecordsPerBlock = std::size_t{1} << 16;
// Rows read in sorted order lie scattered in memory: asking for them ahead
// hides the wait for each.
constexpr std::size_t kPrefetchDistance = 16;

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
                                      const ProgressCallback& progress) {
  return writeCameraDatabase(table, settings, {}, progress);
}

void checkDatabaseHolds(std::uint64_t records) {
  if (records > kMaxRecords) {
    throw TooLargeError("More cameras than one database file can hold: " + std::to_string(records) + ", at most " +
                        std::to_string(kMaxRecords) + ".");
  }
}

ConversionSummary writeCameraDatabase(const CameraTable& table, const ConversionSettings& settings,
                                      const std::vector<std::uint32_t>& leftOut,
                                      const ProgressCallback& progress) {
  ConversionSummary summary;
  summary.outputPath = settings.outputDirectory / databaseFileName(settings.date);
  // Left-out records are taken from the count and the XOR of all records,
  // which the header needs before the first record is written.
  std::uint64_t leftOutRecords = 0;
  std::uint8_t leftOutXor = 0;
  for (const std::uint32_t position : leftOut) {
    const auto record = table.record(position);
    if (!record) continue;
    ++leftOutRecords;
    for (const std::uint8_t byte : encodeRecord(*record)) leftOutXor ^= byte;
  }
  const std::uint64_t records = table.recordCount() - leftOutRecords;
  checkDatabaseHolds(records);

  // Size and checksum are known before the first byte: the header is final.
  AtomicFileWriter file(summary.outputPath);
  Header header = headerFor(settings.date);
  const std::uint32_t bodySize = static_cast<std::uint32_t>(kEmptyBodySize + kRecordSize * records);
  std::uint8_t checksum = kChecksumSeed ^ table.recordXor() ^ leftOutXor;
  for (const std::uint8_t byte : settings.randomBlock) checksum ^= byte;
  setBodySizeAndChecksum(header, bodySize, checksum);
  file.write(header.data(), header.size());
  file.write(settings.randomBlock.data(), settings.randomBlock.size());

  // Rows are encoded a block at a time, two blocks at once, and written in
  // order.
  const std::size_t rows = table.size();
  auto encodeRows = [&](std::size_t from, std::size_t to, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    auto nextLeftOut = std::lower_bound(leftOut.begin(), leftOut.end(), from);
    for (std::size_t position = from; position < to; ++position) {
      if (position + kPrefetchDistance < to) table.prefetch(position + kPrefetchDistance);
      if (nextLeftOut != leftOut.end() && *nextLeftOut == position) {
        ++nextLeftOut;
        continue;
      }
      const auto record = table.record(position);
      if (!record) continue;
      const RecordBytes encoded = encodeRecord(*record);
      bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
  };
  std::vector<std::uint8_t> first, second;
  first.reserve(kRecordsPerBlock * kRecordSize);
  second.reserve(kRecordsPerBlock * kRecordSize);
  std::uint64_t written = 0;
  for (std::size_t position = 0; position < rows; position += 2 * kRecordsPerBlock) {
    const std::size_t middle = std::min(rows, position + kRecordsPerBlock);
    const std::size_t end = std::min(rows, middle + kRecordsPerBlock);
    if (middle == end) {
      encodeRows(position, middle, first);
      second.clear();
    } else {
      inParallel([&] { encodeRows(position, middle, first); }, [&] { encodeRows(middle, end, second); });
    }
    file.write(first.data(), first.size());
    file.write(second.data(), second.size());
    written += (first.size() + second.size()) / kRecordSize;
    if (progress) progress(written, records);
  }
  if (rows == 0 && progress) progress(0, 0);

  const std::vector<std::uint8_t> trailer(kEndMarkerSize + fillLength(bodySize), kFillByte);
  file.write(trailer.data(), trailer.size());
  file.commit();

  summary.recordsWritten = static_cast<std::uint32_t>(records);
  summary.rowsSkipped = rows - table.recordCount();
  summary.rowsLeftOut = leftOutRecords;
  return summary;
}

ConversionSummary runConversion(CameraTable& table, const ConversionSettings& settings,
                                const ProgressCallback& progress) {
  table.sortByLatitude();
  return writeCameraDatabase(table, settings, progress);
}

}  // namespace tabrino
