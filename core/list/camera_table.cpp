#include "core/list/camera_table.h"

#include "core/base/errors.h"
#include "core/list/latitude_order.h"
#include "core/platform/large_pages.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>

namespace tabrino {
namespace {

// Hands `take` the bytes of the cell `column` of the line starting at
// `line`, at most its first `most`.
template <typename Take>
void takeCell(const char* line, const char* end, std::size_t column, std::size_t most, Take take) {
  const char* p = line;
  for (std::size_t skip = column; skip > 0; --skip) {
    while (p != end && *p != ',' && *p != '\n') ++p;
    if (p == end || *p == '\n') return;
    ++p;
  }
  for (std::size_t taken = 0; p != end && *p != ',' && *p != '\n' && *p != '\0' && taken < most; ++p) {
    if (*p != '\r') take(*p), ++taken;
  }
}

std::string cutCell(const char* line, const char* end, std::size_t column, std::size_t most) {
  std::string cell;
  takeCell(line, end, column, most, [&cell](char byte) { cell += byte; });
  return cell;
}

// The XOR of the bytes of the record a row becomes, folded from its three
// 32-bit words; nothing for a row that becomes no record.
std::optional<std::uint8_t> recordXorOf(const CameraRow& row) noexcept {
  const std::int32_t latitude = scaleCoordinate(row.latitude);
  if (!inBounds(latitude, row.longitude)) return std::nullopt;
  std::uint32_t word = static_cast<std::uint32_t>(latitude) ^ static_cast<std::uint32_t>(row.longitude) ^
                       (row.type | row.speed << 8 | row.directionType << 16 | std::uint32_t{row.directionCode} << 24);
  word ^= word >> 16;
  return static_cast<std::uint8_t>(word ^ word >> 8);
}

}  // namespace

CameraTable::CameraTable(std::size_t rowLimit) noexcept
    : rowLimit_(std::min({rowLimit, kMaxTableRows, std::vector<CameraRow>().max_size()})) {}

void CameraTable::throwTooManyRows() const {
  throw TooLargeError("The list has more rows than Tabrino can hold: at most " + std::to_string(rowLimit_) + ".");
}

std::vector<CameraRecord> CameraTable::records() const {
  std::vector<CameraRecord> out;
  out.reserve(static_cast<std::size_t>(totals_.recordCount));
  for (std::size_t position = 0; position < size(); ++position) {
    if (const auto found = record(position)) out.push_back(*found);
  }
  return out;
}

std::vector<std::uint64_t> CameraTable::recordLines() const {
  std::vector<std::uint64_t> lines;
  lines.reserve(static_cast<std::size_t>(totals_.recordCount));
  for (std::size_t position = 0; position < size(); ++position) {
    if (record(position)) lines.push_back(tag(position) + 1);
  }
  return lines;
}

std::string CameraTable::recordCells() const {
  std::string cells;
  if (!keepText_) return cells;
  // The cells are gathered in file order, in one read of the text, then put
  // in the table's order: read row by row in latitude order, a list kept on
  // disk would be read a block per row.
  std::string inFileOrder;
  std::vector<std::size_t> starts(rows_.size() + 1, 0);
  forEachRowLine([&](std::size_t index, const char* line, const char* end) {
    if (recordOf(rows_[index])) {
      for (const Column column : {Column::Idx, Column::X, Column::Y, Column::Direction}) {
        if (column != Column::Idx) inFileOrder += '\t';
        takeCell(line, end, static_cast<std::size_t>(column), std::string::npos,
                 [&inFileOrder](char byte) { inFileOrder += byte == '\t' ? ' ' : byte; });
      }
      inFileOrder += '\n';
    }
    starts[index + 1] = inFileOrder.size();
  });
  cells.reserve(inFileOrder.size());
  for (std::size_t position = 0; position < size(); ++position) {
    const std::size_t row = indexAt(position);
    cells.append(inFileOrder, starts[row], starts[row + 1] - starts[row]);
  }
  return cells;
}

void CameraTable::forEachRowLine(const std::function<void(std::size_t, const char*, const char*)>& take) const {
  const std::size_t rows = std::min(rows_.size(), lineOffsets_.size());
  if (rows == 0) return;
  LineStarts::Reader starts(lineOffsets_);
  std::size_t nextStart = starts.next();
  std::size_t index = 0;
  std::size_t pieceStart = 0;
  text_.forEachPiece(0, text_.size(), [&](std::string_view piece) {
    const std::size_t pieceEnd = pieceStart + piece.size();
    // Rows lie in file order, their lines one after another: those that
    // start in this piece end in it too.
    for (; index < rows && nextStart < pieceEnd; ++index) {
      take(index, piece.data() + (nextStart - pieceStart), piece.data() + piece.size());
      if (index + 1 < rows) nextStart = starts.next();
    }
    pieceStart = pieceEnd;
  });
}

void CameraTable::forEachCellInFileOrder(Column column, std::size_t most,
                                         const std::function<void(std::size_t, std::string_view)>& take) const {
  if (!keepText_) return;
  std::string cell;
  forEachRowLine([&](std::size_t index, const char* line, const char* end) {
    cell.clear();
    takeCell(line, end, static_cast<std::size_t>(column), most, [&cell](char byte) { cell += byte; });
    take(index, cell);
  });
}

void CameraTable::clear() noexcept {
  emptyKeepingRoom();
  // Swaps rather than clear(): a table of millions of rows gives its memory back.
  decltype(rows_)().swap(rows_);
  std::vector<LineRun>().swap(lineRuns_);
  RowPositions().swap(order_);
  lineOffsets_.clear();
  text_.clear();
}

void CameraTable::emptyKeepingRoom() noexcept {
  rows_.clear();
  lineRuns_.clear();
  order_.clear();
  lineOffsets_.emptyKeepingRoom();
  text_.clear();
  keepText_ = false;
  keepOffsets_ = false;
  totals_ = {};
  aside_ = false;
  takenIn_ = 0;
}

void CameraTable::keepText(std::string text) {
  clear();
  text_.take(std::move(text));
  keepText_ = keepOffsets_ = true;
}

std::size_t CameraTable::appendText(std::string_view more) {
  keepText_ = keepOffsets_ = true;
  return text_.append(more);
}

std::size_t CameraTable::takeText(std::string&& more) {
  keepText_ = keepOffsets_ = true;
  return text_.take(std::move(more));
}

std::size_t CameraTable::appendFileText(const std::filesystem::path& path, const FileStamp& stamp, std::size_t size,
                                        char lastByte, bool utf8) {
  keepText_ = keepOffsets_ = true;
  return text_.appendFile(path, stamp, size, lastByte, utf8);
}

void CameraTable::reserve(std::size_t rows) {
  rows = std::min(rows, rowLimit_);
  rows_.reserve(rows);
  if (keepOffsets_) lineOffsets_.reserve(rows);
}

void CameraTable::appendRows(const CameraRow* rows, std::size_t count, std::uint64_t firstLine,
                             const std::size_t* lineOffsets) {
  if (count == 0) return;
  if (rows_.size() == rowLimit_) throwTooManyRows();
  const std::size_t taken = std::min(count, rowLimit_ - rows_.size());
  order_.clear();
  if (lineRuns_.empty() || firstLine - lineRuns_.back().line != rows_.size() - lineRuns_.back().firstRow) {
    lineRuns_.push_back({rows_.size(), firstLine});
  }
  rows_.insert(rows_.end(), rows, rows + taken);
  if (keepOffsets_) {
    for (std::size_t i = 0; i < taken; ++i) lineOffsets_.push(lineOffsets[i]);
  }
  for (std::size_t i = 0; i < taken; ++i) totals_.add(rows[i]);
  if (taken < count) throwTooManyRows();
}

void CameraTable::RowTotals::add(const CameraRow& row) noexcept {
  noteLatitude(row.latitude);
  const auto bytes = recordXorOf(row);
  if (!bytes) return;
  ++recordCount;
  recordXor ^= *bytes;
}

void CameraTable::RowTotals::add(const RowTotals& more) noexcept {
  recordCount += more.recordCount;
  recordXor ^= more.recordXor;
  noteLatitude(more.lowestLatitude);
  noteLatitude(more.highestLatitude);
}

void CameraTable::appendLineRuns(const std::vector<LineRun>& runs, std::size_t rowBase, std::uint64_t lineBase) {
  for (const LineRun& run : runs) {
    const LineRun moved{rowBase + run.firstRow, lineBase + run.line};
    if (!lineRuns_.empty() && moved.line - lineRuns_.back().line == moved.firstRow - lineRuns_.back().firstRow) {
      continue;  // carries on the last run
    }
    lineRuns_.push_back(moved);
  }
}

void CameraTable::Span::append(const CameraRow* rows, std::size_t count, std::uint64_t firstLine) {
  if (count == 0) return;
  if (lineRuns_.empty() || firstLine - lineRuns_.back().line != size_ - lineRuns_.back().firstRow) {
    lineRuns_.push_back({size_, firstLine});
  }
  std::memcpy(rows_ + size_, rows, count * sizeof(CameraRow));
  size_ += count;
  for (std::size_t i = 0; i < count; ++i) totals_.add(rows[i]);
}

void CameraTable::Span::keepApart() {
  own_.assign(rows_, rows_ + size_);
  rows_ = own_.data();
  capacity_ = size_;
}

void CameraTable::setAside(std::vector<Span>& spans, const std::vector<std::size_t>& rows) {
  std::size_t free = rowLimit_ - std::min(rowLimit_, rows_.size());
  order_.clear();
  takenIn_ = rows_.size();
  std::size_t total = 0;
  for (std::size_t k = 0; k < spans.size(); ++k) {
    spans[k] = Span();
    spans[k].capacity_ = std::min(rows[k], free);
    free -= spans[k].capacity_;
    total += spans[k].capacity_;
  }
  rows_.resize(takenIn_ + total);  // the rows are not written
  aside_ = true;
  CameraRow* room = rows_.data() + takenIn_;
  for (Span& span : spans) {
    span.rows_ = room;
    room += span.capacity_;
  }
}

void CameraTable::takeIn(Span& span, std::uint64_t lineBase) {
  const std::size_t end = aside_ ? takenIn_ : rows_.size();
  if (span.size_ > rowLimit_ - end) throwTooManyRows();
  appendLineRuns(span.lineRuns_, end, lineBase);
  if (aside_ && span.size_ <= rows_.size() - end) {
    // The first span lies in place: only a later one moves down.
    if (span.rows_ != rows_.data() + end) std::memmove(rows_.data() + end, span.rows_, span.size_ * sizeof(CameraRow));
    takenIn_ += span.size_;
  } else {
    endAside();
    rows_.insert(rows_.end(), span.rows_, span.rows_ + span.size_);
  }
  totals_.add(span.totals_);
  span = Span();
}

void CameraTable::endAside() noexcept {
  if (!aside_) return;
  // The room past the rows taken in held rows that moved down, or spare
  // room: its pages go back to the system, up to the end of the last large
  // page, which the last span's rows may have faulted in whole.
  const std::size_t roomEnd = largeRoomSize(rows_.capacity() * sizeof(CameraRow));
  releasePages(rows_.data() + takenIn_, roomEnd - takenIn_ * sizeof(CameraRow));
  rows_.resize(takenIn_);  // smaller: nothing is allocated
  aside_ = false;
}

void CameraTable::removeRows(const std::vector<std::uint32_t>& indexes) {
  if (indexes.empty()) return;
  order_.clear();
  // Rows move down in place; the runs of lines are made again as they go.
  std::vector<LineRun> runs;
  std::size_t run = 0, kept = 0;
  auto next = indexes.begin();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    while (run + 1 < lineRuns_.size() && lineRuns_[run + 1].firstRow <= i) ++run;
    if (next != indexes.end() && *next == i) {
      ++next;
      if (const auto bytes = recordXorOf(rows_[i])) {  // an XOR takes out what it put in
        --totals_.recordCount;
        totals_.recordXor ^= *bytes;
      }
      continue;
    }
    const std::uint64_t line = lineRuns_[run].line + (i - lineRuns_[run].firstRow);
    if (runs.empty() || line - runs.back().line != kept - runs.back().firstRow) runs.push_back({kept, line});
    rows_[kept] = rows_[i];

    ++kept;
  }
  rows_.resize(kept);
  if (keepOffsets_) lineOffsets_.remove(indexes);
  lineRuns_.swap(runs);
}

