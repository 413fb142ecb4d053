#include "core/database/db_inspect.h"

#include "core/model/coordinate_text.h"

#include <algorithm>
#include <cstdio>

namespace tabrino {
namespace {

constexpr std::size_t kBlockSize = kRecordSize * kRecordsPerBlock;  // whole records

std::string hexBytes(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", unsigned{bytes[i]});
    text += digits;
  }
  return text;
}

std::string hexByte(std::uint8_t byte) { return "0x" + hexBytes(&byte, 1); }

// A local accumulator: through a reference the compiler must assume that
// every byte read might change it, and the loop runs ten times slower.
std::uint8_t xorBytes(std::uint8_t checksum, const std::uint8_t* bytes, std::size_t count) noexcept {
  for (std::size_t i = 0; i < count; ++i) checksum ^= bytes[i];
  return checksum;
}

std::uint64_t smallestFileFor(std::uint64_t records) {
  const std::uint64_t used = kHeaderSize + kEmptyBodySize + kRecordSize * records;
  return (used + kFileAlignment - 1) / kFileAlignment * kFileAlignment;
}

class Inspector {
 public:
  Inspector(ByteSource& source, const ProgressCallback& progress) : source_(source), progress_(progress) {}

  DatabaseInspection run() {
    report_.fileSize = source_.size();
    if (checkHeader()) {
      locateRecords();
      checkLength();
      checkRecords();
      checkTrailer();
      if (report_.storedChecksum != report_.computedChecksum) {
        problem(kChecksumOffset, "checksum: stored " + hexByte(report_.storedChecksum) + ", computed " +
                        hexByte(report_.computedChecksum));
      }
    }
    std::stable_sort(report_.problems.begin(), report_.problems.end(),
                     [](const InspectionProblem& a, const InspectionProblem& b) { return a.offset < b.offset; });
    return std::move(report_);
  }

 private:
  void problem(std::uint64_t offset, std::string text) { report_.problems.push_back({offset, std::move(text)}); }

  // Whether a problem with one record may still be listed; past the limit it
  // is only counted.
  bool listRecordProblem() {
    if (listedRecordProblems_ < kMaxListedRecordProblems) {
      ++listedRecordProblems_;
      return true;
    }
    ++report_.unlistedProblems;
    return false;
  }

  void reportProgress(std::uint64_t offset) {
    if (progress_) progress_(offset, report_.fileSize);
  }

  bool checkHeader() {
    const std::uint64_t size = report_.fileSize;
    if (size < kHeaderSize) {
      problem(size, size == 0 ? "the file is empty"
                              : "the file ends after " + std::to_string(size) + " bytes, inside the 16-byte header");
      return false;
    }
    Header header{};
    source_.read(0, header.data(), header.size());
    const HeaderFields fields = decodeHeader(header);
    report_.headerComplete = true;
    report_.date = fields.date;
    report_.fileName = databaseFileName(fields.date);
    report_.storedBodySize = fields.bodySize;
    report_.storedChecksum = fields.checksum;

    report_.magicFound = startsWithMagic(header.data(), header.size());
    if (!report_.magicFound) {
      problem(0, "magic is " + hexBytes(header.data(), kMagic.size()) + ", not " +
                     hexBytes(kMagic.data(), kMagic.size()) + " (\"rudb\")");
    }
    if (!isCalendarDate(fields.date)) {
      problem(4, "date " + isoDateText(fields.date) + " is not a calendar date");
    }
    if (!std::equal(kHeaderMark.begin(), kHeaderMark.end(), header.begin() + 8)) {
      problem(8, "bytes 8 to 10 are " + hexBytes(header.data() + 8, kHeaderMark.size()) + ", not " +
                     hexBytes(kHeaderMark.data(), kHeaderMark.size()) + " (\"r1r\")");
    }
    return true;
  }

  void locateRecords() {
    const std::uint64_t size = report_.fileSize;
    const std::uint32_t body = report_.storedBodySize;
    const bool wellFormed = body >= kEmptyBodySize && (body - kEmptyBodySize) % kRecordSize == 0;
    if (wellFormed && kHeaderSize + std::uint64_t{body} <= size) {
      report_.recordCount = (body - kEmptyBodySize) / kRecordSize;
      return;
    }
    // The body size cannot be believed. Records are followed by 0xFF bytes
    // only (end marker, fill), so they end at the first record boundary
    // within the trailing run of 0xFF; a truncated file keeps its whole records.
    const std::uint64_t fillStart = trailingFillStart();
    std::uint64_t records = (fillStart - kRecordsStart + kRecordSize - 1) / kRecordSize;
    if (kRecordsStart + kRecordSize * records + kEndMarkerSize > size) {
      records = size > kRecordsStart ? (size - kRecordsStart) / kRecordSize : 0;
    }
    report_.recordCount = records;
    problem(kBodySizeOffset, "body size is " + std::to_string(body) +
                    (wellFormed ? ", which runs past the end of the file" : ", not " + std::to_string(kEmptyBodySize) + " + 12 × records") + "; the " +
                    std::to_string(records) + " records found make it " +
                    std::to_string(kEmptyBodySize + kRecordSize * records));
  }

