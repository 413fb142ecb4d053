// Reads a speed-camera list (comma-separated 8-bit text whose first line is
// the header IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION) into a camera table.
//
// Bytes are taken as they stand: no quoting, trimming or code-page
// conversion. A carriage return is ignored wherever it occurs, a zero byte ends
// its cell's text, fields beyond the seventh are dropped, and a line without a
// comma makes no row. Each row is tagged with its line number (the header is
// line 0), so tags always point back into the file.
#pragma once

#include "camera_table.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tabrino {

enum class ImportOutcome {
  Loaded,       // header removed; the table holds the list's rows
  OpenFailed,   // table untouched
  ReadFailed,   // table holds the rows read before the failure
  WrongHeader,  // table holds every row, the first line's included
};

struct ImportResult {
  ImportOutcome outcome = ImportOutcome::Loaded;
  std::size_t loadedCount = 0;  // rows in the table after Loaded
  std::string systemReason;     // why opening or reading failed

  bool loaded() const noexcept { return outcome == ImportOutcome::Loaded; }
  // The text users see for a failure; empty for Loaded.
  std::string_view messageText() const noexcept;
};

// What the import saw of one line, for those who report on a list: how many
// fields it had (1 for a line without a comma, which makes no row) and the
// text of its first field (the whole line when it has no comma).
struct LineShape {
  std::uint64_t lineNumber;  // from 0, the header line; the row tag
  std::size_t fieldCount;
  std::string_view firstField;
};

// Told of each line once it ends, and of the bytes read after each block.
// Observing changes nothing in the table.
class ImportObserver {
 public:
  virtual ~ImportObserver() = default;
  virtual void lineRead(const LineShape& /*line*/) {}
  virtual void bytesRead(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
};

// The table is cleared only once the file has been opened.
ImportResult importCameraList(const std::filesystem::path& path, CameraTable& table,
                              ImportObserver* observer = nullptr);
ImportResult importCameraListText(std::string_view bytes, CameraTable& table, ImportObserver* observer = nullptr);

}  // namespace tabrino
