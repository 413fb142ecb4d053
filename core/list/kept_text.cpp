#include "core/list/kept_text.h"

#include "core/base/errors.h"
#include "core/base/utf8_text.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tabrino {
namespace {

// Pieces handed on by forEachPiece are about this large: large enough that
// a read costs little per byte, small enough to stay in the cache.
constexpr std::size_t kPieceSize = std::size_t{1} << 20;

constexpr const char* kChangedReason = "The list changed on disk after it was opened. Open it again.";

}  // namespace

KeptText::KeptText(const KeptText& other) : parts_(other.parts_), size_(other.size_), changed_(other.changed()) {}

KeptText& KeptText::operator=(const KeptText& other) {
  if (this != &other) *this = KeptText(other);
  return *this;
}

KeptText::KeptText(KeptText&& other) noexcept { *this = std::move(other); }

KeptText& KeptText::operator=(KeptText&& other) noexcept {
  if (this == &other) return *this;
  const std::scoped_lock locks(cacheLock_, other.cacheLock_);
  parts_ = std::move(other.parts_);
  size_ = std::exchange(other.size_, 0);
  cache_ = std::move(other.cache_);
  nextVictim_ = std::exchange(other.nextVictim_, 0);
  changed_ = other.changed_.exchange(false);
  other.parts_.clear();
  other.cache_.clear();
  return *this;
}

void KeptText::clear() noexcept {
  std::vector<Part>().swap(parts_);
  size_ = 0;
  const std::lock_guard<std::mutex> lock(cacheLock_);
  std::vector<Block>().swap(cache_);
  openFiles_.clear();
  nextVictim_ = 0;
  changed_ = false;
}

KeptText::Part& KeptText::appendPart() {
  Part& part = parts_.emplace_back();
  part.start = size_;
  part.size = 0;
  return part;
}

std::size_t KeptText::append(std::string_view bytes) {
  const std::size_t start = size_;
  if (bytes.empty()) return start;
  // Text held in memory grows its last part, so that small appends (a line
  // feed between lists) make no part of their own.
  Part& part = !parts_.empty() && !parts_.back().inFile ? parts_.back() : appendPart();
  part.bytes.append(bytes);
  part.size = part.bytes.size();
  size_ += bytes.size();
  return start;
}

std::size_t KeptText::take(std::string&& bytes) {
  if (!parts_.empty() && !parts_.back().inFile) return append(bytes);
  const std::size_t start = size_;
  if (bytes.empty()) return start;
  Part& part = appendPart();
  part.size = bytes.size();
  part.bytes = std::move(bytes);
  size_ += part.size;
  return start;
}

std::size_t KeptText::appendFile(const std::filesystem::path& path, const FileStamp& stamp, std::size_t size,
                                 char lastByte, bool utf8) {
  const std::size_t start = size_;
  if (size == 0) return start;
  Part& part = appendPart();
  part.size = size;
  part.inFile = true;
  part.file = {path, stamp};
  part.lastByte = lastByte;
  part.utf8 = utf8;
  size_ += size;
  return start;
}

bool KeptText::endsLine() const noexcept {
  if (parts_.empty()) return true;
  const Part& last = parts_.back();
  return (last.inFile ? last.lastByte : last.bytes.back()) == '\n';
}

bool KeptText::isValidUtf8() const noexcept {
  return std::all_of(parts_.begin(), parts_.end(),
                     [](const Part& part) { return part.inFile ? part.utf8 : tabrino::isValidUtf8(part.bytes); });
}

std::size_t KeptText::heldBytes() const noexcept {
  std::size_t held = 0;
  for (const Part& part : parts_) held += part.bytes.capacity();
  return held;
}

std::string KeptText::read(std::size_t from, std::size_t to) const {
  std::string bytes;
  forEachPiece(from, to, [&bytes](std::string_view piece) { bytes.append(piece); });
  return bytes;
}

std::size_t KeptText::partAt(std::size_t offset) const noexcept {
  const auto after = std::upper_bound(parts_.begin(), parts_.end(), offset,
                                      [](std::size_t at, const Part& part) { return at < part.start; });
  return static_cast<std::size_t>(after - parts_.begin()) - 1;
}

bool KeptText::readFile(const Part& part, std::size_t from, std::size_t size, std::string& out, std::error_code& error,
                        UniqueFile* keep) {
  UniqueFile opened;
  UniqueFile& file = keep ? *keep : opened;
  if (!file) {
    file = openSharedForReading(part.file.path);
    if (!file) {
      error = lastSystemError();
      return false;
    }
    FileStamp now;
    if (!stampOf(file.get(), now)) {
      error = lastSystemError();
      file.reset();
      return false;
    }
    if (now != part.file.stamp) {  // saved again, or another file by its name
      file.reset();
      return false;
    }
  }
  out.resize(size);
  std::size_t got = 0;
  error = readAt(file.get(), from, out.data(), size, got);
  return !error && got == size;
}

