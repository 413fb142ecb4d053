// The one store of imported rows. Each row is parsed once, at import, into
// what a conversion needs: the fields of its record and its latitude in
// degrees, which orders the rows. The list's text is kept only where someone
// reads the cells again (the dialog shows them), and then a list on disk is
// kept as its place in the file (KeptText) and a byte a row for where each
// line starts; the command line keeps none, so a list of millions of rows
// costs 16 bytes a row, 20 once sorted.
#pragma once

#include "core/base/prefetch.h"
#include "core/list/kept_text.h"
#include "core/list/line_starts.h"
#include "core/model/camera_record.h"
#include "core/platform/large_pages.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabrino {

enum class Column : std::size_t { Idx, X, Y, Type, Speed, DirType, Direction };

inline constexpr std::size_t kColumnCount = kFieldsPerLine;
inline constexpr std::array<std::string_view, kColumnCount> kColumnTitles = {
    "IDX", "X", "Y", "TYPE", "SPEED", "DIRTYPE", "DIRECTION"};

// What one row of a list becomes.
struct CameraRow {
  double latitude;  // the Y cell as read; the record's latitude is this scaled
  std::int32_t longitude;  // the X cell scaled (kUnrepresentable when it does not fit)
  std::uint8_t type;
  std::uint8_t speed;
  std::uint8_t directionType;
  std::uint8_t directionCode;
};
static_assert(sizeof(CameraRow) == 16, "rows are packed for the memory they take by the million");

// The record a row becomes, or nothing when its coordinates are out of bounds.
inline std::optional<CameraRecord> recordOf(const CameraRow& row) noexcept {
  const std::int32_t latitude = scaleCoordinate(row.latitude);
  if (!inBounds(latitude, row.longitude)) return std::nullopt;
  return CameraRecord{latitude, row.longitude, row.type, row.speed, row.directionType, row.directionCode};
}

// Leaves the elements a vector grows by uninitialised: for positions that
// are all written before any is read, where zeroing millions first would
// cost a pass over them. Large room comes in large pages, as for rows.
template <typename T>
struct UninitialisedAllocator : LargePageAllocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() noexcept = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <typename U, typename... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};
using RowPositions = std::vector<std::uint32_t, UninitialisedAllocator<std::uint32_t>>;

// The most rows a table holds: positions are kept in 32 bits.
inline constexpr std::size_t kMaxTableRows = std::numeric_limits<std::uint32_t>::max();

class CameraTable {
 public:
  // A table of at most `rowLimit` rows (never more than kMaxTableRows, nor
  // than memory can address); a row past it throws TooLargeError.
  explicit CameraTable(std::size_t rowLimit = kMaxTableRows) noexcept;
  void clear() noexcept;
  // Empties the table but keeps its room, for a table filled again and again.
  void emptyKeepingRoom() noexcept;

  // Rows, addressed by position: file order after an import, latitude order
  // after sortByLatitude.
  std::size_t size() const noexcept { return rows_.size(); }
  bool empty() const noexcept { return rows_.empty(); }
  const CameraRow& row(std::size_t position) const noexcept { return rows_[indexAt(position)]; }
  std::optional<CameraRecord> record(std::size_t position) const noexcept { return recordOf(row(position)); }
  // The records of the rows that become records, in the current order: the
  // cameras a device will have.
  std::vector<CameraRecord> records() const;
  // The line (from 1, the header being line 1) of each of those rows, in the
  // same order: what a person looks for in the list.
  std::vector<std::uint64_t> recordLines() const;
  // The IDX, X, Y and DIRECTION cells of each of those rows, in the same
  // order, as the list wrote them: a line each, the cells apart by tabs
  // (a tab or line break in a cell read as a space). How the list's author
  // names a camera and what the database's rounding left of the values.
  // Empty when the table keeps no text.
  std::string recordCells() const;
  // Hints that the row at `position` will be read soon: rows read in sorted
  // order lie scattered in memory.
  [[gnu::always_inline]] void prefetch(std::size_t position) const noexcept { prefetchRow(indexAt(position)); }
  // The row's line in its file, counted from 0 (the header line).
  std::uint64_t tag(std::size_t position) const noexcept;
  // The row's place in file order, whatever order the positions are in: of
  // two rows, the one with the lower index comes first in the list.
  std::size_t fileIndex(std::size_t position) const noexcept { return indexAt(position); }
  // The same by place in file order, for a pass that reads the rows as they
  // lie in memory whatever order the positions are in.
  const CameraRow& rowInFileOrder(std::size_t index) const noexcept { return rows_[index]; }
  std::uint64_t tagInFileOrder(std::size_t index) const noexcept;
  // Whether positions follow latitude: after sortByLatitude, or for fewer
  // than two rows.
  bool sortedByLatitude() const noexcept { return !order_.empty() || rows_.size() < 2; }

