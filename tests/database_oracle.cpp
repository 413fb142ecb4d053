#include "tests/database_oracle.h"

#include <algorithm>

namespace tabrino {

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
  return static_cast<std::uint32_t>(kRandomBlockSize + kRecordSize * recordCount_ + kEndMarkerSize);
}

Header DatabaseEncoder::header() const noexcept {
  Header header = headerFor(date_);
  setBodySizeAndChecksum(header, bodySize(), checksum_);
  return header;
}

std::vector<std::uint8_t> DatabaseEncoder::trailer() const {
  const std::size_t used = (std::size_t{bodySize()} + kHeaderSize) % kFileAlignment;
  return std::vector<std::uint8_t>(kEndMarkerSize + (used == 0 ? 0 : kFileAlignment - used), kFillByte);
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