const std::string* KeptText::block(std::size_t part, std::size_t offset) const {
  const std::size_t number = offset / kBlockSize;
  for (Block& cached : cache_) {
    if (cached.used && cached.part == part && cached.number == number) return &cached.bytes;
  }
  if (cache_.size() < kCachedBlocks) cache_.emplace_back();
  Block& fresh = cache_.size() < kCachedBlocks ? cache_.back() : cache_[nextVictim_++ % kCachedBlocks];
  const std::size_t from = number * kBlockSize;
  std::error_code error;
  if (sessions_ > 0 && openFiles_.size() < parts_.size()) openFiles_.resize(parts_.size());
  UniqueFile* keep = sessions_ > 0 ? &openFiles_[part] : nullptr;
  fresh.used = readFile(parts_[part], from, std::min(kBlockSize, parts_[part].size - from), fresh.bytes, error, keep);
  if (!fresh.used) {
    changed_ = true;
    return nullptr;
  }
  fresh.part = part;
  fresh.number = number;
  return &fresh.bytes;
}

KeptText::Session::Session(const KeptText& text) : text_(text) {
  const std::lock_guard<std::mutex> lock(text_.cacheLock_);
  ++text_.sessions_;
}

KeptText::Session::~Session() {
  const std::lock_guard<std::mutex> lock(text_.cacheLock_);
  if (--text_.sessions_ == 0) text_.openFiles_.clear();
}

void KeptText::cacheLines(const std::vector<std::size_t>& offsets) const {
  const Session session(*this);
  for (const std::size_t offset : offsets) {
    if (offset >= size_) continue;
    const std::size_t index = partAt(offset);
    if (!parts_[index].inFile) continue;
    const std::lock_guard<std::mutex> lock(cacheLock_);
    if (!block(index, offset - parts_[index].start)) return;
  }
}

std::string KeptText::line(std::size_t offset, std::size_t most) const {
  std::string out;
  if (offset >= size_) return out;
  std::size_t index = partAt(offset);
  const std::lock_guard<std::mutex> lock(cacheLock_);
  // A line may go on into the next block, or (without a line feed at a
  // list's end) the next part.
  for (std::size_t at = offset; index < parts_.size() && out.size() < most;) {
    const Part& part = parts_[index];
    const std::size_t inPart = at - part.start;
    std::string_view bytes;
    if (part.inFile) {
      const std::string* cached = block(index, inPart);
      if (!cached) return {};
      const std::size_t inBlock = inPart % kBlockSize;
      bytes = std::string_view(*cached).substr(inBlock);
    } else {
      bytes = std::string_view(part.bytes).substr(inPart);
    }
    bytes = bytes.substr(0, most - out.size());
    const std::size_t feed = bytes.find('\n');
    out.append(bytes.substr(0, feed));
    if (feed != std::string_view::npos) break;
    at += bytes.size();
    if (at >= part.start + part.size) ++index;
  }
  return out;
}

void KeptText::forEachPiece(std::size_t from, std::size_t to, const std::function<void(std::string_view)>& take) const {
  to = std::min(to, size_);
  if (from >= to) return;
  std::string piece;  // the unfinished line of the bytes before, then the next bytes
  std::string read;
  UniqueFile file;  // a list's file, opened once for all its pieces
  for (std::size_t index = partAt(from); index < parts_.size() && from < to; ++index) {
    const Part& part = parts_[index];
    const std::size_t end = std::min(to, part.start + part.size);
    file.reset();
    while (from < end) {
      const std::size_t size = std::min(kPieceSize, end - from);
      std::string_view bytes;
      if (part.inFile) {
        std::error_code error;
        if (!readFile(part, from - part.start, size, read, error, &file)) {
          changed_ = true;
          if (error) throw FileReadError(displayPath(part.file.path), error);
          throw FileReadError(displayPath(part.file.path), kChangedReason);
        }
        bytes = read;
      } else {
        bytes = std::string_view(part.bytes).substr(from - part.start, size);
      }
      from += size;
      const std::size_t lastFeed = bytes.rfind('\n');
      if (lastFeed == std::string_view::npos) {
        piece.append(bytes);
        continue;
      }
      if (piece.empty()) {
        take(bytes.substr(0, lastFeed + 1));
      } else {
        piece.append(bytes.substr(0, lastFeed + 1));
        take(piece);
        piece.clear();
      }
      piece.append(bytes.substr(lastFeed + 1));
    }
  }
  if (!piece.empty()) take(piece);
}

}  // namespace tabrino
