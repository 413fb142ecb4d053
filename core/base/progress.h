// How long work reports how far it has come, so that a front end can show it.
#pragma once

#include <cstdint>
#include <functional>

namespace tabrino {

// Called now and then (per block or row, never per byte) with the work done
// so far and the whole of it, in the same unit.
using ProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;

}  // namespace tabrino
