// The camera database file that navigation devices load. Every reader of these
// files depends on this layout, so each byte is written explicitly.
//
//   offset        size  region
//   0             16    header: "rudb", day, month, year (LE16), "r1r",
//                       body size (LE32), checksum
//   16            16    random block
//   32            12×N  records, ascending latitude
//   32 + 12×N     12    end marker, 0xFF
//   44 + 12×N     0-60  0xFF fill to a multiple of 64 bytes
#pragma once

#include "core/model/calendar_date.h"
#include "core/model/camera_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabrino {

inline constexpr std::size_t kHeaderSize = 16;
// Where the header's fields lie.
inline constexpr std::size_t kDayOffset = 4;
inline constexpr std::size_t kMonthOffset = 5;
inline constexpr std::size_t kYearOffset = 6;  // LE16
inline constexpr std::size_t kHeaderMarkOffset = 8;
inline constexpr std::size_t kBodySizeOffset = 11;  // LE32
inline constexpr std::size_t kChecksumOffset = 15;
inline constexpr std::size_t kRandomBlockSize = 16;
inline constexpr std::size_t kRecordSize = 12;
inline constexpr std::size_t kEndMarkerSize = 12;
inline constexpr std::size_t kFileAlignment = 64;
// The body of a file without records: random block and end marker.
inline constexpr std::uint32_t kEmptyBodySize = 28;
inline constexpr std::uint8_t kFillByte = 0xFF;
inline constexpr std::uint8_t kChecksumSeed = 0x4A;
inline constexpr std::array<std::uint8_t, 4> kMagic = {0x72, 0x75, 0x64, 0x62};       // "rudb"
inline constexpr std::array<std::uint8_t, 3> kHeaderMark = {0x72, 0x31, 0x72};  // "r1r"
// The most records whose body size still fits the header's 32-bit field.
inline constexpr std::uint64_t kMaxRecords =
    (std::uint64_t{0xFFFFFFFF} - kRandomBlockSize - kEndMarkerSize) / kRecordSize;

using Header = std::array<std::uint8_t, kHeaderSize>;
using RandomBlock = std::array<std::uint8_t, kRandomBlockSize>;
using RecordBytes = std::array<std::uint8_t, kRecordSize>;

// Inline: it runs for every record of every file written.
inline RecordBytes encodeRecord(const CameraRecord& record) noexcept {
  const auto latitude = static_cast<std::uint32_t>(record.latitude);
  const auto longitude = static_cast<std::uint32_t>(record.longitude);
  return {static_cast<std::uint8_t>(latitude),       static_cast<std::uint8_t>(latitude >> 8),
          static_cast<std::uint8_t>(latitude >> 16), static_cast<std::uint8_t>(latitude >> 24),
          static_cast<std::uint8_t>(longitude),      static_cast<std::uint8_t>(longitude >> 8),
          static_cast<std::uint8_t>(longitude >> 16), static_cast<std::uint8_t>(longitude >> 24),
          record.type,                               record.speed,
          record.directionType,                      record.directionCode};
}
CameraRecord decodeRecord(const std::uint8_t* bytes) noexcept;

// "DB_YYMMDD.dbh". The year digits are (low byte of year + 48) mod 256, which
// devices expect: 2014 gives "14", 2100 gives "100".
std::string databaseFileName(DbDate date);

// Header bytes 0 to 10; body size and checksum are zero until the file is done.
Header headerFor(DbDate date) noexcept;
void setBodySizeAndChecksum(Header& header, std::uint32_t bodySize, std::uint8_t checksum) noexcept;

// The header's variable fields, as stored.
struct HeaderFields {
  DbDate date;
  std::uint32_t bodySize;
  std::uint8_t checksum;
};
HeaderFields decodeHeader(const Header& header) noexcept;

// Number of 0xFF bytes after the end marker for a given body size.
std::size_t fillLength(std::uint32_t bodySize) noexcept;

// Where the first record starts.
inline constexpr std::uint64_t kRecordsStart = kHeaderSize + kRandomBlockSize;
// Records are read and written this many at a time: few calls, little memory.
inline constexpr std::size_t kRecordsPerBlock = std::size_t{1} << 16;

// Whether bytes (at least kMagic.size() of them) start like a database.
inline bool startsWithMagic(const std::uint8_t* bytes, std::size_t size) noexcept {
  if (size < kMagic.size()) return false;
  for (std::size_t i = 0; i < kMagic.size(); ++i) {
    if (bytes[i] != kMagic[i]) return false;
  }
  return true;
}

// Random block + records + end marker; recordCount is at most kMaxRecords.
inline std::uint32_t bodySizeFor(std::uint64_t recordCount) noexcept {
  return static_cast<std::uint32_t>(kEmptyBodySize + kRecordSize * recordCount);
}

// The XOR of a record's bytes.
std::uint8_t xorOfRecord(const CameraRecord& record) noexcept;

// The finished header of a file of recordCount records whose bytes XOR to
// recordsXor: size and checksum need no more than that, so the header can be
// written before the first record.
Header completeHeader(DbDate date, const RandomBlock& randomBlock, std::uint64_t recordCount,
                      std::uint8_t recordsXor) noexcept;

// End marker plus fill: what follows the last record.
std::vector<std::uint8_t> trailerFor(std::uint32_t bodySize);

}  // namespace tabrino
