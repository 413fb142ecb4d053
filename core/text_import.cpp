#include "text_import.h"

#include "file_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>
#include <vector>

namespace tabrino {
namespace {

constexpr std::size_t kReadBlockSize = std::size_t{1} << 20;

// Splits bytes into rows as they arrive, so a file is read in large blocks
// while the result stays that of reading it byte by byte.
class ListParser {
 public:
  ListParser(CameraTable& table, ImportObserver* observer) : table_(table), observer_(observer) {}

  void feed(const char* p, const char* end) {
    while (p != end) {
      const char* stop = p;
      while (stop != end && !isSpecial(*stop)) ++stop;
      appendToField(p, stop);
      if (stop == end) return;
      switch (*stop) {
        case ',': endField(); break;
        case '\n': endLine(); break;
        case '\0': fieldCut_ = true; break;  // the rest of this field is lost
        default: break;                      // '\r' is ignored
      }
      p = stop + 1;
    }
  }

  // The end of the file ends a last line that has no line feed (one without
  // a comma still makes no row, but an observer hears of it).
  void finish() {
    if (fieldIndex_ > 0 || !line_.empty()) endLine();
  }

 private:
  static bool isSpecial(char c) noexcept { return c == ',' || c == '\n' || c == '\r' || c == '\0'; }

  void appendToField(const char* begin, const char* end) {
    if (begin != end && !fieldCut_ && fieldIndex_ < kColumnCount) line_.append(begin, end);
  }

  void endField() {
    if (fieldIndex_ < kColumnCount) cellEnd_[fieldIndex_] = line_.size();
    ++fieldIndex_;
    fieldCut_ = false;
  }

  void endLine() {
    if (observer_) {
      const std::size_t firstEnd = fieldIndex_ > 0 ? cellEnd_[0] : line_.size();
      observer_->lineRead({lineNumber_, fieldIndex_ + 1, std::string_view(line_).substr(0, firstEnd)});
    }
    if (fieldIndex_ > 0) {  // only a line with a comma makes a row
      endField();
      CameraTable::Cells cells{};
      std::size_t begin = 0;
      for (std::size_t c = 0; c < kColumnCount && c < fieldIndex_; ++c) {
        cells[c] = std::string_view(line_).substr(begin, cellEnd_[c] - begin);
        begin = cellEnd_[c];
      }
      table_.appendRow(cells, lineNumber_);
    }
    line_.clear();
    fieldIndex_ = 0;
    fieldCut_ = false;
    ++lineNumber_;
  }

  CameraTable& table_;
  ImportObserver* observer_;
  std::string line_;  // the current line's cell bytes, back to back
  std::array<std::size_t, kColumnCount> cellEnd_{};
  std::size_t fieldIndex_ = 0;
  bool fieldCut_ = false;
  std::uint64_t lineNumber_ = 0;
};

ImportResult checkHeader(CameraTable& table) {
  if (table.cell(0, Column::X) != kColumnTitles[static_cast<std::size_t>(Column::X)]) {
    return {ImportOutcome::WrongHeader, 0, {}};
  }
  table.eraseRow(0);
  return {ImportOutcome::Loaded, table.size(), {}};
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

ImportResult importCameraList(const std::filesystem::path& path, CameraTable& table, ImportObserver* observer) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    return {ImportOutcome::OpenFailed, 0, std::make_error_code(std::errc::is_a_directory).message()};
  }
  errno = 0;
  UniqueFile file = openFile(path, "rb");
  if (!file) return {ImportOutcome::OpenFailed, 0, systemErrorText(errno)};

  table.clear();
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec) table.reserveText(size);

  ListParser parser(table, observer);
  std::uint64_t done = 0;
  std::vector<char> block(kReadBlockSize);
  for (;;) {
    errno = 0;
    const std::size_t got = std::fread(block.data(), 1, block.size(), file.get());
    parser.feed(block.data(), block.data() + got);
    done += got;
    if (observer) observer->bytesRead(done, ec ? done : std::max<std::uint64_t>(size, done));
    if (got < block.size()) {
      if (std::ferror(file.get())) {
        return {ImportOutcome::ReadFailed, 0, systemErrorText(errno ? errno : EIO)};
      }
      break;
    }
  }
  parser.finish();
  return checkHeader(table);
}

ImportResult importCameraListText(std::string_view bytes, CameraTable& table, ImportObserver* observer) {
  table.clear();
  ListParser parser(table, observer);
  parser.feed(bytes.data(), bytes.data() + bytes.size());
  parser.finish();
  return checkHeader(table);
}

}  // namespace tabrino
