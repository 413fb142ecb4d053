#include "core/list/text_import.h"

#include "core/base/c_numbers.h"
#include "core/base/byte_words.h"
#include "core/base/errors.h"
#include "core/base/utf8_text.h"
#include "core/platform/file_io.h"
#include "core/platform/large_pages.h"
#include "core/platform/text_reader.h"
#include "core/base/parallel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

namespace tabrino {
namespace {

constexpr std::size_t kReadBlockSize = std::size_t{2} << 20;

// Bytes that end or change a field: the comma, and the carriage return and
// zero byte, which make a line take the careful path.
constexpr std::array<bool, 256> kSpecialBytes = [] {
  std::array<bool, 256> special{};
  special[','] = special['\r'] = special['\0'] = true;
  return special;
}();

// The bytes of the eight at p that are a comma, a carriage return or a zero
// byte, marked.
std::uint64_t specialBytesIn(const char* p) noexcept {
  const std::uint64_t word = loadWord(p);
  return zeroBytes(word) | bytesEqual(word, ',') | bytesEqual(word, '\r');
}

// For scans of text that goes on to a line feed.
constexpr auto kNeverAtEnd = [](const char*) { return false; };

// Bytes that end an IDX on the plain path: its comma, or the line's end or a
// byte that sends the line to the general path.
constexpr std::array<bool, 256> kIdxStops = [] {
  std::array<bool, 256> stops{};
  stops[','] = stops['\n'] = stops['\r'] = stops['\0'] = true;
  return stops;
}();

// A plain decimal and its comma; `readable` bytes from p may be read.
const char* plainDecimalField(const char* p, std::ptrdiff_t readable, double& value) noexcept {
  p = readable >= static_cast<std::ptrdiff_t>(kPlainDecimalReach) ? scanPlainDecimalWords(p, kNeverAtEnd, value)
                                                                  : scanPlainDecimalUntil(p, kNeverAtEnd, value);
  return p && *p == ',' ? p + 1 : nullptr;
}

// The common line, read in one pass: an IDX, two plain decimals and four
// plain integers (as scanPlainDecimal and scanPlainInt take them), then the
// line's end. The line must end in a line feed, which stops every scan, so
// no byte is compared with the end of the text; textEnd only says how far
// the decimals may be read eight bytes at a time. Returns where the next line
// starts, or nothing for any other line, which the general path reads; no
// line read here has a finding but out of range.
const char* parsePlainRow(const char* p, const char* textEnd, CameraRow& row) noexcept {
  while (!kIdxStops[static_cast<unsigned char>(*p)]) ++p;
  if (*p != ',') return nullptr;
  double x, y;
  if (!(p = plainDecimalField(p + 1, textEnd - (p + 1), x)) || !(p = plainDecimalField(p, textEnd - p, y))) {
    return nullptr;
  }
  std::int32_t fields[4];
  for (int i = 0; i < 4; ++i) {
    if (!(p = scanPlainIntUntil(p, kNeverAtEnd, fields[i]))) return nullptr;
    if (i < 3) {
      if (*p != ',') return nullptr;
      ++p;
    }
  }
  if (*p == '\r') ++p;  // a line feed follows somewhere: p + 1 is readable
  if (*p != '\n') return nullptr;
  row = {y, scaleCoordinate(x), static_cast<std::uint8_t>(fields[0]), speedByte(fields[1]),
         static_cast<std::uint8_t>(fields[2]), directionCode(fields[3])};
  return p + 1;
}

// The last line feed of [begin, end), or nothing.
const char* lastLineFeed(const char* begin, const char* end) noexcept {
  while (end != begin) {
    if (*--end == '\n') return end;
  }
  return nullptr;
}

// The findings of a later piece of a list (a block's second half, or one of
// the parts a file is read in), held until those of the pieces before it
// have been given. Past a bound a block's half is parsed again after the
// first, and a file's part stops (nearlyFull) to be read on once the parts
// before it have joined, so that a list of millions of bad lines takes no
// more memory.
class HeldFindings : public FindingSink {
 public:
  static constexpr std::size_t kMaxHeld = 4096;
  // A line gives at most one finding for each of its cells and one more.
  static constexpr std::size_t kMostOfOneLine = kColumnCount + 1;
  void add(const ListFinding& finding) override {
    if (held_.size() < kMaxHeld) {
      held_.push_back(finding);
    } else {
      overflowed_ = true;
    }
  }
  bool overflowed() const noexcept { return overflowed_; }
  // Whether one more line's findings might not all be held.
  bool nearlyFull() const noexcept { return held_.size() + kMostOfOneLine > kMaxHeld; }
  void passOn(FindingSink& sink, std::uint64_t lineBase) {
    for (ListFinding& finding : held_) {
      finding.lineNumber += lineBase;
      sink.add(finding);
    }
  }

 private:
  std::vector<ListFinding> held_;
  bool overflowed_ = false;
};

// Splits lines into cells, parses each row once into a table row, and hands
// each finding on as its line is read.
class ListParser {
 public:
  enum class Header { NotSeen, Passed, Failed };

  ListParser(CameraTable* table, FindingSink* findings, std::uint64_t firstLine = 0)
      : table_(table), findings_(findings), firstLine_(firstLine), line_(firstLine) {}

  // A parser for lines further on in the same list, once its header has been
  // decided; its line numbers count from its first line.
  ListParser(CameraTable* table, FindingSink* findings, Header header)
      : table_(table), findings_(findings), header_(header), atFileStart_(false) {}

  // The same into a span of room set aside in a table, its findings held:
  // it stops before a line that might not fit in either.
  ListParser(CameraTable::Span* span, HeldFindings* held, Header header)
      : table_(nullptr), span_(span), findings_(held), held_(held), header_(header), atFileStart_(false) {}