void CameraTable::appendRows(const CameraTable& rows, std::uint64_t lineBase) {
  if (rows.rows_.size() > rowLimit_ - rows_.size()) throwTooManyRows();
  order_.clear();
  appendLineRuns(rows.lineRuns_, rows_.size(), lineBase);
  rows_.insert(rows_.end(), rows.rows_.begin(), rows.rows_.end());
  if (keepOffsets_) {
    LineStarts::Reader starts(rows.lineOffsets_);
    for (std::size_t i = 0; i < rows.lineOffsets_.size(); ++i) lineOffsets_.push(starts.next());
  }
  totals_.add(rows.totals_);
}

std::uint64_t CameraTable::tag(std::size_t position) const noexcept {
  if (position >= rows_.size()) return 0;
  return tagInFileOrder(indexAt(position));
}

std::uint64_t CameraTable::tagInFileOrder(std::size_t index) const noexcept {
  if (index >= rows_.size()) return 0;
  const auto run = std::upper_bound(lineRuns_.begin(), lineRuns_.end(), index,
                                    [](std::size_t i, const LineRun& r) { return i < r.firstRow; }) - 1;
  return run->line + (index - run->firstRow);
}

std::string CameraTable::cell(std::size_t position, Column column) const {
  if (position >= rows_.size()) return {};
  return cellInFileOrder(indexAt(position), column);
}

