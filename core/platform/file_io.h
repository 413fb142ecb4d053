// The few file operations the core needs, over the C runtime, with paths that
// may hold any characters on every platform (wide paths on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace tabrino {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// fopen with a path of any characters; lastSystemError() tells why it
// failed.
UniqueFile openFile(const std::filesystem::path& path, const char* mode);

// Opens a file for reading ("rb") that others may meanwhile write, rename,
// replace or delete (on Windows, shared for deleting too, which fopen's
// file is not): for a file read again now and then while its owner may
// save it. lastSystemError() tells why it failed.
UniqueFile openSharedForReading(const std::filesystem::path& path);
// A new file without a name anyone else uses, open for writing and reading
// back ("w+b"), removed when it is closed or the process ends: on Windows
// under a unique name in the user's temporary folder (the C library's
// tmpfile() would make it in the drive's root, which ordinary users may not
// write), elsewhere where tmpfile() puts it. Null, with lastSystemError()
// saying why, when it cannot be made.
UniqueFile openTemporaryFile();

// Moves to a byte offset, beyond 2 GiB too on every platform; false, with
// lastSystemError() saying why, where it cannot.
bool seekTo(std::FILE* file, std::uint64_t offset) noexcept;

// Reads up to `size` bytes from `offset` into `buffer`, whatever the
// stream's position and buffer, so that two threads may read one file at
// once; `got` falls short only at the file's end. Returns why a read failed
// (on Windows ReadFile's own Win32 error), or an empty code.
std::error_code readAt(std::FILE* file, std::uint64_t offset, char* buffer, std::size_t size,
                       std::size_t& got) noexcept;

// The same open file through a handle of its own, for readAt on a second
// thread where reads through one handle wait for one another: on Windows,
// those of a handle opened for synchronous use do, even at different
// offsets. Null elsewhere, and where the file cannot be opened again; the
// one handle then serves both threads.
UniqueFile ownReadHandle(std::FILE* file) noexcept;

// A descriptor of its own to the file `file` has open, at the file's start:
// for a library that reads from a descriptor and closes it when done
// (libosmium), so that the file is read again without being opened again
// (by a name that might now be another file's, or no longer be found). The
// two share one position: `file` is not read through afterwards. -1, with
// lastSystemError() saying why, where the file cannot be read from its start (a pipe).
int descriptorAtStart(std::FILE* file) noexcept;

// What tells one state of a file on disk from another: its identity on its
// volume, its size and when it was last written. A file saved again, or
// replaced by another under its name, has another stamp.
struct FileStamp {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  std::uint64_t size = 0;
  std::int64_t written = 0;  // in the system's own units
  bool operator==(const FileStamp& other) const noexcept {
    return volume == other.volume && index == other.index && size == other.size && written == other.written;
  }
  bool operator!=(const FileStamp& other) const noexcept { return !(*this == other); }
};
// The stamp of the file `file` has open; false, with lastSystemError()
// saying why, where the system tells none.
bool stampOf(std::FILE* file, FileStamp& stamp) noexcept;
// Pushes written data through to the storage device, so that a file reported
// as written survives a crash of the system right after.
bool syncToDisk(std::FILE* file) noexcept;

// Why a call of the C runtime failed, for a failure users hear of: call
// clearSystemError() before it (the runtime clears nothing on success),
// lastSystemError() right after it failed. On Windows that is the Win32
// error the runtime met in the system (its _doserrno; std::system_category),
// so that users read the system's own words for it; else, and for a failure
// of the runtime's own, errno (std::generic_category). A call that failed
// without saying why reads as an input/output error.
void clearSystemError() noexcept;
std::error_code lastSystemError() noexcept;

// What a folder gives where a file was to be opened or replaced: EISDIR; on
// Windows ERROR_ACCESS_DENIED, which CreateFile and MoveFileEx answer for it.
std::error_code folderNotFileError() noexcept;

// A failure's code in words, UTF-8 on every platform: the code's message,
// except that on Windows a Win32 error is worded by FormatMessageW (the
// system category's own words come in the ANSI code page, which a UTF-8
// console garbles), its final full stop dropped as that category does.
std::string errorText(const std::error_code& code);