  // Parses the complete lines of [begin, end), begin lying at `offset` in
  // the table's text (when it keeps text); returns the end of the last
  // complete line, or the start of the line it stopped before.
  const char* parseLines(const char* begin, const char* end, std::size_t offset) {
    const char* p = begin;
    const char* const lastFeed = lastLineFeed(begin, end);
    while (p != end) {
      if (header_ != Header::NotSeen && keepsRows() && lastFeed && p <= lastFeed) {
        p = parsePlainRows(p, lastFeed, offset + static_cast<std::size_t>(p - begin));
        if (p == end) break;
      }
      if (stopped()) break;
      const auto* lineFeed = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (!lineFeed) break;
      parseLine(p, lineFeed, offset + static_cast<std::size_t>(p - begin));
      p = lineFeed + 1;
    }
    return p;
  }

  // Rows go to this span of room set aside in the table from now on, or
  // to the table again (nullptr).
  void writeInto(CameraTable::Span* span) noexcept { span_ = span; }

  // Whether the parser has stopped, its span or its held findings full.
  bool stopped() const noexcept { return (span_ && span_->room() == 0) || (held_ && held_->nearlyFull()); }

  // Reads plain rows from p, up to the first line that is not plain or past
  // lastFeed, into the table a batch at a time; returns where it stopped.
  const char* parsePlainRows(const char* p, const char* lastFeed, std::size_t offset) {
    constexpr std::size_t kBatch = 256;
    CameraRow rows[kBatch];
    std::size_t offsets[kBatch];
    const char* const begin = p;
    for (;;) {
      const std::size_t most = span_ ? std::min(kBatch, span_->room()) : kBatch;
      std::size_t count = 0;
      for (; count < most && p <= lastFeed; ++count) {
        const char* next = parsePlainRow(p, lastFeed + 1, rows[count]);
        if (!next || (findings_ && !recordOf(rows[count]))) break;
        offsets[count] = offset + static_cast<std::size_t>(p - begin);
        p = next;
      }
      appendRows(rows, count, line_, offsets);
      line_ += count;
      if (count < kBatch) return p;
    }
  }

  // The end of the input ends a last line that has no line feed.
  void parseLastLine(const char* begin, const char* end, std::size_t offset) {
    if (begin != end) parseLine(begin, end, offset);
  }

  Header header() const noexcept { return header_; }
  bool wantsFindings() const noexcept { return findings_ != nullptr; }
  std::uint64_t linesRead() const noexcept { return line_; }
  std::uint64_t firstLine() const noexcept { return firstLine_; }
  // Lines read by another parser, for the numbering of the lines after them.
  void countLines(std::uint64_t lines) noexcept { line_ += lines; }

 private:
  using Fields = std::array<std::string_view, kColumnCount>;

  bool keepsRows() const noexcept { return table_ || span_; }
  void appendRows(const CameraRow* rows, std::size_t count, std::uint64_t firstLine, const std::size_t* offsets) {
    if (span_) {
      span_->append(rows, count, firstLine);
    } else {
      table_->appendRows(rows, count, firstLine, offsets);
    }
  }

  void parseLine(const char* begin, const char* end, std::size_t offset) {
    const std::uint64_t line = line_++;
    // Lists saved on Windows end every line with "\r\n".
    if (end != begin && end[-1] == '\r') --end;

    Fields fields{};
    std::size_t commas = 0;
    bool plain = true;
    const char* fieldBegin = begin;
    auto special = [&](const char* p) {
      if (*p == ',') {
        if (commas < kColumnCount) fields[commas] = {fieldBegin, static_cast<std::size_t>(p - fieldBegin)};
        ++commas;
        fieldBegin = p + 1;
      } else {
        plain = false;
      }
    };
    // Eight bytes at a time: most bytes are none of the three.
    const char* p = begin;
    for (; end - p >= 8; p += 8) {
      for (std::uint64_t found = specialBytesIn(p); found != 0; found &= found - 1) {
        special(p + lowestByteIndex(found));
      }
    }
    for (; p != end; ++p) {
      if (kSpecialBytes[static_cast<unsigned char>(*p)]) special(p);
    }
    if (commas < kColumnCount) fields[commas] = {fieldBegin, static_cast<std::size_t>(end - fieldBegin)};
    if (!plain) cleanFields(fields, commas + 1);

    const bool reported = findings_ && !(atFileStart_ && line == firstLine_);
    if (commas == 0) {  // no row
      if (reported && !fields[0].empty()) findings_->add(noCommaFinding(line + 1, fields[0]));
      return;
    }
    if (reported && commas + 1 != kColumnCount) findings_->add(fieldCountFinding(line + 1, commas + 1));
    if (header_ == Header::NotSeen) {
      // The first row is the header when its second field is exactly "X".
      header_ = fields[1] == kColumnTitles[static_cast<std::size_t>(Column::X)] ? Header::Passed : Header::Failed;
      if (header_ == Header::Passed) return;
    }
    addRow(fields, line, offset);
  }

  // Drops carriage returns and cuts each cell at a zero byte, copying the
  // cells of this line to a buffer of the parser's own.
  void cleanFields(Fields& fields, std::size_t count) {
    cleaned_.clear();
    const std::size_t used = std::min(count, kColumnCount);
    std::size_t total = 0;
    for (std::size_t i = 0; i < used; ++i) total += fields[i].size();
    cleaned_.reserve(total);  // the views below stay valid
    for (std::size_t i = 0; i < used; ++i) {
      const std::size_t start = cleaned_.size();
      for (const char c : fields[i]) {
        if (c == '\0') break;
        if (c != '\r') cleaned_ += c;
      }
      fields[i] = std::string_view(cleaned_).substr(start);
    }
  }

  static ParsedNumber<double> coordinate(std::string_view cell) noexcept {
    double value;
    if (parsePlainDecimal(cell, value)) return {value, cell.size()};
    return parseCDouble(cell);
  }
  static ParsedNumber<std::int32_t> integer(std::string_view cell) noexcept {
    std::int32_t value;
    if (parsePlainInt(cell, value)) return {value, cell.size()};
    return parseCInt(cell);
  }

