#include "core/database/camera_db_format.h"

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

}  // namespace

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

std::uint8_t xorOfRecord(const CameraRecord& record) noexcept {
  std::uint8_t folded = 0;
  for (const std::uint8_t byte : encodeRecord(record)) folded ^= byte;
  return folded;
}

Header completeHeader(DbDate date, const RandomBlock& randomBlock, std::uint64_t recordCount,
                      std::uint8_t recordsXor) noexcept {
  std::uint8_t checksum = kChecksumSeed ^ recordsXor;
  for (const std::uint8_t byte : randomBlock) checksum ^= byte;
  Header header = headerFor(date);
  setBodySizeAndChecksum(header, bodySizeFor(recordCount), checksum);
  return header;
}

std::vector<std::uint8_t> trailerFor(std::uint32_t bodySize) {
  return std::vector<std::uint8_t>(kEndMarkerSize + fillLength(bodySize), kFillByte);
}

}  // namespace tabrino
