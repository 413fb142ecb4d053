// The platform side of AtomicFileWriter (declared in file_io.h): how a file
// is created so that it is never seen unfinished, and put in place.
#include "core/platform/file_io.h"

#include "core/base/errors.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tabrino {
namespace fs = std::filesystem;
namespace {

// Writes are gathered into blocks of this size: large enough that the
// system is called seldom, small enough to stay in the cache.
constexpr std::size_t kWriteBlockSize = std::size_t{256} << 10;
// How much is written before the disk is asked to start on it.
constexpr std::uint64_t kWritebackStep = std::uint64_t{2} << 20;

// A name no other writer uses at the same moment, in the destination's folder
// so that the final rename never crosses file systems.
fs::path temporaryPathFor(const fs::path& destination) {
  static std::atomic<unsigned> counter{0};
  const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  fs::path temporary = destination;
  temporary += ".tmp-" + std::to_string(ticks % 1000000007ull) + "-" + std::to_string(counter.fetch_add(1));
  return temporary;
}

// The file a path ends at, through any symbolic links (which may dangle).
fs::path followLinks(fs::path path, const std::string& shownPath) {
  for (int depth = 0; depth < 40; ++depth) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return path;
    checkLinkMayBeFollowed(path, shownPath);
    const fs::path next = fs::read_symlink(path, ec);
    if (ec) return path;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

// The files being written, for the interrupt handler, which removes those
// that have a name: fixed slots it reads without allocating or locking.
// Every writer of a regular file holds a slot for its whole life, so a
// writer that comes to need a temporary name always has room to record it.
// That bounds the writers at once to kMaxWritersAtOnce; one more is refused
// (FileOpenError) before it creates anything, so no temporary is ever left
// out of the list. A slot goes Free, Claimed, Named (its path complete and
// visible to the handler), Claimed, Free: its state is a lock-free atomic,
// stored with release and loaded with acquire, which fences the path's bytes
// against the compiler and the processor for a handler on any thread.
enum SlotState : int { kFree, kClaimed, kNamed };
constexpr std::size_t kTemporaryPathMax = 4096;
struct TemporarySlot {
  std::atomic<int> state{kFree};
  char path[kTemporaryPathMax];
};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may read only lock-free atomics");
TemporarySlot g_temporaries[kMaxWritersAtOnce];

int claimSlot() noexcept {
  for (std::size_t slot = 0; slot < kMaxWritersAtOnce; ++slot) {
    int expected = kFree;
    if (g_temporaries[slot].state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) {
      return static_cast<int>(slot);
    }
  }
  return -1;
}

// Records the name a writer's file has from now on; throws FileOpenError,
// before the file is made, for a name too long to record.
[[maybe_unused]] void nameSlot(int slot, const fs::path& path, const std::string& shownPath) {
  const std::string text = path.string();
  if (text.size() >= kTemporaryPathMax) {
    throw FileOpenError(shownPath, std::make_error_code(std::errc::filename_too_long));
  }
  // The slot is Claimed here, so the handler does not read the path being
  // copied; the release store is the fence that publishes it whole.
  TemporarySlot& record = g_temporaries[slot];
  std::memcpy(record.path, text.c_str(), text.size() + 1);
  record.state.store(kNamed, std::memory_order_release);
}

void unnameSlot(int slot) noexcept {
  if (slot >= 0) g_temporaries[slot].state.store(kClaimed, std::memory_order_release);
}

#ifndef _WIN32
extern "C" void removeTemporariesAndExit(int signalNumber) {
  for (TemporarySlot& slot : g_temporaries) {
    if (slot.state.load(std::memory_order_acquire) == kNamed) ::unlink(slot.path);
  }
  ::_exit(128 + signalNumber);
}
#endif

}  // namespace

bool sameFile(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
  // The C runtime's file identity is empty on Windows: ask the system.
  auto identity = [](const fs::path& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    return known;
  };
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return identity(a, first) && identity(b, second) && first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
#else
  // By device and inode: std::filesystem::equivalent refuses pipes, which a
  // run must know by identity as much as files.
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
#endif
}

void checkLinkMayBeFollowed(const fs::path& link, const std::string& shownPath) {
#ifdef _WIN32
  (void)link;
  (void)shownPath;
#else
  // The kernel's own rule for protected links, which our rename would
  // otherwise sidestep: in a sticky folder anyone may write to, a link is
  // followed only when its owner is the folder's owner or the caller.
  struct stat linkStatus {}, folderStatus {};
  const fs::path folder = link.has_parent_path() ? link.parent_path() : fs::path(".");
  if (::lstat(link.c_str(), &linkStatus) != 0 || !S_ISLNK(linkStatus.st_mode)) return;
  if (::stat(folder.c_str(), &folderStatus) != 0) return;
  const bool shared = (folderStatus.st_mode & S_ISVTX) != 0 && (folderStatus.st_mode & S_IWOTH) != 0;
  if (shared && linkStatus.st_uid != folderStatus.st_uid && linkStatus.st_uid != ::geteuid()) {
    throw UnsafeLinkError(shownPath);
  }
#endif
}

void removeTemporariesOnInterrupt() {
#ifndef _WIN32
  struct sigaction action {};
  action.sa_handler = removeTemporariesAndExit;
  sigemptyset(&action.sa_mask);
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signalNumber, &action, nullptr);
#endif
}

