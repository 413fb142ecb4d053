// Rows put in latitude order, ties in file order and NaN last, in two
// passes that each stay in the cache at any size. The first reads the rows
// as they lie in memory and deals their places into runs of nearby
// latitude, a few thousand rows each: few enough runs that the counts and
// the runs' write heads stay in the cache. The second sorts each run on a
// copy of its keys, which fits the cache too: the keys are dealt into
// buckets of a handful of rows, and each bucket's rows are ranked. A single
// pass into buckets of a handful (millions of buckets for millions of rows)
// would scatter every count and every place over memory instead.
#pragma once

#include "core/list/camera_table.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tabrino {

// Where each run starts, the row count closing the last.
using RunStarts = std::vector<std::uint32_t, LargePageAllocator<std::uint32_t>>;

// The places of rows[0, count) dealt into runs of nearby latitude, in
// ascending order of latitude from run to run, each run's places in file
// order; `starts` gets where each run starts. `lowest` and `highest` bound
// the rows' latitudes (a NaN aside); rows beyond them are still placed, at
// the ends. Two threads share the work.
RowPositions latitudeRuns(const CameraRow* rows, std::size_t count, double lowest, double highest,
                          RunStarts& starts);

// Sorts the places of the runs [firstRun, lastRun) by latitude, ties in
// file order. Reads rows ahead only up to the end of lastRun: another thread
// may sort the runs past it at the same time.
void sortLatitudeRuns(const CameraRow* rows, RowPositions& order, const RunStarts& starts, std::size_t firstRun,
                      std::size_t lastRun);

}  // namespace tabrino
