// OV2, the binary POI format of a large family of navigation devices, as its
// public descriptions give it: little-endian records of a type byte and a
// 4-byte length. Type 0 is a deleted record and types 2 and 3 a point
// (longitude and latitude as int32 × 100000, then a zero-terminated name),
// their lengths counting the whole record. Type 1 is a skipper: 21 bytes of
// its own (a bounding box), its length counting the whole block it heads,
// itself and the records after it that lie in the box, so that a device can
// skip the block; a reader of every record reads on past its 21 bytes.
#include "core/formats/format_readers.h"

#include <string>

namespace tabrino {
namespace {

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at) noexcept {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::int32_t signed32(std::uint32_t value) noexcept {
  return value < 0x80000000u ? static_cast<std::int32_t>(value)
                             : -static_cast<std::int32_t>(~value) - 1;  // two's complement, without overflow
}

constexpr std::size_t kRecordHeader = 5;
constexpr std::size_t kSkipperLength = 21;
constexpr std::size_t kPointHeader = 13;  // type, length, longitude, latitude

}  // namespace

std::uint64_t readOv2(ByteStream& in, CameraSink& sink) {
  const std::string bytes = in.rest();
  std::uint64_t records = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::string where = "at byte " + std::to_string(at);
    if (bytes.size() - at < kRecordHeader) {
      sink.find(0, FindingKind::Unreadable, where + ": a record cut short, the read ends here");
      break;
    }
    const auto type = static_cast<unsigned char>(bytes[at]);
    const std::uint32_t length = littleEndian32(bytes, at + 1);
    if (type > 3) {
      sink.find(0, FindingKind::Unreadable, where + ": a record of unknown type " + std::to_string(type) + ", the read ends here");
      break;
    }
    const std::size_t least = type == 1 ? kSkipperLength : type == 0 ? kRecordHeader : kPointHeader + 1;
    if (length < least) {
      sink.find(0, FindingKind::Unreadable, where + ": a record of type " + std::to_string(type) + " with length " +
                                                 std::to_string(length) + ", the read ends here");
      break;
    }
    if (length > bytes.size() - at) {
      sink.find(0, FindingKind::Unreadable, where + ": a " + (type == 1 ? "block" : "record") + " of " +
                                                 std::to_string(length) + " bytes runs past the file's end, the read ends here");
      break;
    }
    if (type >= 2) {
      ++records;
      // Degrees × 100000 to degrees × 10000: a tenth, toward zero, as the
      // list's truncation takes every coordinate.
      const std::int32_t longitude = signed32(littleEndian32(bytes, at + 5)) / 10;
      const std::int32_t latitude = signed32(littleEndian32(bytes, at + 9)) / 10;
      const std::string_view record(bytes.data() + at + kPointHeader, length - kPointHeader);
      CameraFields fields;
      fields.name = record.substr(0, record.find('\0'));
      sink.addScaled(latitude, longitude, fields, records + 1);
    }
    at += type == 1 ? kSkipperLength : length;
  }
  return records + 1;
}

}  // namespace tabrino
