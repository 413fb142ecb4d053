#include "core/export/db_dump.h"

#include "core/base/c_numbers.h"
#include "core/list/camera_table.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <cerrno>

namespace tabrino {
namespace {

constexpr std::size_t kRecordsPerBlock = 1 << 16;

}  // namespace

std::int32_t directionDegrees(std::uint8_t code) noexcept {
  // Degrees 0 to 180 give codes 90 to 180; 181 to 359 give codes 0 to 89.
  // Even degrees where they serve, as lists usually hold.
  if (code >= 90 && code <= 180) return 2 * code - 180;
  if (code == 0) return 181;
  return 180 + 2 * code;
}

std::string listHeaderLine() {
  std::string line;
  for (std::string_view title : kColumnTitles) {
    if (!line.empty()) line += ',';
    line += title;
  }
  return line + '\n';
}

std::string listLine(std::uint64_t idx, const CameraRecord& record) {
  std::string line = std::to_string(idx);
  for (const std::string& field :
       {coordinateText(record.longitude), coordinateText(record.latitude), std::to_string(record.type),
        std::to_string(record.speed), std::to_string(record.directionType),
        std::to_string(directionDegrees(record.directionCode))}) {
    line += ',';
    line += field;
  }
  return line + '\n';
}

void dumpRecords(ByteSource& source, std::uint64_t recordCount, AtomicFileWriter& out,
                 const ProgressCallback& progress) {
  out.write(listHeaderLine());

  const std::uint64_t begin = kHeaderSize + kRandomBlockSize;
  const std::uint64_t inFile = source.size() > begin ? (source.size() - begin) / kRecordSize : 0;
  const std::uint64_t count = std::min(recordCount, inFile);
  std::uint64_t idx = 0;
  std::string lines;
  forEachBlock(source, begin, begin + count * kRecordSize, kRecordsPerBlock * kRecordSize,
               [&](std::uint64_t, const std::uint8_t* bytes, std::size_t size) {
                 lines.clear();
                 for (std::size_t at = 0; at < size; at += kRecordSize) {
                   lines += listLine(++idx, decodeRecord(bytes + at));
                 }
                 out.write(lines);
                 if (progress) progress(idx, count);
               });
}

}  // namespace tabrino
