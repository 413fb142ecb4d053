#include "core/database/record_reader.h"

#include <algorithm>

namespace tabrino {

std::uint64_t recordsInSource(const ByteSource& source, std::uint64_t recordCount) noexcept {
  const std::uint64_t inFile = source.size() > kRecordsStart ? (source.size() - kRecordsStart) / kRecordSize : 0;
  return std::min(recordCount, inFile);
}

void forEachRecordBlock(ByteSource& source, std::uint64_t recordCount, const RecordBlockVisitor& visit,
                        const ProgressCallback& progress) {
  const std::uint64_t count = recordsInSource(source, recordCount);
  std::uint64_t done = 0;
  forEachBlock(source, kRecordsStart, kRecordsStart + count * kRecordSize, kRecordsPerBlock * kRecordSize,
               [&](std::uint64_t, const std::uint8_t* bytes, std::size_t size) {
                 visit(bytes, size / kRecordSize);
                 done += size / kRecordSize;
                 if (progress) progress(done, count);
               });
}

}  // namespace tabrino
