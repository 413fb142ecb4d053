// Texts that users read, shared by the command line and the Windows dialog so
// that both say the same thing in the same words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tabrino {

// "1 record", "2 records": a count with its noun.
inline std::string countedText(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// The end of a completed conversion, naming the file written.
inline std::string conversionEndText(std::string_view databasePath) {
  return "DB Conversion end. [" + std::string(databasePath) + "]";
}

// What a completed conversion made of the rows.
inline std::string conversionCountsText(std::uint64_t recordsWritten, std::uint64_t rowsSkipped) {
  return "Wrote " + countedText(recordsWritten, "record", "records") + "; skipped " +
         countedText(rowsSkipped, "row", "rows") + " with coordinates out of range";
}

}  // namespace tabrino
