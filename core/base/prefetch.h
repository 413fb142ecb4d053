// Rows read in sorted order lie scattered in memory: asking for the row a few
// steps ahead hides the wait for each.
#pragma once

#include <cstddef>

namespace tabrino {

// How many steps ahead to ask: far enough to cover a cache miss, near enough
// that the line is still there when its turn comes.
inline constexpr std::size_t kPrefetchDistance = 16;

// Always inlined, as is every wrapper of it: a call left standing to a
// function that only prefetches is a call without effect, which the
// compiler may drop.
[[gnu::always_inline]] inline void prefetch(const void* address) noexcept {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

}  // namespace tabrino
