// Large buffers written once through (a table's rows, their order) are asked
// to be backed by the system's large pages where it offers them on request:
// one page fault per 2 MB rather than per 4 KB. Faults are dear, most of all
// in a virtual machine, and a list of a million rows took thousands.
#pragma once

#include <cstddef>

namespace tabrino {

// A hint for the whole 4 KB pages of [start, start + bytes), best given
// before they are first written; nothing where the system has no such
// request or the buffer is too small to hold a large page.
void adviseLargePages(const void* start, std::size_t bytes) noexcept;

// Gives the whole pages of [start, start + bytes) back to the system, where
// it takes them: room written once and no longer needed (in a buffer kept
// for more) stops counting against the process. Their bytes are lost.
void releasePages(void* start, std::size_t bytes) noexcept;

// Where the system gives large pages on request, room of at least a large
// page starts on a large page's boundary (so that all of it can be backed by
// them) and is advised so; other room is as operator new gives it. Throws
// std::bad_alloc.
void* allocateLarge(std::size_t bytes);
void freeLarge(void* room, std::size_t bytes) noexcept;
// The bytes allocateLarge(bytes) takes: whole large pages where it asks for
// them. A large page is faulted in whole, past the room asked for too, so
// room given back to its end must be given back to there.
std::size_t largeRoomSize(std::size_t bytes) noexcept;

// For containers of millions of elements.
template <typename T>
struct LargePageAllocator {
  using value_type = T;
  LargePageAllocator() noexcept = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>&) noexcept {}
  T* allocate(std::size_t count) { return static_cast<T*>(allocateLarge(count * sizeof(T))); }
  void deallocate(T* room, std::size_t count) noexcept { freeLarge(room, count * sizeof(T)); }
  template <typename U>
  bool operator==(const LargePageAllocator<U>&) const noexcept {
    return true;
  }
  template <typename U>
  bool operator!=(const LargePageAllocator<U>&) const noexcept {
    return false;
  }
};

}  // namespace tabrino
