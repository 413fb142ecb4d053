// Checks a camera database file against its layout, byte by byte, so that a
// file can be trusted before it goes onto a device that says nothing when a
// file is bad. Any bytes at all may be given: the checks read in blocks,
// never past the end, and keep a bounded list of what they find.
#pragma once

#include "core/platform/byte_source.h"
#include "core/database/camera_db_format.h"
#include "core/base/progress.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabrino {

struct InspectionProblem {
  std::uint64_t offset;  // where in the file it shows
  std::string text;
};

// Problems with single records past this many are counted, not listed: a
// file of random bytes has one per record.
inline constexpr std::size_t kMaxListedRecordProblems = 1000;

struct DatabaseInspection {
  std::uint64_t fileSize = 0;
  bool headerComplete = false;  // when false, none of the header fields below is known
  bool magicFound = false;      // the header begins "rudb"
  DbDate date{};
  std::string fileName;  // the name that date gives
  // Taken from the body size where it fits the file, else from where the
  // trailing 0xFF bytes (end marker and fill) begin.
  std::uint64_t recordCount = 0;
  std::uint32_t storedBodySize = 0;
  std::uint8_t storedChecksum = 0;
  std::uint8_t computedChecksum = 0;
  std::vector<InspectionProblem> problems;  // by ascending offset
  std::uint64_t unlistedProblems = 0;

  bool sound() const noexcept { return problems.empty() && unlistedProblems == 0; }
  // Listed and unlisted: a file of several gigabytes may have more than a
  // 32-bit size_t counts.
  std::uint64_t problemCount() const noexcept { return problems.size() + unlistedProblems; }
};

DatabaseInspection inspectDatabase(ByteSource& source, const ProgressCallback& progress = {});

}  // namespace tabrino