// The operating system's description of an errno value.
std::string systemErrorText(int errorNumber);

// A path as the user should read it in a message (UTF-8 on every platform).
std::string displayPath(const std::filesystem::path& path);

// Whether two paths name the same file (links and other spellings included);
// false when either does not exist.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Whether path names the file that standard input reads (device and inode;
// on Windows volume and file index), however it is spelled. Only a file on
// disk counts: a pipe or a terminal is never overwritten by a name.
bool isStandardInput(const std::filesystem::path& path);

// Throws UnsafeLinkError when `link` is a symbolic link that another user
// made in a sticky folder everyone may write to; does nothing for anything
// else. shownPath names it in the message.
void checkLinkMayBeFollowed(const std::filesystem::path& link, const std::string& shownPath);

// Whether an existing regular file is marked read-only for the caller (its
// write permission withheld; on Windows its read-only attribute): its owner
// meant to keep it, so it is replaced only when the user insists.
bool isReadOnlyFile(const std::filesystem::path& path);
// Lets a read-only file be replaced where the system would refuse (Windows);
// the user has insisted. Does nothing elsewhere.
void allowReplacing(const std::filesystem::path& path);

// Writes a file that appears complete or not at all. A regular file (new, or
// replacing one) is written unnamed where the file system allows it (Linux:
// O_TMPFILE; Windows: a temporary file marked for deletion until it is
// complete), else under a temporary name beside the destination; commit()
// syncs it and puts it in place under its name in one rename. Until then an
// earlier file is untouched, and a writer destroyed without commit() leaves
// nothing behind; not even a killed process leaves a named partial file where
// the file is unnamed. A file replaced keeps its permission bits (and, for
// root, its owner); a symbolic link at the destination stays a link and its
// target is replaced. A destination that is not a regular file (a device, a
// pipe) and an open stream (standard output) are written straight through and
// never removed. At most kMaxWritersAtOnce writers of regular files exist at
// once in a process (each holds a place in the interrupt handler's list);
// one more is refused with FileOpenError before it creates anything.
// Throws FileOpenError (creating, putting in place) or FileWriteError.
inline constexpr std::size_t kMaxWritersAtOnce = 8;

class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::filesystem::path& destination);
  // Straight to `stream`, which stays open; shownName names it in messages.
  AtomicFileWriter(std::FILE* stream, std::string shownName);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void write(const void* bytes, std::size_t size);
  void write(const std::string& text) { write(text.data(), text.size()); }
  void commit();

  const std::string& shownPath() const noexcept { return shownPath_; }

 private:
  enum class Mode { Unnamed, Named, Straight, Stream };
  void flushBuffer();
  void noteWritten(std::size_t size);
  [[noreturn]] void failWrite() const;
  void putInPlace();
  void claimInterruptSlot();

  // The writer's place in the interrupt handler's list of temporaries, given
  // back when the writer ends (or its constructor throws).
  struct InterruptSlot {
    int index = -1;
    InterruptSlot() = default;
    InterruptSlot(const InterruptSlot&) = delete;
    InterruptSlot& operator=(const InterruptSlot&) = delete;
    ~InterruptSlot();
  };

  InterruptSlot slot_;
  Mode mode_ = Mode::Named;
  std::filesystem::path target_;     // the destination, links followed
  std::filesystem::path temporary_;  // the name of a Named file until commit
  std::string shownPath_;
  UniqueFile file_;
  std::FILE* stream_ = nullptr;  // what is written to: file_ or a stream
  std::vector<char> buffer_;  // written in large blocks, whatever the callers' pieces
  std::uint64_t written_ = 0;        // bytes handed to the system
  std::uint64_t writebackFrom_ = 0;  // where the disk has not yet been asked to start
  bool committed_ = false;
};

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files of writers that
// could not write unnamed, then end the process with status 128 + the signal.
// For command-line programs; does nothing on Windows, where an unfinished file
// goes when the process does.
void removeTemporariesOnInterrupt();

}  // namespace tabrino
