#include "core/list/latitude_order.h"

#include "core/base/parallel.h"
#include "core/list/latitude_blocks.h"
#include "core/list/latitude_runs.h"

#include <algorithm>
#include <cstring>

namespace tabrino {

LatitudeRuns dealLatitudeRuns(const CameraRow* rows, std::size_t count, double lowest, double highest) {
  LatitudeRuns runs;
  if (count < 2) {
    runs.order.resize(count);
    runs.fractions.resize(count);
    if (count == 1) runs.order[0] = runs.fractions[0] = 0;
    runs.starts.assign({0, static_cast<std::uint32_t>(count)});
    return runs;
  }
  const LatitudeSpread spread(std::clamp(lowest, -kEdgeDegrees, kEdgeDegrees),
                              std::clamp(highest, -kEdgeDegrees, kEdgeDegrees), count / kRunRows);
  const std::size_t slots = spread.runs();
  const std::size_t half = count / 2;

  // Each half of the rows counts its rows per run; run r then takes places
  // [starts[r], starts[r + 1]), the first half's rows before the second's,
  // each in file order.
  RunStarts firstAt(slots + 1, 0), secondAt(slots + 1, 0);
  auto countRows = [&](RunStarts& counts, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) ++counts[spread.of(rows[i].latitude).run];
  };
  inParallel([&] { countRows(firstAt, 0, half); }, [&] { countRows(secondAt, half, count); });
  std::uint32_t place = 0;
  for (std::size_t r = 0; r < slots; ++r) {
    const std::uint32_t inFirst = firstAt[r], inSecond = secondAt[r];
    firstAt[r] = place;
    secondAt[r] = place + inFirst;
    place += inFirst + inSecond;
  }
  runs.order.resize(count);
  runs.fractions.resize(count);
  auto deal = [&](RunStarts& next, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      const LatitudeSpread::Place at = spread.of(rows[i].latitude);
      const std::uint32_t p = next[at.run]++;
      runs.order[p] = static_cast<std::uint32_t>(i);
      runs.fractions[p] = static_cast<std::uint16_t>(at.fraction >> 16);
    }
  };
  inParallel([&] { deal(firstAt, 0, half); }, [&] { deal(secondAt, half, count); });
  // Each run's second half now ends where the next run starts: moved on by
  // one, those ends are the starts.
  std::memmove(secondAt.data() + 1, secondAt.data(), slots * sizeof(std::uint32_t));
  secondAt[0] = 0;
  runs.starts.swap(secondAt);
  return runs;
}

void sortLatitudeRuns(const CameraRow* rows, RowPositions& order, RunFractions& fractions, const RunStarts& starts,
                      std::size_t firstRun, std::size_t lastRun) {
  RunSorter<std::uint16_t> sorter(rows, order.data(), fractions.data());
  for (std::size_t r = firstRun; r < lastRun; ++r) sorter.sort(starts[r], starts[r + 1]);
  sorter.settleTies();
}

RowPositions latitudeOrder(const CameraRow* rows, std::size_t count, double lowest, double highest,
                           std::size_t blockDealtFrom) {
  const LatitudeSpread spread(std::clamp(lowest, -kEdgeDegrees, kEdgeDegrees),
                              std::clamp(highest, -kEdgeDegrees, kEdgeDegrees), count / kRunRows);
  if (count >= std::max<std::size_t>(blockDealtFrom, 2) && blocksHold(count, spread.runs())) {
    return blockDealtOrder(rows, count, spread);
  }
  LatitudeRuns runs = dealLatitudeRuns(rows, count, lowest, highest);
  const std::size_t middle = halfwayRun(runs.starts);
  inParallel([&] { sortLatitudeRuns(rows, runs.order, runs.fractions, runs.starts, 0, middle); },
             [&] { sortLatitudeRuns(rows, runs.order, runs.fractions, runs.starts, middle, runs.starts.size() - 1); });
  return std::move(runs.order);
}

}  // namespace tabrino
