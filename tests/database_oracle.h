// The database file built the plain way, byte by byte in file order, as the
// oracle the conversion's faster write is checked against: the write knows
// size and checksum before the first record, this encoder only after the last.
#pragma once

#include "core/database/camera_db_format.h"

#include <cstdint>
#include <vector>

namespace tabrino {

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

// A whole file image in memory.
std::vector<std::uint8_t> encodeDatabase(DbDate date, const RandomBlock& randomBlock,
                                         const std::vector<CameraRecord>& records);

}  // namespace tabrino