  void addRow(const Fields& fields, std::uint64_t line, std::size_t offset) {
    const auto x = coordinate(fields[1]);
    const auto y = coordinate(fields[2]);
    const auto type = integer(fields[3]);
    const auto speed = integer(fields[4]);
    const auto dirType = integer(fields[5]);
    const auto direction = integer(fields[6]);
    const CameraRow row{y.value,
                        scaleCoordinate(x.value),
                        static_cast<std::uint8_t>(type.value),
                        speedByte(speed.value),
                        static_cast<std::uint8_t>(dirType.value),
                        directionCode(direction.value)};
    if (keepsRows()) appendRows(&row, 1, line, &offset);
    if (findings_ && header_ == Header::Passed) {
      const std::size_t lengths[] = {x.length, y.length, type.length, speed.length, dirType.length, direction.length};
      for (std::size_t c = 1; c < kColumnCount; ++c) {
        const std::size_t length = lengths[c - 1];
        if (length == fields[c].size() && length > 0) continue;
        findings_->add(cellFinding(line + 1, kColumnTitles[c], fields[c], length));
      }
      if (!recordOf(row)) findings_->add(outOfRangeFinding(line + 1, fields[1], fields[2]));
    }
  }

  CameraTable* table_;
  CameraTable::Span* span_ = nullptr;
  FindingSink* findings_;
  const HeldFindings* held_ = nullptr;
  Header header_ = Header::NotSeen;
  bool atFileStart_ = true;  // firstLine_ is the file's first
  std::uint64_t firstLine_ = 0;
  std::uint64_t line_ = 0;
  std::string cleaned_;
};

// Below this many bytes a block's lines are parsed on one thread: a second
// costs more than it saves.
constexpr std::size_t kParallelMinimum = std::size_t{1} << 16;

// Parses the complete lines of [begin, end) like parser.parseLines, the
// second half on the second thread of `threads` where the machine has one,
// into `second`, whose room is reused block after block rather than faulted
// in afresh. Both threads must know the header: the readers decide it from
// the lines within its reach first; lines before it are parsed here alone.
const char* parseLinesInParallel(ListParser& parser, CameraTable& table, CameraTable& second, ThreadPair& threads,
                                 FindingSink* findings, const char* begin, const char* end, std::size_t offset) {
  const auto size = static_cast<std::size_t>(end - begin);
  const char* middle = begin + size / 2;
  if (!twoCores() || size < kParallelMinimum || parser.header() == ListParser::Header::NotSeen ||
      !(middle = static_cast<const char*>(std::memchr(middle, '\n', static_cast<std::size_t>(end - middle))))) {
    return parser.parseLines(begin, end, offset);
  }
  ++middle;
  const std::size_t middleOffset = offset + static_cast<std::size_t>(middle - begin);

  second.emptyKeepingRoom();
  second.keepLineOffsets(table.keepsText());
  HeldFindings held;
  ListParser secondParser(&second, findings ? &held : nullptr, parser.header());
  const char* secondEnd = middle;
  threads.both([&] { parser.parseLines(begin, middle, offset); },
               [&] { secondEnd = secondParser.parseLines(middle, end, middleOffset); });
  if (held.overflowed()) return parser.parseLines(middle, end, middleOffset);

  const std::uint64_t lineBase = parser.linesRead();
  table.appendRows(second, lineBase);
  if (findings) held.passOn(*findings, lineBase);
  parser.countLines(secondParser.linesRead());
  return secondEnd;
}

std::uint64_t linesIn(std::string_view text) noexcept {
  std::uint64_t lines = 0;
  // memchr finds each line feed many bytes at a time.
  for (const char *p = text.data(), *end = p + text.size();
       (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))); ++p) {
    ++lines;
  }
  return lines;
}

// The rows `bytes` bytes of a list will give, judged from the `sampleLines`
// lines of its first `sampleBytes`, with some to spare.
std::size_t rowsFor(std::uint64_t sampleLines, std::size_t sampleBytes, std::uint64_t bytes) noexcept {
  const std::uint64_t estimate = (sampleLines + 1) * bytes / sampleBytes;
  return static_cast<std::size_t>(
      std::min<std::uint64_t>(estimate + estimate / 32 + 1024, SIZE_MAX / 2 / sizeof(CameraRow)));
}

// Reserves room for the rows a list of `total` bytes will give, judged from
// the lines of its first bytes, so that the rows are not copied as they grow.
// Room never written costs no memory. Room for the rows of lists still to be
// appended is taken at once, so that the rows are not copied as lists come.
void reserveRowsFor(CameraTable& table, std::string_view sample, std::uint64_t total) {
  if (sample.empty() || total == 0) return;
  try {
    table.reserve(table.size() + rowsFor(linesIn(sample), sample.size(), total));
  } catch (const std::exception&) {
    // Only a hint: growing as rows arrive may still succeed.
  }
}

// Parses the complete lines of a text held whole a block at a time, so that
// what the second thread gathers stays small; the text may come a piece at
// a time, the unfinished line of one piece taken up with the next.
class BlockParser {
 public:
  BlockParser(ListParser& parser, CameraTable& table, FindingSink* findings)
      : parser_(parser), table_(table), findings_(findings) {}

  // The complete lines of [begin, end), whose first byte is at `offset` in
  // the text; returns where the unfinished line (if any) begins.
  const char* parse(const char* begin, const char* end, std::size_t offset) {
    const char* p = begin;
    while (p != end) {
      const char* blockEnd = static_cast<std::size_t>(end - p) > kReadBlockSize ? p + kReadBlockSize : end;
      const std::size_t at = offset + static_cast<std::size_t>(p - begin);
      const char* stop = parseLinesInParallel(parser_, table_, second_, threads_, findings_, p, blockEnd, at);
      if (stop == p) {  // a line longer than a block
        const auto* lineFeed = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lineFeed) break;
        stop = parser_.parseLines(p, lineFeed + 1, at);
      }
      p = stop;
    }
    return p;
  }

 private:
  ListParser& parser_;
  CameraTable& table_;
  FindingSink* findings_;
  CameraTable second_;
  ThreadPair threads_;
};