  // How many rows become records, and the XOR of all their bytes: both are
  // known before the first byte of a database is written.
  std::uint64_t recordCount() const noexcept { return totals_.recordCount; }
  std::uint8_t recordXor() const noexcept { return totals_.recordXor; }

  // Cell text as the list held it (carriage returns dropped, a zero byte ends
  // the cell), when the table keeps the list's text; empty otherwise, and for
  // a position past the end.
  bool keepsText() const noexcept { return keepText_; }
  std::string cell(std::size_t position, Column column) const;
  // The same of the row at this place in file order.
  std::string cellInFileOrder(std::size_t index, Column column) const;
  // Hints that the cells of the rows at [first, last) are about to be read
  // (a page of them shown): their lines are read at once.
  void prepareCells(std::size_t first, std::size_t last) const;
  // Hands `take` the first `most` bytes of a cell of every row, in file
  // order with each row's place in it: one read of the text from start to
  // end, where reading the rows' cells one by one would read a list kept on
  // disk a block per row. It reads only the text, never the order, so it may
  // run while the table is sorted on another thread. Throws FileReadError
  // where a list's file changed since it was read.
  void forEachCellInFileOrder(Column column, std::size_t most,
                              const std::function<void(std::size_t index, std::string_view cell)>& take) const;
  // Whether a list's file was found changed since it was read: its cells
  // then read as empty.
  bool textChanged() const noexcept { return text_.changed(); }

  // Puts rows in ascending latitude. Rows with equal latitude keep their
  // order, so one list always gives one file; a latitude that is NaN sorts
  // after every other row.
  void sortByLatitude();
  // The rows' places in file order, in the order sortByLatitude gives them,
  // leaving the table as it is: it reads only the rows, never the order, so
  // the table may be shown meanwhile.
  RowPositions latitudeOrder() const;
  // Back to file order (after a look at the rows in latitude order).
  void restoreFileOrder() noexcept { RowPositions().swap(order_); }

  // For the import: rows arrive in file order.
  void keepText(std::string text);  // clears the table; lines are then given as offsets into text
  // Adds a further list's text after the text kept (keeping text from then
  // on); returns where it starts, the offset its lines are given from.
  std::size_t appendText(std::string_view more);
  // The same, taking the text itself where none is kept yet (no copy).
  std::size_t takeText(std::string&& more);
  // Adds a list read from the file at `path` (`size` bytes, its stamp as
  // read, `lastByte` its last, `utf8` whether they are UTF-8), its text read again from the file when
  // wanted rather than kept; returns where it starts.
  std::size_t appendFileText(const std::filesystem::path& path, const FileStamp& stamp, std::size_t size,
                             char lastByte, bool utf8);
  const KeptText& text() const noexcept { return text_; }
  void reserve(std::size_t rows);  // at most the table's limit
  // All three throw TooLargeError for a row past the table's limit, once the
  // rows up to it are in.
  void appendRow(const CameraRow& row, std::uint64_t line, std::size_t lineOffset = 0) {
    appendRows(&row, 1, line, &lineOffset);
  }
  // Rows of `count` consecutive lines from firstLine, with their lines'
  // offsets (read only when the table keeps them): the import's plain rows
  // arrive a batch at a time, so that their line run is looked at once.
  void appendRows(const CameraRow* rows, std::size_t count, std::uint64_t firstLine, const std::size_t* lineOffsets);
  // For rows read apart from the table (on another thread): keep their line
  // offsets without keeping text, then append them all, their lines counted
  // from lineBase.
  void keepLineOffsets(bool keep) noexcept { keepOffsets_ = keep; }
  void appendRows(const CameraTable& rows, std::uint64_t lineBase);
  // Takes out the rows at these places in file order (ascending); the rest
  // keep their order and lines.
  void removeRows(const std::vector<std::uint32_t>& indexes);

