// Rows put in latitude order where they are millions: dealt in one read of
// the rows, without a count first, into chains of small blocks, a chain for
// each run; then each run gathered from its blocks into the cache and sorted
// there.
//
// Rows that no longer fit the cache cost a read from memory each time they
// are all read: a count of each run's rows, as dealLatitudeRuns makes, would
// be one such read more. The blocks' entries take 8 bytes a row (a 32-bit
// fraction above the row), where a counted deal's take 6: their fractions
// tell apart most rows that 16 bits would not, and each row a tie makes the
// sort read lies scattered over memory.
#pragma once

#include "core/list/camera_table.h"
#include "core/list/latitude_runs.h"

#include <cstddef>

namespace tabrino {

// The places of rows[0, count) in latitude order, ties in file order and
// NaN last, spread onto runs by `spread`. Two threads share the work.
RowPositions blockDealtOrder(const CameraRow* rows, std::size_t count, const LatitudeSpread& spread);

// Whether the blocks of `count` rows on `runs` runs can be counted in 32 bits.
bool blocksHold(std::size_t count, std::size_t runs) noexcept;

}  // namespace tabrino