ImportResult resultOf(const ListParser& parser, const CameraTable& table, std::size_t rowsBefore) {
  const std::uint64_t lines = parser.linesRead() - parser.firstLine();
  if (parser.header() != ListParser::Header::Passed) return {ImportOutcome::WrongHeader, 0, lines, {}};
  return {ImportOutcome::Loaded, table.size() - rowsBefore, lines, {}};
}

// How many of `available` bytes, from offset `at` of a list on, lie within
// its header's reach.
std::size_t withinHeaderReach(std::uint64_t at, std::size_t available) noexcept {
  return at >= kHeaderReach ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(available, kHeaderReach - at));
}

// Room a list is read into a block at a time: never cleared, so never
// written twice (and in large pages where it is large).
using ReadRoom = std::vector<char, UninitialisedAllocator<char>>;

// Where the reading of a part of a list stopped: the start of the first line
// not parsed, and why a read failed there, if one did.
struct PartRead {
  std::uint64_t stop = 0;
  std::error_code error;
};

// Parses the complete lines of bytes [from, to) of a file on disk, read at
// their offsets a block at a time into `room`, which holds the first
// `present` of them already; `onRead` hears of each block read. It stops
// early where the parser stops or the file ends.
template <typename OnRead>
PartRead readPart(std::FILE* file, ListParser& parser, ReadRoom& room, std::uint64_t from, std::size_t present,
                  std::uint64_t to, OnRead onRead) {
  std::uint64_t at = from + present;
  std::size_t used = present;  // the bytes before `at` not yet parsed
  for (;;) {
    const char* stop = parser.parseLines(room.data(), room.data() + used, 0);
    used -= static_cast<std::size_t>(stop - room.data());
    if (parser.stopped() || at >= to) break;
    std::memmove(room.data(), stop, used);
    if (used > room.size() / 2) room.resize(2 * room.size());  // a line longer than half the room
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(room.size() - used, to - at));
    std::size_t got = 0;
    if (const std::error_code error = readAt(file, at, room.data() + used, want, got)) return {at - used, error};
    if (got == 0) break;  // the file is shorter than it was
    at += got;
    used += got;
    onRead(got);
  }
  return {at - used, {}};
}

// A list on disk of at least this many bytes is read in parts, two at once,
// each on a thread of its own from its own offset, straight into the
// table's room: the copying from the system is shared, and the threads meet
// only once every part is parsed.
constexpr std::uint64_t kPartsMinimum = std::uint64_t{4} << 20;
// Each part is read in blocks small enough to be parsed while the system's
// copy of them is still in the core's cache.
constexpr std::size_t kPartBlockSize = std::size_t{512} << 10;
// Where the parts end, as shares of the list (the last ends at its end): a
// large part for each thread, then smaller ones taken by whichever thread
// is free first. A thread slowed down (by the system clearing the fresh
// memory it fills, which on a virtual machine may take several times as
// long for one thread as for the other) then leaves the other little to
// wait for.
constexpr double kPartEnds[] = {0.32, 0.64, 0.76, 0.86, 0.93, 0.97};

// A line's end is looked for this many bytes at a time: more than most
// lines, so that one read finds it, and little to read where it is near.
constexpr std::size_t kLineSearchWindow = std::size_t{64} << 10;

// The start of the line after the first line feed at or past `at`, looked
// for a window at a time through `room`; 0 when no line ends past `at`, or
// when a read fails (error then says why).
std::uint64_t nextLineStart(std::FILE* file, std::uint64_t at, ReadRoom& room, std::error_code& error) {
  for (std::size_t looked = 0;; at += looked) {
    error = readAt(file, at, room.data(), kLineSearchWindow, looked);
    if (error) return 0;
    const auto* lineFeed = static_cast<const char*>(std::memchr(room.data(), '\n', looked));
    if (lineFeed) return at + static_cast<std::uint64_t>(lineFeed - room.data()) + 1;
    if (looked < kLineSearchWindow) return 0;
  }
}

// The parts a list on disk is read in, and what became of each.
struct ListParts {
  std::vector<std::uint64_t> starts;                // each part's first byte, then the list's end
  std::vector<CameraTable::Span> spans;             // the room set aside for each part's rows
  std::vector<HeldFindings> held;                   // the findings of the parts after the first
  std::vector<std::optional<ListParser>> parsers;   // those parts' own parsers
  std::vector<PartRead> reads;                      // where the reading of each stopped
  std::size_t count() const noexcept { return starts.size() - 1; }
};

// The bytes read so far by both threads; only this thread tells `progress`.
class PartsProgress {
 public:
  PartsProgress(const ProgressCallback& progress, std::uint64_t total, std::uint64_t read)
      : progress_(progress), total_(total), read_(read) {}
  void readHere(std::size_t bytes) {
    read_ += bytes;
    if (progress_) progress_(read_ + readElsewhere_.load(std::memory_order_relaxed), total_);
  }
  void readElsewhere(std::size_t bytes) { readElsewhere_.fetch_add(bytes, std::memory_order_relaxed); }

 private:
  const ProgressCallback& progress_;
  std::uint64_t total_;
  std::uint64_t read_;
  std::atomic<std::uint64_t> readElsewhere_{0};
};