 private:
  // Rows in file order. Their lines are kept as runs of rows on consecutive
  // lines: a list without blank or broken lines needs one run.
  struct LineRun {
    std::size_t firstRow;
    std::uint64_t line;
  };
  // What the rows add up to: the records they become and the range of
  // their latitudes (a NaN is not in it). Rows taken out leave the range as
  // wide as it was, which only spreads the sort less.
  struct RowTotals {
    std::uint64_t recordCount = 0;
    std::uint8_t recordXor = 0;
    double lowestLatitude = std::numeric_limits<double>::infinity();
    double highestLatitude = -std::numeric_limits<double>::infinity();
    void add(const CameraRow& row) noexcept;
    void add(const RowTotals& more) noexcept;
    void noteLatitude(double latitude) noexcept {
      if (latitude < lowestLatitude) lowestLatitude = latitude;
      if (latitude > highestLatitude) highestLatitude = latitude;
    }
  };
  // Adds runs counted from row 0 and line 0 for rows appended at rowBase,
  // their lines counted from lineBase.
  void appendLineRuns(const std::vector<LineRun>& runs, std::size_t rowBase, std::uint64_t lineBase);

 public:
  // Rows read apart from the table, on a thread of their own, straight into
  // room the table has set aside for them past its last row: two parsers
  // fill one table at once, and each row is copied at most once more, to
  // close up the room left unfilled.
  class Span {
   public:
    std::size_t size() const noexcept { return size_; }
    std::size_t room() const noexcept { return capacity_ - size_; }
    // Rows of `count` (at most room()) consecutive lines from firstLine,
    // counted from the span's first line.
    void append(const CameraRow* rows, std::size_t count, std::uint64_t firstLine);
    // Moves the rows out of the table's room into memory of the span's own,
    // for rows to be taken in after others not yet read.
    void keepApart();

   private:
    friend class CameraTable;
    CameraRow* rows_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::vector<CameraRow> own_;
    std::vector<LineRun> lineRuns_;
    RowTotals totals_;
  };
  // Room past the last row for spans of rows[k] rows, one after the other
  // (each as many as the table's limit allows). Until endAside, the table
  // holds only what it is given by takeIn, and its size counts the room set
  // aside too. Spans carry no line offsets: not for a table that keeps them.
  void setAside(std::vector<Span>& spans, const std::vector<std::size_t>& rows);
  // Takes in a span's rows after the table's, their lines counted from
  // lineBase: in place, or moved down over the room left unfilled.
  void takeIn(Span& span, std::uint64_t lineBase);
  // Gives up the room set aside and not taken in.
  void endAside() noexcept;

 private:
  [[gnu::always_inline]] void prefetchRow(std::size_t index) const noexcept { tabrino::prefetch(&rows_[index]); }
  std::size_t indexAt(std::size_t position) const noexcept {
    return order_.empty() ? position : order_[position];
  }

  [[noreturn]] void throwTooManyRows() const;
  // Hands `take` each row's place in file order with its line, up to the
  // end of the text read with it, in one read of the text.
  void forEachRowLine(const std::function<void(std::size_t index, const char* line, const char* end)>& take) const;

  std::size_t rowLimit_;
  // Never zeroed as it grows: room set aside is written before it is read.
  std::vector<CameraRow, UninitialisedAllocator<CameraRow>> rows_;
  std::vector<LineRun> lineRuns_;
  RowPositions order_;  // the row at each position once sorted; empty for file order
  RowTotals totals_;
  bool aside_ = false;         // room is set aside past the rows taken in
  std::size_t takenIn_ = 0;    // while it is: the rows the table holds
  bool keepText_ = false;
  bool keepOffsets_ = false;  // line offsets are kept (with the text, or for it)
  KeptText text_;
  LineStarts lineOffsets_;
};

}  // namespace tabrino
