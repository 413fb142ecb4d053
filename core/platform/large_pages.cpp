#include "core/platform/large_pages.h"

#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tabrino {

void adviseLargePages(const void* start, std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kPage = 4096;
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  const auto first = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t begin = (first + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t end = (first + bytes) & ~(kPage - 1);
  if (end < begin + kLargePage) return;
  // Only a hint: memory without it is as good, only slower to fault in.
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)start;
  (void)bytes;
#endif
}

void releasePages(void* start, std::size_t bytes) noexcept {
#ifdef __linux__
  constexpr std::uintptr_t kPage = 4096;
  const auto first = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t begin = (first + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t end = (first + bytes) & ~(kPage - 1);
  if (end <= begin) return;
  // Only a saving: pages kept cost memory, nothing else.
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#else
  (void)start;
  (void)bytes;
#endif
}

#if defined(__linux__) && defined(MADV_HUGEPAGE)
namespace {
constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;
}  // namespace

std::size_t largeRoomSize(std::size_t bytes) noexcept {
  if (bytes < kLargePageBytes) return bytes;
  // Whole large pages: a last page cut short by the end of the mapping
  // would be faulted in 4 KB at a time.
  const std::size_t whole = (bytes + kLargePageBytes - 1) & ~(kLargePageBytes - 1);
  return whole < bytes ? 0 : whole;
}

void* allocateLarge(std::size_t bytes) {
  if (bytes < kLargePageBytes) return ::operator new(bytes);
  const std::size_t whole = largeRoomSize(bytes);
  if (whole == 0) throw std::bad_alloc();
  void* room = ::operator new(whole, std::align_val_t{kLargePageBytes});
  adviseLargePages(room, whole);
  return room;
}

void freeLarge(void* room, std::size_t bytes) noexcept {
  if (bytes < kLargePageBytes) {
    ::operator delete(room);
  } else {
    ::operator delete(room, std::align_val_t{kLargePageBytes});
  }
}
#else
// Where large pages are not had on request, aligning would only waste
// address room, which a 32-bit process is short of.
void* allocateLarge(std::size_t bytes) { return ::operator new(bytes); }
std::size_t largeRoomSize(std::size_t bytes) noexcept { return bytes; }
void freeLarge(void* room, std::size_t) noexcept { ::operator delete(room); }
#endif

}  // namespace tabrino
