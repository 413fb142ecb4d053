// Rows put in latitude order, ties in file order and NaN last, in two
// passes that each stay in the cache at any size.
//
// The first reads the rows as they lie in memory and deals each row's place
// into a run of nearby latitude, a few thousand rows a run: few enough runs
// that the counts and the runs' write heads stay in the cache. Beside each
// place it writes where in its run's span of latitudes the row lies, as a
// 16-bit fraction: two bytes a row, so that the sort takes little more
// memory than the rows and their places. The second sorts each run by those
// fractions alone, on a copy that fits the cache, so that it never reads a
// row: rows read in a run's order would lie scattered over memory. Only
// rows whose fractions are equal (the same latitude, mostly) are read, to
// order them exactly.
//
// A single pass into buckets of a handful of rows (millions of buckets for
// millions of rows) would scatter every count and every place over memory
// instead, and sorting on the rows' own latitudes would read each row twice.
#pragma once

#include "core/list/camera_table.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tabrino {

using RunStarts = std::vector<std::uint32_t, LargePageAllocator<std::uint32_t>>;
using RunFractions = std::vector<std::uint16_t, UninitialisedAllocator<std::uint16_t>>;

struct LatitudeRuns {
  RowPositions order;  // rows' places in file order, run after run
  RunStarts starts;    // where each run starts, the row count closing the last
  // For each place in `order`, where its row's latitude lies in its run's
  // span (0 to 65535, ascending with the latitude).
  RunFractions fractions;
};

// The places of rows[0, count) dealt into runs of nearby latitude, in
// ascending order of latitude from run to run, each run's places in file
// order. `lowest` and `highest` bound the rows' latitudes (a NaN aside);
// rows beyond them are still placed, at the ends. Two threads share the work.
LatitudeRuns dealLatitudeRuns(const CameraRow* rows, std::size_t count, double lowest, double highest);

// Rows at least this many are dealt into blocks (see latitude_blocks.h):
// a few million, where rows no longer fit the cache. Fewer keep the
// counted deal, which takes less memory: 6 bytes a row against 12.
inline constexpr std::size_t kBlockDealtFrom = 4000000;

// The places of rows[0, count) in latitude order, ties in file order and
// NaN last: dealt by dealLatitudeRuns and sorted by sortLatitudeRuns, two
// threads a half each, or from `blockDealtFrom` rows on dealt into blocks.
// `lowest` and `highest` are as for dealLatitudeRuns.
RowPositions latitudeOrder(const CameraRow* rows, std::size_t count, double lowest, double highest,
                           std::size_t blockDealtFrom = kBlockDealtFrom);

// Sorts the places of the runs [firstRun, lastRun) by latitude, ties in
// file order, rearranging their fractions alongside. Another thread may
// sort other runs at the same time.
void sortLatitudeRuns(const CameraRow* rows, RowPositions& order, RunFractions& fractions, const RunStarts& starts,
                      std::size_t firstRun, std::size_t lastRun);

}  // namespace tabrino
