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

}  // namespace tabrino
