#include "core/convert/conversion_run.h"

#include "core/base/errors.h"
#include "core/base/parallel.h"
#include "core/base/prefetch.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <atomic>
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

namespace {

// A round of rows encoded by two threads, cut into pieces that each thread
// takes as it comes free, and the pieces' records.
constexpr std::size_t kPiecesPerRound = 16;
constexpr std::size_t kPieceRows = kRecordsPerBlock / 32;
struct Round {
  std::size_t starts[kPiecesPerRound + 1] = {};  // row positions; the last closes the round
  std::size_t pieces = 0;
  std::vector<std::uint8_t> bytes[kPiecesPerRound];
  std::size_t sizes[kPiecesPerRound] = {};
  std::atomic<std::size_t> nextPiece{0};
};

// The rows left out that would have become records: their count and the XOR
// of their records.
struct LeftOutRecords {
  std::uint64_t count = 0;
  std::uint8_t xorOf = 0;
};

LeftOutRecords leftOutRecords(const CameraTable& table, const std::vector<std::uint32_t>& leftOut) {
  LeftOutRecords left;
  for (const std::uint32_t position : leftOut) {
    const auto record = table.record(position);
    if (!record) continue;
    ++left.count;
    left.xorOf ^= xorOfRecord(*record);
  }
  return left;
}

// Encodes the table's rows in its current order but those at leftOut.
struct RowEncoder {
  const CameraTable& table;
  const std::vector<std::uint32_t>& leftOut;

  // Encodes rows [from, to) straight into `bytes`, reused round after
  // round; returns how many bytes it encoded.
  std::size_t encode(std::size_t from, std::size_t to, std::vector<std::uint8_t>& bytes) const {
    if (bytes.size() < (to - from) * kRecordSize) bytes.resize((to - from) * kRecordSize);
    std::uint8_t* out = bytes.data();
    auto nextLeftOut = std::lower_bound(leftOut.begin(), leftOut.end(), from);
    for (std::size_t position = from; position < to; ++position) {
      // Reads ahead stay in this piece: the next may be the other thread's.
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
  }
};

// Cuts the rows from `position` on into a round's pieces; returns where the
// round ends.
std::size_t startRound(Round& round, std::size_t position, std::size_t rows) {
  round.pieces = 0;
  round.starts[0] = position;
  while (round.pieces < kPiecesPerRound && position < rows) {
    position = std::min(rows, position + kPieceRows);
    round.starts[++round.pieces] = position;
  }
  round.nextPiece.store(0);
  return position;
}

// Writes the records of every row after the header. Rows are encoded a
// round at a time into two sets of buffers: while one round's records are
// written, the next is encoded. A round is cut into pieces that the two
// threads take as each comes free, so that the one that also writes takes
// fewer of them rather than keeping the other waiting.
void writeBody(AtomicFileWriter& file, const RowEncoder& encoder, std::uint64_t records,
               const ProgressCallback& progress) {
  Round rounds[2];
  ThreadPair threads;
  std::uint64_t written = 0;
  auto writeRound = [&](Round& round) {
    for (std::size_t piece = 0; piece < round.pieces; ++piece) {
      file.write(round.bytes[piece].data(), round.sizes[piece]);
      written += round.sizes[piece] / kRecordSize;
    }
    if (progress) progress(written, records);
  };
  auto encodePieces = [&](Round& round) {
    for (std::size_t piece; (piece = round.nextPiece.fetch_add(1)) < round.pieces;) {
      round.sizes[piece] = encoder.encode(round.starts[piece], round.starts[piece + 1], round.bytes[piece]);
    }
  };
  const std::size_t rows = encoder.table.size();
  Round* waiting = nullptr;  // encoded, not yet written
  for (std::size_t position = 0, index = 0; position < rows; ++index) {
    Round& round = rounds[index % 2];
    position = startRound(round, position, rows);
    threads.both(
        [&] {
          if (waiting) writeRound(*waiting);
          encodePieces(round);
        },
        [&] { encodePieces(round); });
    waiting = &round;
  }
  if (waiting) writeRound(*waiting);
  if (rows == 0 && progress) progress(0, 0);
}

// Writes the table's records in its current order but those at leftOut.
ConversionSummary writeRecords(const CameraTable& table, const ConversionSettings& settings,
                               const std::vector<std::uint32_t>& leftOut, const ProgressCallback& progress) {
  ConversionSummary summary;
  summary.outputPath = settings.outputDirectory / databaseFileName(settings.date);
  // Left-out records are taken from the count and the XOR of all records,
  // which the header needs before the first record is written.
  const LeftOutRecords left = leftOutRecords(table, leftOut);
  const std::uint64_t records = table.recordCount() - left.count;
  checkDatabaseHolds(records);

  // Size and checksum are known before the first byte: the header is final.
  AtomicFileWriter file(summary.outputPath);
  const Header header = completeHeader(settings.date, settings.randomBlock, records, table.recordXor() ^ left.xorOf);
  file.write(header.data(), header.size());
  file.write(settings.randomBlock.data(), settings.randomBlock.size());
  writeBody(file, RowEncoder{table, leftOut}, records, progress);
  const std::vector<std::uint8_t> trailer = trailerFor(bodySizeFor(records));
  file.write(trailer.data(), trailer.size());
  file.commit();

  summary.recordsWritten = static_cast<std::uint32_t>(records);
  summary.rowsSkipped = table.size() - table.recordCount();
  summary.rowsLeftOut = left.count;
  return summary;
}

}  // namespace

ConversionSummary writeCameraDatabase(const CameraTable& table, const ConversionSettings& settings,
                                      const std::vector<std::uint32_t>& leftOut,
                                      const ProgressCallback& progress) {
  return writeRecords(table, settings, leftOut, progress);
}

ConversionSummary runConversion(CameraTable& table, const ConversionSettings& settings,
                                const ProgressCallback& progress) {
  // The sort stays in the cache and reads no row out of order (see
  // latitude_order.h), so it runs whole before the write rather than a block
  // at a time within it: its scratch room is given back before the write's
  // buffers are taken.
  table.sortByLatitude();
  try {
    return writeRecords(table, settings, {}, progress);
  } catch (...) {
    table.restoreFileOrder();  // as it was found
    throw;
  }
}

}  // namespace tabrino
