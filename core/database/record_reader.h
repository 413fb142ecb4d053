// Reading the records of a database, block by block, so that a file of any
// size is read in little memory. Dump, exports, the map and diff all read
// records this way.
#pragma once

#include "core/base/progress.h"
#include "core/database/camera_db_format.h"
#include "core/platform/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tabrino {

// How many of the recordCount records a header announces lie inside the
// source: a truncated file holds fewer.
std::uint64_t recordsInSource(const ByteSource& source, std::uint64_t recordCount) noexcept;

// Hands on the first recordCount records of the database in source (those
// inside the file), in file order, kRecordsPerBlock at a time: `bytes` holds
// `count` records of kRecordSize bytes. progress counts records. Throws
// FileReadError.
using RecordBlockVisitor = std::function<void(const std::uint8_t* bytes, std::size_t count)>;
void forEachRecordBlock(ByteSource& source, std::uint64_t recordCount, const RecordBlockVisitor& visit,
                        const ProgressCallback& progress = {});

// The same, one decoded record at a time.
template <typename Visit>
void forEachRecord(ByteSource& source, std::uint64_t recordCount, Visit&& visit,
                   const ProgressCallback& progress = {}) {
  forEachRecordBlock(
      source, recordCount,
      [&](const std::uint8_t* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) visit(decodeRecord(bytes + i * kRecordSize));
      },
      progress);
}

}  // namespace tabrino