AtomicFileWriter::InterruptSlot::~InterruptSlot() {
  if (index >= 0) g_temporaries[index].state.store(kFree, std::memory_order_release);
}

void AtomicFileWriter::claimInterruptSlot() {
  slot_.index = claimSlot();
  if (slot_.index < 0) {
    throw FileOpenError(shownPath_, "more than " + std::to_string(kMaxWritersAtOnce) + " files written at once");
  }
}

AtomicFileWriter::AtomicFileWriter(const fs::path& destination)
    : target_(followLinks(destination, displayPath(destination))), shownPath_(displayPath(destination)) {
  std::error_code ec;
  const fs::file_status existing = fs::status(target_, ec);
  const bool replacing = fs::exists(existing);
  if (replacing && !fs::is_regular_file(existing) && !fs::is_directory(existing)) {
    // A device or a pipe: there is nothing to put in place, nor to remove.
    mode_ = Mode::Straight;
    file_ = openFile(target_, "wb");
    if (!file_) throw FileOpenError(shownPath_, lastSystemError());
    stream_ = file_.get();
    buffer_.reserve(kWriteBlockSize);
    return;
  }
  if (fs::is_directory(existing)) throw FileOpenError(shownPath_, folderNotFileError());
  claimInterruptSlot();

#ifdef _WIN32
  temporary_ = temporaryPathFor(target_);
  HANDLE handle = ::CreateFileW(temporary_.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw FileOpenError(shownPath_, std::error_code(static_cast<int>(::GetLastError()), std::system_category()));
  }
  // Marked for deletion until complete: a process that dies leaves nothing.
  FILE_DISPOSITION_INFO dispose{TRUE};
  mode_ = ::SetFileInformationByHandle(handle, FileDispositionInfo, &dispose, sizeof dispose) ? Mode::Unnamed
                                                                                              : Mode::Named;
  clearSystemError();
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (descriptor < 0 || !(file_ = UniqueFile(::_fdopen(descriptor, "wb")))) {
    const std::error_code reason = lastSystemError();
    if (descriptor < 0) ::CloseHandle(handle); else ::_close(descriptor);
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    throw FileOpenError(shownPath_, reason);
  }
#else
  const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
  struct stat earlier {};
  const bool keepMode = replacing && ::stat(target_.c_str(), &earlier) == 0;
  int descriptor = -1;
#ifdef O_TMPFILE
  descriptor = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (descriptor >= 0) {
    mode_ = Mode::Unnamed;
  } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    throw FileOpenError(shownPath_, lastSystemError());
  }
#endif
  if (descriptor < 0) {  // a file system without unnamed files
    mode_ = Mode::Named;
    temporary_ = temporaryPathFor(target_);
    nameSlot(slot_.index, temporary_, shownPath_);
    descriptor = ::open(temporary_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (descriptor < 0) {
      const std::error_code reason = lastSystemError();
      unnameSlot(slot_.index);
      throw FileOpenError(shownPath_, reason);
    }
  }
  if (keepMode) {
    ::fchmod(descriptor, earlier.st_mode & 07777);
    if (::geteuid() == 0 && ::fchown(descriptor, earlier.st_uid, earlier.st_gid) != 0) {
      // The permission bits still hold; an owner that cannot be kept is no
      // reason to lose the file.
    }
  }
  clearSystemError();
  file_ = UniqueFile(::fdopen(descriptor, "wb"));
  if (!file_) {
    const std::error_code reason = lastSystemError();
    ::close(descriptor);
    if (mode_ == Mode::Named) {
      ::unlink(temporary_.c_str());
      unnameSlot(slot_.index);
    }
    throw FileOpenError(shownPath_, reason);
  }
#endif
  stream_ = file_.get();
  buffer_.reserve(kWriteBlockSize);
}

AtomicFileWriter::AtomicFileWriter(std::FILE* stream, std::string shownName)
    : mode_(Mode::Stream), shownPath_(std::move(shownName)), stream_(stream) {
  buffer_.reserve(kWriteBlockSize);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (committed_ || mode_ == Mode::Stream) return;
  file_.reset();  // an unnamed file goes with its last handle
  if (mode_ == Mode::Named) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    unnameSlot(slot_.index);
  }
}

