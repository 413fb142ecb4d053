#include "core/list/latitude_blocks.h"

#include "core/base/parallel.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace tabrino {
namespace {

// Entries a block holds: each run's entries lie in a chain of blocks.
constexpr std::size_t kBlockEntries = 64;

// One thread's share of the rows dealt into runs without counting them
// first: each run writes its entries (fraction above row, as RunSorter
// takes them) into a block of its own, and takes a fresh block from the pool
// as one fills. Every run starts with a block, and takes the next as soon
// as one is full, so the pool holds the rows' blocks and two per run.
class BlockDeal {
 public:
  BlockDeal(std::size_t rows, std::size_t runs)
      : pool_((rows / kBlockEntries + 2 * runs + 1) * kBlockEntries), next_(runs), links_(pool_.size() / kBlockEntries),
        free_(static_cast<std::uint32_t>(runs)) {
    for (std::size_t r = 0; r < runs; ++r) next_[r] = static_cast<std::uint32_t>(r * kBlockEntries);
  }
  // The pool's entries are counted in 32 bits.
  static bool fits(std::size_t rows, std::size_t runs) noexcept {
    return rows / kBlockEntries + 2 * runs + 1 <= std::numeric_limits<std::uint32_t>::max() / kBlockEntries;
  }

  void deal(const CameraRow* rows, std::size_t from, std::size_t to, const LatitudeSpread& spread) noexcept {
    for (std::size_t i = from; i < to; ++i) {
      const LatitudeSpread::Place at = spread.of(rows[i].latitude);
      std::uint32_t& next = next_[at.run];
      pool_[next++] = (std::uint64_t{at.fraction} << 32) | static_cast<std::uint32_t>(i);
      if (next % kBlockEntries == 0) {
        links_[next / kBlockEntries - 1] = free_;
        next = free_++ * static_cast<std::uint32_t>(kBlockEntries);
      }
    }
  }

  std::size_t rowsIn(std::size_t run) const noexcept {
    std::size_t rows = 0;
    for (std::size_t block = run; block != next_[run] / kBlockEntries; block = links_[block]) rows += kBlockEntries;
    return rows + next_[run] % kBlockEntries;
  }
  // Copies the run's entries, in the order dealt, to `out`; returns where they end.
  std::uint64_t* copyRun(std::size_t run, std::uint64_t* out) const noexcept {
    forEachBlock(run, [&](const std::uint64_t* entries, std::size_t count) { out = std::copy_n(entries, count, out); });
    return out;
  }
  // The same split into rows and fractions; returns where they end.
  std::size_t splitRun(std::size_t run, std::uint32_t* rows, std::uint32_t* fractions) const noexcept {
    std::size_t at = 0;
    forEachBlock(run, [&](const std::uint64_t* entries, std::size_t count) {
      for (std::size_t j = 0; j < count; ++j, ++at) {
        rows[at] = static_cast<std::uint32_t>(entries[j]);
        fractions[at] = static_cast<std::uint32_t>(entries[j] >> 32);
      }
    });
    return at;
  }

 private:
  template <typename Take>
  void forEachBlock(std::size_t run, Take take) const noexcept {
    const std::size_t last = next_[run] / kBlockEntries;
    std::size_t block = run;
    for (; block != last; block = links_[block]) take(pool_.data() + block * kBlockEntries, kBlockEntries);
    take(pool_.data() + block * kBlockEntries, next_[run] % kBlockEntries);
  }

  std::vector<std::uint64_t, UninitialisedAllocator<std::uint64_t>> pool_;
  std::vector<std::uint32_t> next_;   // where each run writes its next entry
  std::vector<std::uint32_t> links_;  // the block that follows each full block of a run
  std::uint32_t free_;                // the pool's first block not taken
};

// Sorts the runs [firstRun, lastRun) of the two halves' deals into `order`.
void sortDealtRuns(const CameraRow* rows, const BlockDeal& first, const BlockDeal& second, const RunStarts& starts,
                   RowPositions& order, std::size_t firstRun, std::size_t lastRun) {
  RunSorter<std::uint32_t> sorter(rows, order.data(), nullptr);
  std::vector<std::uint32_t, UninitialisedAllocator<std::uint32_t>> fractions;
  for (std::size_t r = firstRun; r < lastRun; ++r) {
    const std::size_t count = starts[r + 1] - starts[r];
    if (count <= kCopiedAtMost) {
      second.copyRun(r, first.copyRun(r, sorter.entries(count)));
      sorter.sortEntries(starts[r], count);
      continue;
    }
    // A crowded run is split in place, as a counted deal's run is: only its
    // fractions take room of their own.
    fractions.resize(count);
    std::uint32_t* const places = order.data() + starts[r];
    const std::size_t inFirst = first.splitRun(r, places, fractions.data());
    second.splitRun(r, places + inFirst, fractions.data() + inFirst);
    RunSorter<std::uint32_t> crowded(rows, places, fractions.data());
    crowded.sort(0, count);
    crowded.settleTies();
  }
  sorter.settleTies();
}

}  // namespace

RowPositions blockDealtOrder(const CameraRow* rows, std::size_t count, const LatitudeSpread& spread) {
  const std::size_t half = count / 2;
  BlockDeal first(half, spread.runs()), second(count - half, spread.runs());
  inParallel([&] { first.deal(rows, 0, half, spread); }, [&] { second.deal(rows, half, count, spread); });
  RunStarts starts(spread.runs() + 1, 0);
  for (std::size_t r = 0; r < spread.runs(); ++r) {
    starts[r + 1] = starts[r] + static_cast<std::uint32_t>(first.rowsIn(r) + second.rowsIn(r));
  }
  RowPositions order(count);
  const std::size_t middle = halfwayRun(starts);
  inParallel([&] { sortDealtRuns(rows, first, second, starts, order, 0, middle); },
             [&] { sortDealtRuns(rows, first, second, starts, order, middle, spread.runs()); });
  return order;
}

bool blocksHold(std::size_t count, std::size_t runs) noexcept { return BlockDeal::fits(count, runs); }

}  // namespace tabrino