  // The offset after the last byte that is not 0xFF, at least kRecordsStart.
  std::uint64_t trailingFillStart() {
    std::vector<std::uint8_t> block;
    for (std::uint64_t end = report_.fileSize; end > kRecordsStart;) {
      const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, end - kRecordsStart));
      const std::uint64_t begin = end - count;
      block.resize(count);
      source_.read(begin, block.data(), count);
      for (std::size_t i = count; i > 0; --i) {
        if (block[i - 1] != kFillByte) return begin + i;
      }
      end = begin;
    }
    return kRecordsStart;
  }

  void checkLength() {
    const std::uint64_t size = report_.fileSize;
    const std::uint64_t expected = smallestFileFor(report_.recordCount);
    if (size == expected) return;
    problem(std::min(size, expected), "the file is " + std::to_string(size) + " bytes long" +
                                          (size % kFileAlignment ? ", not a multiple of 64" : "") + "; " +
                                          std::to_string(report_.recordCount) + " records make a file of " +
                                          std::to_string(expected) + " bytes");
  }

  void checkRecords() {
    std::uint8_t checksum = kChecksumSeed;
    const std::uint64_t recordsEnd = kRecordsStart + kRecordSize * report_.recordCount;
    forEachBlock(source_, kHeaderSize, std::min(kRecordsStart, report_.fileSize), kRandomBlockSize,
                 [&](std::uint64_t, const std::uint8_t* bytes, std::size_t count) {
                   checksum = xorBytes(checksum, bytes, count);
                 });
    forEachBlock(source_, kRecordsStart, recordsEnd, kBlockSize,
                 [&](std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
                   checksum = xorBytes(checksum, bytes, count);
                   for (std::size_t at = 0; at < count; at += kRecordSize) {
                     checkRecord(offset + at, decodeRecord(bytes + at));
                   }
                   reportProgress(offset + count);
                 });
    report_.computedChecksum = checksum;
  }

  void checkRecord(std::uint64_t offset, const CameraRecord& record) {
    auto name = [&] { return "record " + std::to_string((offset - kRecordsStart) / kRecordSize + 1) + ": "; };
    if ((record.latitude < -kMaxLatitude || record.latitude > kMaxLatitude) && listRecordProblem()) {
      problem(offset, name() + "latitude " + coordinateText(record.latitude) + " is outside -90 to 90");
    }
    if ((record.longitude < -kMaxLongitude || record.longitude > kMaxLongitude) && listRecordProblem()) {
      problem(offset + 4, name() + "longitude " + coordinateText(record.longitude) + " is outside -180 to 180");
    }
    if (offset > kRecordsStart && record.latitude < previousLatitude_ && listRecordProblem()) {
      problem(offset, name() + "latitude " + coordinateText(record.latitude) + " is below the previous record's " +
                          coordinateText(previousLatitude_));
    }
    previousLatitude_ = record.latitude;
  }

  void checkTrailer() {
    const std::uint64_t size = report_.fileSize;
    const std::uint64_t marker = kRecordsStart + kRecordSize * report_.recordCount;
    const std::uint64_t markerEnd = marker + kEndMarkerSize;
    const NotFill inMarker = findNotFill(marker, std::min(size, markerEnd));
    if (inMarker.count) {
      problem(inMarker.first, "end marker: " + std::to_string(inMarker.count) + " of its 12 bytes are not 0xFF");
    }
    if (size < markerEnd) {
      problem(size, "the file ends before the end of the end marker (offset " + std::to_string(marker) + " to " +
                        std::to_string(markerEnd) + ")");
    }
    const NotFill inFill = findNotFill(markerEnd, size);
    if (inFill.count) {
      problem(inFill.first, "fill: " + std::to_string(inFill.count) + " bytes after the end marker are not 0xFF");
    }
  }

  struct NotFill {
    std::uint64_t count = 0;
    std::uint64_t first = 0;
  };

  NotFill findNotFill(std::uint64_t begin, std::uint64_t end) {
    NotFill found;
    forEachBlock(source_, begin, end, kBlockSize, [&](std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
      for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] == kFillByte) continue;
        if (found.count++ == 0) found.first = offset + i;
      }
      reportProgress(offset + count);
    });
    return found;
  }

  ByteSource& source_;
  const ProgressCallback& progress_;
  DatabaseInspection report_;
  std::size_t listedRecordProblems_ = 0;
  std::int32_t previousLatitude_ = 0;
};

}  // namespace

DatabaseInspection inspectDatabase(ByteSource& source, const ProgressCallback& progress) {
  return Inspector(source, progress).run();
}

}  // namespace tabrino
