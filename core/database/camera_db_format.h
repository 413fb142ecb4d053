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

#include <array>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
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
// Fields of a list line: IDX, X, Y, TYPE, SPEED, DIRTYPE, DIRECTION.
inline constexpr std::size_t kFieldsPerLine = 7;
inline constexpr std::uint8_t kFillByte = 0xFF;
inline constexpr std::uint8_t kChecksumSeed = 0x4A;
inline constexpr std::array<std::uint8_t, 4> kMagic = {0x72, 0x75, 0x64, 0x62};       // "rudb"
inline constexpr std::array<std::uint8_t, 3> kHeaderMark = {0x72, 0x31, 0x72};  // "r1r"

// Coordinates are stored as degrees × 10000, truncated toward zero.
inline constexpr double kCoordinateScale = 10000.0;
inline constexpr std::int32_t kMaxLongitude = 1800000;
inline constexpr std::int32_t kMaxLatitude = 900000;
// What a coordinate that does not fit 32 bits (or is NaN) scales to; always
// out of bounds.
inline constexpr std::int32_t kUnrepresentable = std::numeric_limits<std::int32_t>::min();
// The most records whose body size still fits the header's 32-bit field.
inline constexpr std::uint64_t kMaxRecords =
    (std::uint64_t{0xFFFFFFFF} - kRandomBlockSize - kEndMarkerSize) / kRecordSize;

using Header = std::array<std::uint8_t, kHeaderSize>;
using RandomBlock = std::array<std::uint8_t, kRandomBlockSize>;
using RecordBytes = std::array<std::uint8_t, kRecordSize>;

struct DbDate {
  std::uint16_t year;
  std::uint8_t month;
  std::uint8_t day;
  bool operator==(const DbDate& other) const {
    return year == other.year && month == other.month && day == other.day;
  }
};

// A day that exists in the Gregorian calendar (any year).
bool isCalendarDate(DbDate date) noexcept;
// "YYYY-MM-DD", whatever the fields hold.
std::string isoDateText(DbDate date);

struct CameraRecord {
  std::int32_t latitude;
  std::int32_t longitude;
  std::uint8_t type;
  std::uint8_t speed;
  std::uint8_t directionType;
  std::uint8_t directionCode;
  bool operator==(const CameraRecord& other) const {
    return latitude == other.latitude && longitude == other.longitude && type == other.type &&
           speed == other.speed && directionType == other.directionType &&
           directionCode == other.directionCode;
  }
};

// The text cells of one row that become a record (IDX is never converted).
struct RecordCells {
  std::string_view x, y, type, speed, dirType, direction;
};

// The cells of a table row that become a record.
inline RecordCells recordCellsOf(const std::array<std::string_view, 7>& row) noexcept {
  return {row[1], row[2], row[3], row[4], row[5], row[6]};
}

// Inline: both run for every row of every list, several times.
inline std::int32_t scaleCoordinate(double degrees) noexcept {
  // The product must be rounded to a double before it is truncated. The x87
  // unit of 32-bit builds keeps more bits unless the value goes through
  // memory, and would turn 55.7499 into 557498 where every other build
  // gives 557499.
#if FLT_EVAL_METHOD == 0
  const double scaled = degrees * kCoordinateScale;
#else
  const volatile double product = degrees * kCoordinateScale;
  const double scaled = product;
#endif
  // Only values that truncate into the 32-bit range may be converted: the
  // conversion of anything else is undefined, and processors disagree.
  if (!(scaled > -2147483649.0 && scaled < 2147483648.0)) return kUnrepresentable;
  return static_cast<std::int32_t>(scaled);
}

inline bool inBounds(std::int32_t latitude, std::int32_t longitude) noexcept {
  return latitude >= -kMaxLatitude && latitude <= kMaxLatitude && longitude >= -kMaxLongitude &&
         longitude <= kMaxLongitude;
}

// Speeds below 10 (after taking the low byte) mean "no limit" and are stored as 0.
std::uint8_t speedByte(std::int32_t speed) noexcept;
// Degrees (0 = north, clockwise) to the device's code: (d ± 180) / 2.
std::uint8_t directionCode(std::int32_t degrees) noexcept;

// The record a row becomes, or nothing when its coordinates are out of bounds.
std::optional<CameraRecord> recordFromCells(const RecordCells& cells) noexcept;

RecordBytes encodeRecord(const CameraRecord& record) noexcept;
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

// Folds a file's bytes, in file order, into the size and checksum that its
// header carries.
class DatabaseEncoder {
 public:
  DatabaseEncoder(DbDate date, const RandomBlock& randomBlock) noexcept;

  // Accounts for one record and returns its bytes.
  RecordBytes add(const CameraRecord& record) noexcept;
  std::uint32_t recordCount() const noexcept { return recordCount_; }
  // Random block + records + end marker.
  std::uint32_t bodySize() const noexcept;
  std::uint8_t checksum() const noexcept { return checksum_; }

  const RandomBlock& randomBlock() const noexcept { return randomBlock_; }
  // The header as it stands, complete once every record has been added.
  Header header() const noexcept;
  // End marker plus fill: what follows the last record.
  std::vector<std::uint8_t> trailer() const;

 private:
  DbDate date_;
  RandomBlock randomBlock_;
  std::uint8_t checksum_;
  std::uint32_t recordCount_ = 0;
};

// A whole file image in memory, for tests and tools.
std::vector<std::uint8_t> encodeDatabase(DbDate date, const RandomBlock& randomBlock,
                                         const std::vector<CameraRecord>& records);

}  // namespace tabrino
