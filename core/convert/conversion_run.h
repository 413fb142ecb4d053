// A conversion from the camera table to a database file: sort, date, random
// block, name, and a write that either puts a complete file in place or
// leaves the folder as it was.
#pragma once

#include "core/database/camera_db_format.h"
#include "core/list/camera_table.h"
#include "core/base/progress.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <vector>

namespace tabrino {

// The C library's classic generator (state × 214013 + 2531011; a draw is
// bits 16 to 30 of the state, and each byte is a draw's low byte, bits 16 to
// 23), so that one seed gives the same block on every platform.
RandomBlock drawRandomBlock(std::uint32_t seed) noexcept;

// The seed used when the caller gives none: the current time in whole seconds.
std::uint32_t timeSeed() noexcept;

struct ConversionSettings {
  std::filesystem::path outputDirectory;
  DbDate date;
  RandomBlock randomBlock;
};

struct ConversionSummary {
  std::filesystem::path outputPath;
  std::uint32_t recordsWritten = 0;
  std::uint64_t rowsSkipped = 0;  // coordinates out of bounds
  std::uint64_t rowsLeftOut = 0;  // records left out on request
};

// Writes the table, in its current order, to outputDirectory/DB_YYMMDD.dbh.
// The file is written by an AtomicFileWriter (unnamed where the file system
// allows, else under a temporary name beside its destination) and put in
// place only once complete, flushed and closed: on any failure an
// earlier file of that name is left untouched and nothing partial remains.
// progress counts records written of all. Throws FileOpenError,
// FileWriteError, or TooLargeError (before any file is made) for more records
// than a database's header can count.
ConversionSummary writeCameraDatabase(const CameraTable& table, const ConversionSettings& settings,
                                      const ProgressCallback& progress = {});
// The same, leaving out the records of the rows at `leftOut` (positions in
// the table's current order, strictly ascending): the duplicates a user asked
// to drop.
ConversionSummary writeCameraDatabase(const CameraTable& table, const ConversionSettings& settings,
                                      const std::vector<std::uint32_t>& leftOut,
                                      const ProgressCallback& progress = {});

// Throws TooLargeError when `records` records do not fit one database file
// (its header sizes the body in 32 bits).
void checkDatabaseHolds(std::uint64_t records);

// Sorts the table by latitude and writes it. After a failure the table is in
// file order.
ConversionSummary runConversion(CameraTable& table, const ConversionSettings& settings,
                                const ProgressCallback& progress = {});

}  // namespace tabrino
