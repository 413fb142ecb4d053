// Reads a speed-camera list (comma-separated 8-bit text whose first line is
// the header IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION) into a camera table.
//
// Bytes are taken as they stand: no quoting, trimming or code-page
// conversion. A carriage return is ignored wherever it occurs, a zero byte ends
// its cell's text, fields beyond the seventh are dropped, and a line without a
// comma makes no row. Each row is tagged with its line number (the header is
// line 0), so tags always point back into the file. Each line is read once:
// its row is parsed into its record's fields and its findings are handed on
// as it is read.
#pragma once

#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/list/list_sources.h"
#include "core/base/progress.h"
#include "core/platform/file_io.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace tabrino {

// A list's header lies within its first kHeaderReach bytes: a header line is
// short. Until the header has passed, a text is read no further, so that
// what cannot be a list (zeros without a line feed, a device, a huge file of
// another kind) is refused without being read whole; once it has passed, a
// list may be as long as it likes.
inline constexpr std::size_t kHeaderReach = std::size_t{64} << 10;

enum class ImportOutcome {
  Loaded,       // header removed; the table holds the list's rows
  OpenFailed,   // table untouched
  ReadFailed,   // table holds the rows read before the failure
  // No header within the first kHeaderReach bytes. The table holds the rows
  // read, the first line's included: every row of a text that ends within
  // them, else those of the lines that do.
  WrongHeader,
};

struct ImportResult {
  ImportOutcome outcome = ImportOutcome::Loaded;
  std::size_t loadedCount = 0;  // rows the list added to the table, after Loaded
  std::uint64_t lineCount = 0;  // lines read, the header's included
  std::error_code code;         // the system's reason why opening or reading failed

  bool loaded() const noexcept { return outcome == ImportOutcome::Loaded; }
  // The code in words (UTF-8), for those who print it; empty without a code.
  std::string systemReason() const { return errorText(code); }
  // The text users see for a failure; empty for Loaded.
  std::string_view messageText() const noexcept;
};

struct ImportOptions {
  // Keep the list's text so that the table can show its cells: for a file
  // on disk, where it lies in the file, read again when wanted; for any
  // other stream, its bytes.
  bool keepText = false;
  // Told of each finding, in line order. Findings of a list that fails the
  // header test mean nothing; findings of the header row are never given.
  FindingSink* findings = nullptr;
  // Bytes read so far of the whole (the whole is unknown for a pipe: then
  // the bytes read so far).
  ProgressCallback progress;
  // Adds the list's rows after those the table holds instead of replacing
  // them, its lines numbered on from firstLine (its header is line
  // firstLine): lists read one after another make one table, numbered as if
  // they were one text. A table that keeps text must be given lists that
  // keep text.
  bool append = false;
  std::uint64_t firstLine = 0;
  // The bytes of the lists still to be appended after this one: room for
  // all their rows is reserved at once.
  std::uint64_t laterBytes = 0;
};

// The table is cleared (unless appending) only once the file has been
// opened. A list of more rows than the table holds (or, kept, more bytes than
// one string) throws TooLargeError.
ImportResult importCameraList(const std::filesystem::path& path, CameraTable& table,
                              const ImportOptions& options = {});
// A list already open: standard input, or a file or pipe whose first bytes
// were read to tell a list from a database. Those bytes are not read again,
// so a pipe is read once.
struct ListStream {
  std::FILE* file = nullptr;
  std::string_view alreadyRead;  // read from file before, taken first
  std::uint64_t size = 0;        // the whole's size when known, for progress; 0 for a pipe
  // A file on disk read from its first byte (alreadyRead being its first
  // bytes): a large one is read in parts, two at once, each at its own offset.
  bool readableAtOffsets = false;
  // The file's path, where it is one on disk: a table that keeps the list's
  // text reads its cells again from there rather than keeping a copy.
  std::filesystem::path source;
};
// Reads an open stream to its end.
ImportResult importCameraStream(const ListStream& in, CameraTable& table, const ImportOptions& options = {});
// A list already in memory; the table keeps its text.
ImportResult importCameraListText(std::string_view bytes, CameraTable& table, const ImportOptions& options = {});

// One of several lists read into one table: a file, or an open stream
// (standard input) when `stream` is given.
struct ListInput {
  std::string name;  // as users should read it
  std::filesystem::path path;
  const ListStream* stream = nullptr;  // an input already open, read in place of path
};
// Reads `input` after the lists `sources` names (the first clears the
// table), numbering its lines on from theirs, and adds it to `sources` once
// loaded. options.append and options.firstLine are set here.
ImportResult importNextList(const ListInput& input, CameraTable& table, ListSources& sources,
                            ImportOptions options = {});

// Whether the file at `path` has a list's header within its first
// kHeaderReach bytes; reads those and one more, no further. False when it
// cannot be opened or read.
bool startsAsList(const std::filesystem::path& path);

// The findings of the list at [from, to) of a table's text, without keeping
// its rows: for findings wanted again after the reading. Throws
// FileReadError where the list's file changed since it was read.
void scanListFindings(const KeptText& text, std::size_t from, std::size_t to, FindingSink& findings);

}  // namespace tabrino