void AtomicFileWriter::write(const void* bytes, std::size_t size) {
  const char* p = static_cast<const char*>(bytes);
  if (size >= kWriteBlockSize) {  // large enough to go as it is, once the buffer is out
    if (!buffer_.empty()) {
      // Topped up first, so that the file is still written in whole blocks.
      const std::size_t take = kWriteBlockSize - buffer_.size();
      buffer_.insert(buffer_.end(), p, p + take);
      p += take;
      size -= take;
      flushBuffer();
    }
    clearSystemError();
    if (size > 0 && std::fwrite(p, 1, size, stream_) != size) failWrite();
    noteWritten(size);
    return;
  }
  while (size > 0) {
    const std::size_t room = kWriteBlockSize - buffer_.size();
    const std::size_t take = size < room ? size : room;
    buffer_.insert(buffer_.end(), p, p + take);
    p += take;
    size -= take;
    if (buffer_.size() == kWriteBlockSize) flushBuffer();
  }
}

void AtomicFileWriter::flushBuffer() {
  clearSystemError();
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size()) failWrite();
  noteWritten(buffer_.size());
  buffer_.clear();
}

// The disk starts on what is written while the rest is still being made, so
// that the sync at the end waits for the last few megabytes only.
void AtomicFileWriter::noteWritten(std::size_t size) {
#ifdef __linux__
  written_ += size;
  if (mode_ == Mode::Straight || mode_ == Mode::Stream || written_ - writebackFrom_ < kWritebackStep) return;
  clearSystemError();
  if (std::fflush(stream_) != 0) failWrite();
  // Only a request: a failure to write shows in the sync.
  ::sync_file_range(::fileno(stream_), static_cast<off_t>(writebackFrom_), static_cast<off_t>(written_ - writebackFrom_),
                    SYNC_FILE_RANGE_WRITE);
  writebackFrom_ = written_;
#else
  (void)size;
#endif
}

void AtomicFileWriter::failWrite() const {
  if (mode_ == Mode::Stream && stream_ == stdout) throw StandardOutputError(lastSystemError());
  throw FileWriteError(shownPath_, lastSystemError());
}

void AtomicFileWriter::commit() {
  flushBuffer();
  clearSystemError();
  if (std::fflush(stream_) != 0) failWrite();
  if (mode_ == Mode::Stream) {
    committed_ = true;
    return;
  }
  if (mode_ != Mode::Straight && !syncToDisk(stream_)) failWrite();
  putInPlace();
  committed_ = true;
}

void AtomicFileWriter::putInPlace() {
  auto closeFile = [this] {
    clearSystemError();
    if (std::fclose(file_.release()) != 0) failWrite();
  };
  std::error_code ec;
  switch (mode_) {
    case Mode::Straight: closeFile(); return;
    case Mode::Stream: return;
    case Mode::Named:
      closeFile();
      fs::rename(temporary_, target_, ec);
      unnameSlot(slot_.index);
      if (ec) {
        std::error_code ignored;
        fs::remove(temporary_, ignored);
        throw FileOpenError(shownPath_, ec);
      }
      return;
    case Mode::Unnamed: break;
  }
#ifdef _WIN32
  FILE_DISPOSITION_INFO keep{FALSE};
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file_.get())));
  if (!::SetFileInformationByHandle(handle, FileDispositionInfo, &keep, sizeof keep)) {
    throw FileOpenError(shownPath_, std::error_code(static_cast<int>(::GetLastError()), std::system_category()));
  }
  mode_ = Mode::Named;  // from here on it has a name to remove
  closeFile();
  if (!::MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const std::error_code error(static_cast<int>(::GetLastError()), std::system_category());
    fs::remove(temporary_, ec);
    throw FileOpenError(shownPath_, error);
  }
#else
  // Linked under a temporary name first: a link never replaces a file, a
  // rename does, in one step.
  temporary_ = temporaryPathFor(target_);
  nameSlot(slot_.index, temporary_, shownPath_);
  mode_ = Mode::Named;
  const std::string self = "/proc/self/fd/" + std::to_string(::fileno(file_.get()));
  clearSystemError();
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
      ::linkat(::fileno(file_.get()), "", AT_FDCWD, temporary_.c_str(), AT_EMPTY_PATH) != 0) {
    const std::error_code reason = lastSystemError();
    unnameSlot(slot_.index);
    mode_ = Mode::Unnamed;
    throw FileOpenError(shownPath_, reason);
  }
  closeFile();
  fs::rename(temporary_, target_, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    unnameSlot(slot_.index);
    throw FileOpenError(shownPath_, ec);
  }
  unnameSlot(slot_.index);
#endif
}

}  // namespace tabrino
