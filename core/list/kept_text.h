// The text of the lists a table was read from, kept so that their cells can
// be shown and searched again. A list read from a file on disk is not held
// in memory: its bytes are read again from the file, a block at a time, as
// they are wanted, since a list of millions of rows is hundreds of
// megabytes and a second copy would take more than the rows themselves.
// Text that has no file of its own (made from an extract or another format,
// or read from a pipe) is held here. Offsets run over all the parts as if
// they were one text.
//
// The file is opened for each read (or pass, or search) and closed again,
// never held open longer, and opened so that others may save, rename or
// replace it meanwhile; each read first checks that the file is still the
// one that was read (its stamp), and a file that changed is never read as if
// it had not.
#pragma once

#include "core/platform/file_io.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

class KeptText {
 public:
  KeptText() = default;
  // A copy reads the same files; it caches blocks of its own.
  KeptText(const KeptText& other);
  KeptText& operator=(const KeptText& other);
  KeptText(KeptText&& other) noexcept;
  KeptText& operator=(KeptText&& other) noexcept;

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  void clear() noexcept;

  // Adds bytes held in memory after the text; returns where they start.
  std::size_t append(std::string_view bytes);
  std::size_t take(std::string&& bytes);
  // Adds the first `size` bytes of the file at `path`, as it is now
  // (`stamp`), read again from there when wanted; `lastByte` is the last of
  // them, `utf8` whether they are UTF-8 (as found while they were read).
  // Returns where they start.
  std::size_t appendFile(const std::filesystem::path& path, const FileStamp& stamp, std::size_t size, char lastByte,
                         bool utf8);
  // Whether the text ends a line (or is empty): the next list's header then
  // starts a line of its own.
  bool endsLine() const noexcept;
  // Whether the whole text is UTF-8 (else it is read in a code page).
  bool isValidUtf8() const noexcept;
  // The bytes held in memory: none for a list on disk.
  std::size_t heldBytes() const noexcept;
  // The bytes [from, to) as one string; throws as forEachPiece does.
  std::string read(std::size_t from, std::size_t to) const;

  // The line that starts at `offset`, up to its line feed (or the text's
  // end), at most `most` bytes of it. Empty where its file changed or could
  // not be read: changed() then tells. Any thread may call it.
  std::string line(std::size_t offset, std::size_t most = std::string::npos) const;
  // Reads the blocks that hold the lines at these offsets into the cache, each
  // file opened once for all: for a page of rows about to be shown, lying
  // anywhere in the list once sorted.
  void cacheLines(const std::vector<std::size_t>& offsets) const;
  // While one lives, a file read for the cache stays open from read to read,
  // so that a search reading a line here and a line there opens it once.
  // Files are never held open longer: the list may be saved meanwhile.
  class Session {
   public:
    explicit Session(const KeptText& text);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

   private:
    const KeptText& text_;
  };
  // Whether a file of the text was found changed (or gone) since it was read.
  bool changed() const noexcept { return changed_.load(std::memory_order_relaxed); }

  // Hands `take` the bytes [from, to) in order, in pieces that each end
  // with a line feed but for the range's last: a line never lies across
  // two pieces. Throws FileReadError naming the list where its file changed
  // since it was read or cannot be read.
  void forEachPiece(std::size_t from, std::size_t to, const std::function<void(std::string_view)>& take) const;

 private:
  struct FilePart {
    std::filesystem::path path;
    FileStamp stamp;
  };
  struct Part {
    std::size_t start;
    std::size_t size;
    std::string bytes;  // held here; empty for a file's
    bool inFile = false;
    FilePart file;
    char lastByte = '\n';
    bool utf8 = true;
  };
  struct Block {
    std::size_t part = 0;
    std::size_t number = 0;  // of kBlockSize bytes into the part
    std::string bytes;
    bool used = false;
  };
  // Blocks are small: once the rows are sorted, each row shown lies in a
  // block of its own, and a page of them is read at once.
  static constexpr std::size_t kBlockSize = std::size_t{16} << 10;
  static constexpr std::size_t kCachedBlocks = 128;

  std::size_t partAt(std::size_t offset) const noexcept;
  Part& appendPart();
  // Reads bytes [from, from + size) of a file part; false where the file
  // changed or could not be read (the reason in `error`).
  static bool readFile(const Part& part, std::size_t from, std::size_t size, std::string& out, std::error_code& error,
                       UniqueFile* keep = nullptr);
  // The cached block of a file part that holds `offset` (relative to the
  // part), read where it is not cached; nullptr where it cannot be read.
  const std::string* block(std::size_t part, std::size_t offset) const;

  std::vector<Part> parts_;
  std::size_t size_ = 0;
  mutable std::mutex cacheLock_;
  mutable std::vector<Block> cache_;
  mutable std::size_t nextVictim_ = 0;
  mutable std::atomic<bool> changed_{false};
  mutable std::size_t sessions_ = 0;           // Sessions alive
  mutable std::vector<UniqueFile> openFiles_;  // by part, while a session lives
};

}  // namespace tabrino
