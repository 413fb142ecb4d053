#include "core/database/camera_db_format.h"

#include "core/base/c_numbers.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

namespace tabrino {
namespace {

void putLe32(std::uint8_t* out, std::uint32_t value) noexcept {
  out[0] = static_cast<std::uint8_t>(value);
  out[1] = static_cast<std::uint8_t>(value >> 8);
  out[2] = static_cast<std::uint8_t>(value >> 16);
  out[3] = static_cast<std::uint8_t>(value >> 24);
}

std::uint32_t getLe32(const std::uint8_t* in) noexcept {
  return std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 | std::uint32_t{in[2]} << 16 |
         std::uint32_t{in[3]} << 24;
}

std::uint8_t lowByte(std::int32_t value) noexcept {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFF);
}

}  // namespace

bool isCalendarDate(DbDate date) noexcept {
  static constexpr std::uint8_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.month < 1 || date.month > 12 || date.day < 1) return false;
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  const unsigned days = date.month == 2 && leap ? 29u : kDays[date.month - 1];
  return date.day <= days;
}

std::string isoDateText(DbDate date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", unsigned{date.year}, unsigned{date.month},
                unsigned{date.day});
  return text;
}

std::uint8_t speedByte(std::int32_t speed) noexcept {
  const std::uint8_t byte = lowByte(speed);
  return byte < 10 ? 0 : byte;
}

std::uint8_t directionCode(std::int32_t degrees) noexcept {
  const std::int32_t opposite = degrees > 180 ? degrees - 180 : degrees + 180;
  return lowByte(opposite / 2);
}

std::optional<CameraRecord> recordFromCells(const RecordCells& cells) noexcept {
  const std::int32_t longitude = scaleCoordinate(atofC(cells.x));
  const std::int32_t latitude = scaleCoordinate(atofC(cells.y));
  if (!inBounds(latitude, longitude)) return std::nullopt;
  return CameraRecord{latitude,
                      longitude,
                      lowByte(atoiC(cells.type)),
                      speedByte(atoiC(cells.speed)),
                      lowByte(atoiC(cells.dirType)),
                      directionCode(atoiC(cells.direction))};
}

RecordBytes encodeRecord(const CameraRecord& record) noexcept {
  RecordBytes bytes{};
  putLe32(bytes.data(), static_cast<std::uint32_t>(record.latitude));
  putLe32(bytes.data() + 4, static_cast<std::uint32_t>(record.longitude));
  bytes[8] = record.type;
  bytes[9] = record.speed;
  bytes[10] = record.directionType;
  bytes[11] = record.directionCode;
  return bytes;
}

CameraRecord decodeRecord(const std::uint8_t* bytes) noexcept {
  return CameraRecord{static_cast<std::int32_t>(getLe32(bytes)),
                      static_cast<std::int32_t>(getLe32(bytes + 4)),
                      bytes[8],
                      bytes[9],
                      bytes[10],
                      bytes[11]};
}

std::string databaseFileName(DbDate date) {
  const unsigned yearDigits = (static_cast<unsigned>(date.year & 0xFF) + 48u) % 256u;
  char name[32];
  std::snprintf(name, sizeof name, "DB_%02u%02u%02u.dbh", yearDigits, unsigned{date.month},
                unsigned{date.day});
  return name;
}

Header headerFor(DbDate date) noexcept {
  Header header{};
  for (std::size_t i = 0; i < kMagic.size(); ++i) header[i] = kMagic[i];
  header[kDayOffset] = date.day;
  header[kMonthOffset] = date.month;
  header[kYearOffset] = static_cast<std::uint8_t>(date.year & 0xFF);
  header[kYearOffset + 1] = static_cast<std::uint8_t>(date.year >> 8);
  for (std::size_t i = 0; i < kHeaderMark.size(); ++i) header[kHeaderMarkOffset + i] = kHeaderMark[i];
  return header;
}

void setBodySizeAndChecksum(Header& header, std::uint32_t bodySize, std::uint8_t checksum) noexcept {
  putLe32(header.data() + kBodySizeOffset, bodySize);
  header[kChecksumOffset] = checksum;
}

HeaderFields decodeHeader(const Header& header) noexcept {
  const DbDate date{static_cast<std::uint16_t>(header[kYearOffset] | header[kYearOffset + 1] << 8),
                    header[kMonthOffset], header[kDayOffset]};
  return HeaderFields{date, getLe32(header.data() + kBodySizeOffset), header[kChecksumOffset]};
}

std::size_t fillLength(std::uint32_t bodySize) noexcept {
  const std::size_t used = (std::size_t{bodySize} + kHeaderSize) % kFileAlignment;
  return used == 0 ? 0 : kFileAlignment - used;
}

DatabaseEncoder::DatabaseEncoder(DbDate date, const RandomBlock& randomBlock) noexcept
    : date_(date), randomBlock_(randomBlock), checksum_(kChecksumSeed) {
  for (std::uint8_t byte : randomBlock_) checksum_ ^= byte;
}

RecordBytes DatabaseEncoder::add(const CameraRecord& record) noexcept {
  const RecordBytes bytes = encodeRecord(record);
  for (std::uint8_t byte : bytes) checksum_ ^= byte;
  ++recordCount_;
  return bytes;
}

std::uint32_t DatabaseEncoder::bodySize() const noexcept {
  return static_cast<std::uint32_t>(kEmptyBodySize + kRecordSize * recordCount_);
}

Header DatabaseEncoder::header() const noexcept {
  Header header = headerFor(date_);
  setBodySizeAndChecksum(header, bodySize(), checksum_);
  return header;
}

std::vector<std::uint8_t> DatabaseEncoder::trailer() const {
  return std::vector<std::uint8_t>(kEndMarkerSize + fillLength(bodySize()), kFillByte);
}

std::vector<std::uint8_t> encodeDatabase(DbDate date, const RandomBlock& randomBlock,
                                         const std::vector<CameraRecord>& records) {
  DatabaseEncoder encoder(date, randomBlock);
  std::vector<std::uint8_t> image(kHeaderSize);
  image.insert(image.end(), randomBlock.begin(), randomBlock.end());
  for (const CameraRecord& record : records) {
    const RecordBytes bytes = encoder.add(record);
    image.insert(image.end(), bytes.begin(), bytes.end());
  }
  const std::vector<std::uint8_t> trailer = encoder.trailer();
  image.insert(image.end(), trailer.begin(), trailer.end());
  const Header header = encoder.header();
  std::copy(header.begin(), header.end(), image.begin());
  return image;
}

}  // namespace tabrino
