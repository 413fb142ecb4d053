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
  for (std::size_t position = 0; position < size(); ++position) {
    if (!record(position)) continue;
    const std::size_t offset = lineOffsets_[indexAt(position)];
    for (const Column column : {Column::Idx, Column::X, Column::Y, Column::Direction}) {
      if (column != Column::Idx) cells += '\t';
      takeCell(text_.data() + offset, text_.data() + text_.size(), static_cast<std::size_t>(column),
               std::string::npos, [&cells](char byte) { cells += byte == '\n' || byte == '\t' ? ' ' : byte; });
    }
    cells += '\n';
  }
  return cells;
}

void CameraTable::clear() noexcept {
  emptyKeepingRoom();
  // Swaps rather than clear(): a table of millions of rows gives its memory back.
  decltype(rows_)().swap(rows_);
  std::vector<LineRun>().swap(lineRuns_);
  RowPositions().swap(order_);
  std::vector<std::size_t>().swap(lineOffsets_);
  std::string().swap(text_);
}

void CameraTable::emptyKeepingRoom() noexcept {
  rows_.clear();
  lineRuns_.clear();
  order_.clear();
  lineOffsets_.clear();
  text_.clear();
  keepText_ = false;
  keepOffsets_ = false;
  totals_ = {};
  aside_ = false;
  takenIn_ = 0;
}

void CameraTable::keepText(std::string text) {
  clear();
  text_ = std::move(text);
  keepText_ = keepOffsets_ = true;
}

std::size_t CameraTable::appendText(std::string_view more) {
  const std::size_t start = text_.size();
  text_.append(more.data(), more.size());
  keepText_ = keepOffsets_ = true;
  return start;
}

std::size_t CameraTable::takeText(std::string&& more) {
  if (!text_.empty()) return appendText(std::string_view(more));
  text_ = std::move(more);
  keepText_ = keepOffsets_ = true;
  return 0;
}

void CameraTable::reserve(std::size_t rows) {
  rows = std::min(rows, rowLimit_);
  rows_.reserve(rows);
  if (keepOffsets_) {
    lineOffsets_.reserve(rows);
    adviseLargePages(lineOffsets_.data(), lineOffsets_.capacity() * sizeof(std::size_t));
  }
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
  if (keepOffsets_) lineOffsets_.insert(lineOffsets_.end(), lineOffsets, lineOffsets + taken);
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
    if (keepOffsets_) lineOffsets_[kept] = lineOffsets_[i];
    ++kept;
  }
  rows_.resize(kept);
  if (keepOffsets_) lineOffsets_.resize(kept);
  lineRuns_.swap(runs);
}

void CameraTable::appendRows(const CameraTable& rows, std::uint64_t lineBase) {
  if (rows.rows_.size() > rowLimit_ - rows_.size()) throwTooManyRows();
  order_.clear();
  appendLineRuns(rows.lineRuns_, rows_.size(), lineBase);
  rows_.insert(rows_.end(), rows.rows_.begin(), rows.rows_.end());
  if (keepOffsets_) lineOffsets_.insert(lineOffsets_.end(), rows.lineOffsets_.begin(), rows.lineOffsets_.end());
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
  if (!keepText_ || position >= rows_.size()) return {};
  const std::size_t offset = lineOffsets_[indexAt(position)];
  return cutCell(text_.data() + offset, text_.data() + text_.size(), static_cast<std::size_t>(column),
                 std::string::npos);
}

std::string CameraTable::cellStartInFileOrder(std::size_t index, Column column, std::size_t most) const {
  if (!keepText_ || index >= rows_.size()) return {};
  return cutCell(text_.data() + lineOffsets_[index], text_.data() + text_.size(), static_cast<std::size_t>(column),
                 most);
}

std::size_t CameraTable::cellStartInFileOrder(std::size_t index, Column column, char* out, std::size_t most) const {
  if (!keepText_ || index >= rows_.size()) return 0;
  std::size_t taken = 0;
  takeCell(text_.data() + lineOffsets_[index], text_.data() + text_.size(), static_cast<std::size_t>(column), most,
           [out, &taken](char byte) { out[taken++] = byte; });
  return taken;
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
