#include "core/convert/conversion_run.h"

#include "core/base/errors.h"
#include "core/base/parallel.h"
#include "core/base/prefetch.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <cstring>
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

  // Rows are encoded a block at a time, two blocks at once, straight into
  // buffers reused block after block, and written in order.
  const std::size_t rows = table.size();
  auto encodeRows = [&](std::size_t from, std::size_t to, std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < (to - from) * kRecordSize) bytes.resize((to - from) * kRecordSize);
    std::uint8_t* out = bytes.data();
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
      std::memcpy(out, encoded.data(), kRecordSize);
      out += kRecordSize;
    }
    return static_cast<std::size_t>(out - bytes.data());
  };
  // Two pairs of buffers: while one pair's blocks are written, the next
  // pair is encoded. Blocks of a quarter of the usual size keep the four
  // buffers as small as two were.
  constexpr std::size_t kRecordsPerEncode = kRecordsPerBlock / 4;
  struct Pair {
    std::vector<std::uint8_t> first, second;
    std::size_t firstSize = 0, secondSize = 0;
  } pairs[2];
  ThreadPair threads;
  std::uint64_t written = 0;
  auto writePair = [&](Pair& pair) {
    file.write(pair.first.data(), pair.firstSize);
    file.write(pair.second.data(), pair.secondSize);
    written += (pair.firstSize + pair.secondSize) / kRecordSize;
    if (progress) progress(written, records);
  };
  Pair* waiting = nullptr;  // encoded, not yet written
  for (std::size_t position = 0, index = 0; position < rows; position += 2 * kRecordsPerEncode, ++index) {
    Pair& pair = pairs[index % 2];
    const std::size_t middle = std::min(rows, position + kRecordsPerEncode);
    const std::size_t end = std::min(rows, middle + kRecordsPerEncode);
    threads.both(
        [&] {
          if (waiting) writePair(*waiting);
          pair.firstSize = encodeRows(position, middle, pair.first);
        },
        [&] { pair.secondSize = middle == end ? 0 : encodeRows(middle, end, pair.second); });
    waiting = &pair;
  }
  if (waiting) writePair(*waiting);
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