// Where the parts of a list start, the first at `from` and each other at a
// line's start past a share of the list (kPartEnds) and past the first block
// (`got` bytes), then the list's end; fewer than two parts where lines are
// too long for more. Sets `error` to why, where a read fails.
std::vector<std::uint64_t> partStarts(const ListStream& in, std::uint64_t from, std::size_t got, ReadRoom& room,
                                      std::error_code& error) {
  std::vector<std::uint64_t> starts{from};
  for (const double share : kPartEnds) {
    const std::uint64_t start =
        nextLineStart(in.file, from + static_cast<std::uint64_t>(share * static_cast<double>(in.size - from)), room,
                      error);
    if (error) return starts;
    if (start == 0 || start >= in.size) break;  // no line ends past this share
    if (start > std::max<std::uint64_t>(starts.back(), got)) starts.push_back(start);
  }
  if (starts.size() >= 2) starts.push_back(in.size);
  return starts;
}

// Sets room aside in the table for each part's rows, judged from the
// `sampleLines` lines of the first `sampleBytes` bytes (and takes room once
// for the later lists' rows too); false where there is no room at once. A
// part with more rows than its room is finished later, more slowly but as
// right.
bool setAsideParts(CameraTable& table, ListParts& parts, std::uint64_t sampleLines, std::size_t sampleBytes,
                   const ImportOptions& options) {
  const std::size_t count = parts.count();
  parts.spans.resize(count);
  try {
    std::vector<std::size_t> rows(count);
    std::size_t total = options.laterBytes ? rowsFor(sampleLines, sampleBytes, options.laterBytes) : 0;
    for (std::size_t k = 0; k < count; ++k) {
      total += rows[k] = rowsFor(sampleLines, sampleBytes, parts.starts[k + 1] - parts.starts[k]);
    }
    table.reserve(table.size() + total);
    table.setAside(parts.spans, rows);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Reads every part, two at once: this thread the first (whose first
// `present` bytes are in `rooms[0]` already) with the list's own parser, the
// other thread the second; then each takes the next part not yet taken. Each
// part after the first has a parser of its own, counting lines from the
// part's first, its findings held.
void readPartsAtOnce(const ListStream& in, ListParser& parser, ListParts& parts, ReadRoom (&rooms)[2],
                     std::size_t present, PartsProgress& progress, FindingSink* findings) {
  const std::size_t count = parts.count();
  parser.writeInto(&parts.spans[0]);
  parts.held = std::vector<HeldFindings>(count);
  parts.parsers = std::vector<std::optional<ListParser>>(count);
  for (std::size_t k = 1; k < count; ++k) {
    parts.parsers[k].emplace(&parts.spans[k], findings ? &parts.held[k] : nullptr, parser.header());
  }
  parts.reads.assign(count, PartRead{});
  std::atomic<std::size_t> nextPart{2};
  auto readParts = [&](std::FILE* file, std::size_t part, ReadRoom& room, std::size_t presentHere, auto onRead) {
    for (; part < count; part = nextPart.fetch_add(1), presentHere = 0) {
      ListParser& partParser = part == 0 ? parser : *parts.parsers[part];
      parts.reads[part] =
          readPart(file, partParser, room, parts.starts[part], presentHere, parts.starts[part + 1], onRead);
    }
  };
  const UniqueFile ownHandle = ownReadHandle(in.file);
  std::FILE* const otherFile = ownHandle ? ownHandle.get() : in.file;
  inParallel([&] { readParts(in.file, 0, rooms[0], present, [&](std::size_t b) { progress.readHere(b); }); },
             [&] { readParts(otherFile, 1, rooms[1], 0, [&](std::size_t b) { progress.readElsewhere(b); }); });
  parser.writeInto(nullptr);
}

// Joins the parts' rows and findings to the list's, in order. A part that
// had more rows than room is read to its end now, by the list's parser,
// while the later parts' rows wait apart. Returns where the last part's
// reading stopped, or the first failure.
PartRead joinParts(const ListStream& in, CameraTable& table, ListParser& parser, ListParts& parts, ReadRoom& room,
                   PartsProgress& progress, FindingSink* findings) {
  const std::size_t count = parts.count();
  bool apart = false;  // the rows of parts still to join kept apart
  for (std::size_t k = 0;; ++k) {  // until the last part, which returns
    const std::uint64_t lineBase = k == 0 ? 0 : parser.linesRead();
    table.takeIn(parts.spans[k], lineBase);
    if (k > 0) {
      if (findings) parts.held[k].passOn(*findings, lineBase);
      parser.countLines(parts.parsers[k]->linesRead());
    }
    const PartRead& read = parts.reads[k];
    if (read.error || k + 1 == count) return read;
    if (read.stop < parts.starts[k + 1]) {
      if (!apart) {
        for (std::size_t later = k + 1; later < count; ++later) parts.spans[later].keepApart();
        table.endAside();
        apart = true;
      }
      const PartRead rest = readPart(in.file, parser, room, read.stop, 0, parts.starts[k + 1],
                                     [&](std::size_t b) { progress.readHere(b); });
      if (rest.error) return rest;
    }
  }
}

// Reads the first in.size bytes of a list on disk with `parser`, in parts
// two at once where it can, each part from the start of a line, each
// thread from its own offset straight into the table's room. Returns where
// the reading stopped; the lines from there on are left to the reading of
// the rest.
PartRead readInParts(const ListStream& in, CameraTable& table, ListParser& parser, const ImportOptions& options) {
  ReadRoom rooms[2] = {ReadRoom(kPartBlockSize), ReadRoom(kPartBlockSize)};
  ReadRoom& first = rooms[0];
  std::size_t got = 0;
  if (const std::error_code error = readAt(in.file, 0, first.data(), first.size(), got)) return {0, error};
  if (options.progress) options.progress(got, std::max<std::uint64_t>(in.size, got));
  const std::uint64_t sampleLines = linesIn(std::string_view(first.data(), got));
  // The lines within the header's reach alone, so that the header is known
  // to every part (or the list refused, by the reading of the rest).
  const auto from = static_cast<std::size_t>(
      parser.parseLines(first.data(), first.data() + std::min(got, kHeaderReach), 0) - first.data());
  if (parser.header() != ListParser::Header::Passed || got < first.size()) return {from, {}};

  ListParts parts;
  std::error_code error;
  parts.starts = partStarts(in, from, got, rooms[1], error);
  if (error) return {from, error};
  if (parts.starts.size() < 2) return {from, {}};
  struct EndAside {
    CameraTable& table;
    ~EndAside() { table.endAside(); }
  } endAside{table};
  if (!setAsideParts(table, parts, sampleLines, got, options)) return {from, {}};  // rows are added as they come

  // The first part goes on from the first block's bytes.
  std::memmove(first.data(), first.data() + from, got - from);
  PartsProgress progress(options.progress, in.size, got);
  readPartsAtOnce(in, parser, parts, rooms, got - from, progress, options.findings);
  return joinParts(in, table, parser, parts, first, progress, options.findings);
}

// Reads `in` to its end in blocks, after the bytes already read from it,
// parsing as it goes; only the unfinished last line is carried from block to
// block. A line longer than a block is parsed once its end has come: its
// bytes are looked at once for the line feed and the buffer grows by
// doubling, so it costs time linear in its length and about its size in
// memory. Until the header has passed, only the lines within its reach are
// parsed, and room for the rows is reserved only once it has. A large list
// on disk is read in parts, two at once, first. After a read failure the
// table holds the rows of the lines read in full.
// Where the bytes a streamed read went through lie in the table's text, for
// a table that reads them again from the file rather than keeping them.
struct StreamedText {
  std::size_t start = 0;     // where the list lies in the table's text
  std::uint64_t bytes = 0;   // read so far
  char lastByte = '\n';
  bool utf8 = true;          // every line read so far is UTF-8
};

ImportResult readStreamed(const ListStream& in, CameraTable& table, const ImportOptions& options,
                          StreamedText* text = nullptr) {
  const std::size_t rowsBefore = table.size();
  // A line's place in the table's text: the bytes in the room lie at
  // [done - used, done) of the list.
  const std::size_t textStart = text ? text->start : 0;
  ListParser parser(&table, options.findings, options.firstLine);
  std::string_view alreadyRead = in.alreadyRead;
  std::uint64_t done = 0;  // bytes read up to the end of those in the room
  bool reserved = false;
  // (Rows read apart carry no line offsets: not for a table keeping text.)
  if (in.readableAtOffsets && in.size >= kPartsMinimum && twoCores() && !table.keepsText()) {
    const PartRead parts = readInParts(in, table, parser, options);
    if (parts.error) return {ImportOutcome::ReadFailed, 0, 0, parts.error};
    clearSystemError();
    if (!seekTo(in.file, parts.stop)) return {ImportOutcome::ReadFailed, 0, 0, lastSystemError()};
    alreadyRead = {};
    done = parts.stop;
    reserved = true;
  }
  CameraTable second;
  ThreadPair threads;
  ReadRoom room(2 * kReadBlockSize + alreadyRead.size());
  if (!alreadyRead.empty()) std::memcpy(room.data(), alreadyRead.data(), alreadyRead.size());
  std::size_t used = alreadyRead.size();  // the carried line, then what was read after it
  done += used;
  if (text && used > 0) {
    text->bytes = done;
    text->lastByte = alreadyRead.back();
  }
  const std::uint64_t expectedSize = in.size;
  bool failed = false;
  for (;;) {
    if (room.size() - used < kReadBlockSize) {  // a line longer than a block
      room.resize(std::max(2 * room.size(), used + 2 * kReadBlockSize));
    }
    char* const buffer = room.data();
    clearSystemError();
    const std::size_t got = std::fread(buffer + used, 1, kReadBlockSize, in.file);
    done += got;
    if (text && got > 0) {
      text->bytes = done;
      text->lastByte = buffer[used + got - 1];
    }
    if (options.progress) options.progress(done, std::max(expectedSize, done));
    if (got == 0) {
      failed = std::ferror(in.file) != 0;
      break;
    }
    const char* fresh = buffer + used;
    used += got;
    const char* from = buffer;  // the first line not parsed
    const std::size_t bufferAt = textStart + static_cast<std::size_t>(done - used);
    if (parser.header() != ListParser::Header::Passed) {
      from = parser.parseLines(buffer, buffer + withinHeaderReach(done - used, used), bufferAt);
      if (parser.header() != ListParser::Header::Passed) {
        if (done > kHeaderReach) return resultOf(parser, table, rowsBefore);  // the text goes on: not a list
        if (text) text->utf8 = text->utf8 && isValidUtf8(std::string_view(buffer, static_cast<std::size_t>(from - buffer)));
        used -= static_cast<std::size_t>(from - buffer);
        std::memmove(buffer, from, used);
        continue;
      }
    }
    if (!reserved) {
      reserveRowsFor(table, std::string_view(buffer, used), expectedSize + options.laterBytes);
      reserved = true;
    }
    // The carried line has no line feed: until one comes, nothing is complete.
    if (from == buffer && fresh != buffer && !std::memchr(fresh, '\n', got)) continue;
    const char* stop = parseLinesInParallel(parser, table, second, threads, options.findings, from, buffer + used,
                                            bufferAt + static_cast<std::size_t>(from - buffer));
    // Lines parsed are checked whole: a character never lies across two.
    if (text) text->utf8 = text->utf8 && isValidUtf8(std::string_view(buffer, static_cast<std::size_t>(stop - buffer)));
    used -= static_cast<std::size_t>(stop - buffer);
    std::memmove(buffer, stop, used);
  }
  if (failed) return {ImportOutcome::ReadFailed, 0, 0, lastSystemError()};
  // The bytes read before may have been the whole stream: their lines ahead
  // of the last were then never parsed.
  const char* last = room.data();
  const std::size_t lastAt = textStart + static_cast<std::size_t>(done - used);
  if (!reserved) {
    last = parseLinesInParallel(parser, table, second, threads, options.findings, last, last + used, lastAt);
  }
  parser.parseLastLine(last, room.data() + used, lastAt + static_cast<std::size_t>(last - room.data()));
  if (text) text->utf8 = text->utf8 && isValidUtf8(std::string_view(room.data(), used));
  return resultOf(parser, table, rowsBefore);
}

// Where a list's text will lie in the table's: after the text of the lists
// before it, or at its start.
std::size_t textStart(CameraTable& table, const ImportOptions& options) {
  if (options.append) return table.appendText({});
  table.keepText(std::string());
  return 0;
}

// A list read whole into a text of its own, which the table takes once read,
// its lines parsed block by block as they arrive: the state readKept's steps
// share.
class KeptReading {
 public:
  // The rows are given offsets into the text to come, which joins the
  // table's once read whole.
  KeptReading(const ListStream& in, CameraTable& table, const ImportOptions& options)
      : in_(in),
        table_(table),
        options_(options),
        text_(in.alreadyRead),
        rowsBefore_(table.size()),
        start_(textStart(table, options)),
        parser_(&table, options.findings, options.firstLine),
        blocks_(parser_, table, options.findings) {}
  KeptReading(const KeptReading&) = delete;
  KeptReading& operator=(const KeptReading&) = delete;

  // Whatever stops the reading, the rows read point into a text the table holds.
  ~KeptReading() {
    if (handedOver_) return;
    try {
      table_.takeText(std::move(text_));
    } catch (const std::bad_alloc&) {
      table_.clear();
    }
  }

  // Reads the header's reach, and a byte past it to tell whether the text
  // goes on, and parses its lines; false where the text goes on but is not
  // a list.
  bool readHead() {
    while (!ended_ && text_.size() <= kHeaderReach) readOn(kHeaderReach + 1 - text_.size());
    head_ = text_.size();
    if (options_.progress) options_.progress(head_, std::max<std::uint64_t>(in_.size, head_));
    parsed_ = static_cast<std::size_t>(
        blocks_.parse(text_.data(), text_.data() + std::min(head_, kHeaderReach), start_) - text_.data());
    return ended_ || parser_.header() == ListParser::Header::Passed;
  }

  // Takes room for the whole list at once, where its size is known; false
  // where it is not, or not to be had.
  bool takeRoom() {
    const std::uint64_t expectedSize = in_.size;
    if (ended_ || expectedSize == 0 || expectedSize >= text_.max_size() - kReadBlockSize) return false;
    try {
      // Room for the last read too, which finds the end: the text must
      // never grow by a copy of itself.
      text_.reserve(static_cast<std::size_t>(expectedSize) + kReadBlockSize);
      return true;
    } catch (const std::bad_alloc&) {
      return false;  // only a hint: growing as blocks arrive may still succeed
    }
  }

  // Reads on into the room taken, on a thread of its own, parsing each
  // block as it comes; does nothing where no thread is to be had.
  void readOnThread() {
    std::unique_ptr<TextReader> reader;
    try {
      reader = std::make_unique<TextReader>(in_.file, text_);
    } catch (const std::system_error&) {
      return;  // no thread to spare: read here, block by block
    }
    const char* const bytes = text_.data();  // fixed while the reader runs
    for (TextReader::Progress read{head_, false}; !read.ended;) {
      read = reader->waitBeyond(read.size);
      parseArrived(bytes, read.size);
    }
    ended_ = !reader->full();
    failed_ = reader->failed();
    reason_ = reader->failure();
  }

  // Reads on here, a block at a time, to the end.
  void readHere() {
    while (!ended_) {
      if (readOn(kReadBlockSize) > 0) parseArrived(text_.data(), text_.size());
    }
  }

  // Hands the text to the table and parses the last line, unless the text is
  // not a list or a read failed.
  ImportResult finish(bool isList) {
    if (isList && !failed_) parser_.parseLastLine(text_.data() + parsed_, text_.data() + text_.size(), start_ + parsed_);
    table_.takeText(std::move(text_));
    handedOver_ = true;
    if (!isList) return resultOf(parser_, table_, rowsBefore_);
    if (failed_) return {ImportOutcome::ReadFailed, 0, 0, reason_};
    return resultOf(parser_, table_, rowsBefore_);
  }

 private:
  // Adds up to `most` bytes of the file to the text; the reading ends where
  // none come.
  std::size_t readOn(std::size_t most) {
    const std::size_t before = text_.size();
    if (text_.max_size() - before < most) {
      throw TooLargeError("The list is larger than Tabrino can keep in one piece: at most " +
                          std::to_string(text_.max_size() - kReadBlockSize) + " bytes.");
    }
    text_.resize(before + most);
    clearSystemError();
    const std::size_t got = std::fread(&text_[before], 1, most, in_.file);
    text_.resize(before + got);
    if (got == 0) {
      failed_ = std::ferror(in_.file) != 0;
      if (failed_) reason_ = lastSystemError();
      ended_ = true;
    }
    return got;
  }

  // Parses the complete lines of the `size` bytes of text read so far.
  void parseArrived(const char* bytes, std::size_t size) {
    if (options_.progress) options_.progress(size, std::max<std::uint64_t>(in_.size, size));
    if (!sampled_) {
      reserveRowsFor(table_, std::string_view(bytes, std::min(size, kReadBlockSize)), in_.size + options_.laterBytes);
      sampled_ = true;
    }
    parsed_ = static_cast<std::size_t>(blocks_.parse(bytes + parsed_, bytes + size, start_ + parsed_) - bytes);
  }

  const ListStream& in_;
  CameraTable& table_;
  const ImportOptions& options_;
  std::string text_;
  const std::size_t rowsBefore_;
  const std::size_t start_;  // where the text will lie in the table's
  ListParser parser_;
  BlockParser blocks_;
  std::size_t head_ = 0;    // the bytes read first, alone
  std::size_t parsed_ = 0;  // in text_: the lines before it are parsed
  bool sampled_ = false;    // room for the rows reserved
  bool ended_ = false;
  bool failed_ = false;
  std::error_code reason_;
  bool handedOver_ = false;
};

// Reads `in` whole into the table's text, parsing each block as it comes
// (read on a thread of its own where the list's size is known, so that the
// reading and the parsing overlap). Its first kHeaderReach bytes come first,
// alone: room for the whole is taken only once the header has passed. After
// a read failure the table holds the rows of the lines read in full.
ImportResult readKept(const ListStream& in, CameraTable& table, const ImportOptions& options) {
  KeptReading reading(in, table, options);
  const bool isList = reading.readHead();
  if (isList) {
    if (reading.takeRoom() && twoCores()) reading.readOnThread();
    reading.readHere();
  }
  return reading.finish(isList);
}

// Reads a list on disk for a table that keeps its text, keeping only where
// each line lies: the table reads the cells again from the file. However
// the reading ends, the rows read point into the file's bytes read.
ImportResult readKeptInFile(const ListStream& in, CameraTable& table, const ImportOptions& options,
                            const FileStamp& stamp) {
  StreamedText text;
  text.start = textStart(table, options);
  struct KeepFile {
    ~KeepFile() {
      try {
        table.appendFileText(path, stamp, static_cast<std::size_t>(text.bytes), text.lastByte, text.utf8);
      } catch (const std::bad_alloc&) {
        table.clear();  // rows that point into no text are no rows to show
      }
    }
    CameraTable& table;
    const std::filesystem::path& path;
    const FileStamp& stamp;
    const StreamedText& text;
  } keep{table, in.source, stamp, text};
  return readStreamed(in, table, options, &text);
}

ImportResult readList(const ListStream& in, CameraTable& table, const ImportOptions& options) {
  if (!options.keepText) return readStreamed(in, table, options);
  // Only a file read from its first byte can be read again at its offsets;
  // its stamp tells later whether it is still the file that was read.
  FileStamp stamp;
  const bool addressable = static_cast<std::uint64_t>(static_cast<std::size_t>(in.size)) == in.size;
  if (!in.source.empty() && in.readableAtOffsets && addressable && stampOf(in.file, stamp)) {
    return readKeptInFile(in, table, options, stamp);
  }
  return readKept(in, table, options);
}

}  // namespace

std::string_view ImportResult::messageText() const noexcept {
  switch (outcome) {
    case ImportOutcome::OpenFailed: return "Error[5009]";
    case ImportOutcome::ReadFailed: return "Error[5010]";
    case ImportOutcome::WrongHeader: return "Error : Wrong DB file !!!";
    case ImportOutcome::Loaded: break;
  }
  return {};
}

ImportResult importCameraList(const std::filesystem::path& path, CameraTable& table, const ImportOptions& options) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    return {ImportOutcome::OpenFailed, 0, 0, folderNotFileError()};
  }
  UniqueFile file = openFile(path, "rb");
  if (!file) return {ImportOutcome::OpenFailed, 0, 0, lastSystemError()};
  if (!options.append) table.clear();
  const auto size = std::filesystem::file_size(path, ec);
  return readList({file.get(), {}, ec ? 0 : size, !ec, ec ? std::filesystem::path() : path}, table, options);
}

