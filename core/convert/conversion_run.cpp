#include "core/convert/conversion_run.h"

#include "core/base/errors.h"
#include "core/base/parallel.h"
#include "core/base/prefetch.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <vector>

namespace tabrino {

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
    leftOutXor ^= xorOfRecord(*record);
  }
  const std::uint64_t records = table.recordCount() - leftOutRecords;
  checkDatabaseHolds(records);

  // Size and checksum are known before the first byte: the header is final.
  AtomicFileWriter file(summary.outputPath);
  const Header header = completeHeader(settings.date, settings.randomBlock, records, table.recordXor() ^ leftOutXor);
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

  const std::vector<std::uint8_t> trailer = trailerFor(bodySizeFor(records));
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