void CameraTable::prepareCells(std::size_t first, std::size_t last) const {
  // A page, not the whole table: the cache holds a few pages.
  constexpr std::size_t kMostRows = 100;
  if (!keepText_) return;
  last = std::min({last, rows_.size(), lineOffsets_.size(), first + kMostRows});
  std::vector<std::size_t> offsets;
  for (std::size_t position = first; position < last; ++position) offsets.push_back(lineOffsets_[indexAt(position)]);
  std::sort(offsets.begin(), offsets.end());  // the file read in its own order
  text_.cacheLines(offsets);
}

std::string CameraTable::cellInFileOrder(std::size_t index, Column column) const {
  if (!keepText_ || index >= lineOffsets_.size()) return {};
  const std::string line = text_.line(lineOffsets_[index]);
  return cutCell(line.data(), line.data() + line.size(), static_cast<std::size_t>(column), std::string::npos);
}

void CameraTable::sortByLatitude() {
  if (rows_.size() < 2) return;
  RowPositions order = latitudeOrder();
  order_.swap(order);
}

RowPositions CameraTable::latitudeOrder() const {
  // Runs of nearby latitude, then each run sorted while it is in the cache
  // (see latitude_order.h): where a comparison sort of all rows would make
  // millions of scattered reads, this reads the rows in memory's order.
  return tabrino::latitudeOrder(rows_.data(), rows_.size(), totals_.lowestLatitude, totals_.highestLatitude);
}

}  // namespace tabrino