ImportResult importCameraStream(const ListStream& in, CameraTable& table, const ImportOptions& options) {
  if (!options.append) table.clear();
  return readList(in, table, options);
}

ImportResult importCameraListText(std::string_view bytes, CameraTable& table, const ImportOptions& options) {
  const std::size_t rowsBefore = options.append ? table.size() : 0;
  std::size_t start = 0;
  if (options.append) {
    start = table.appendText(bytes);
  } else {
    table.keepText(std::string(bytes));
  }
  ListParser parser(&table, options.findings, options.firstLine);
  // The bytes given lie at `start` in the table's text.
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  auto at = [&](const char* p) { return start + static_cast<std::size_t>(p - begin); };
  // As a file is read: no further than the header's reach until it has passed.
  const char* rest = parser.parseLines(begin, begin + withinHeaderReach(0, bytes.size()), start);
  if (parser.header() != ListParser::Header::Passed && bytes.size() > kHeaderReach) {
    return resultOf(parser, table, rowsBefore);
  }
  rest = parser.parseLines(rest, end, at(rest));
  parser.parseLastLine(rest, end, at(rest));
  return resultOf(parser, table, rowsBefore);
}

ImportResult importNextList(const ListInput& input, CameraTable& table, ListSources& sources, ImportOptions options) {
  options.append = sources.count() > 0;
  options.firstLine = sources.nextLine();
  const ImportResult result =
      input.stream ? importCameraStream(*input.stream, table, options) : importCameraList(input.path, table, options);
  if (result.loaded()) sources.add(input.name, result.lineCount);
  return result;
}

bool startsAsList(const std::filesystem::path& path) {
  const UniqueFile file = openFile(path, "rb");
  if (!file) return false;
  // The reach, and a byte past it to tell whether the text goes on.
  std::string head(kHeaderReach + 1, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), file.get()));
  ListParser parser(nullptr, nullptr);
  const char* end = head.data() + std::min(head.size(), kHeaderReach);
  const char* rest = parser.parseLines(head.data(), end, 0);
  if (head.size() <= kHeaderReach) parser.parseLastLine(rest, end, 0);
  return parser.header() == ListParser::Header::Passed;
}

void scanListFindings(const KeptText& text, std::size_t from, std::size_t to, FindingSink& findings) {
  ListParser parser(nullptr, &findings);
  text.forEachPiece(from, to, [&parser](std::string_view piece) {
    const char* end = piece.data() + piece.size();
    const char* rest = parser.parseLines(piece.data(), end, 0);
    parser.parseLastLine(rest, end, 0);  // only the range's last piece ends without a line feed
  });
}

}  // namespace tabrino
