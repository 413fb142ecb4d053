// Where a conversion's time goes: converts one list as `tabrino convert`
// does and prints the wall time of each phase, best of RUNS runs:
//
//   read     the list's bytes read in blocks and nothing else (what cat does)
//   import   read and parse into the table
//   sort     the rows put in latitude order
//   encode   records encoded and handed to the file (until the last block)
//   sync     the file completed, flushed to the disk and named
//
//   phases LIST OUTPUT_DIR [RUNS]
#include "core/convert/conversion_run.h"
#include "core/list/camera_table.h"
#include "core/list/text_import.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double readOnly(const char* path) {
  const auto start = Clock::now();
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return 0;
  std::vector<char> block(std::size_t{2} << 20);
  while (std::fread(block.data(), 1, block.size(), file) > 0) {
  }
  std::fclose(file);
  return secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: phases LIST OUTPUT_DIR [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  enum { Read, Import, Sort, Encode, Sync, Phases };
  const char* const names[Phases] = {"read", "import", "sort", "encode", "sync"};
  double best[Phases];
  std::fill(best, best + Phases, 1e9);
  for (int run = 0; run < runs; ++run) {
    double took[Phases];
    took[Read] = readOnly(argv[1]);
    tabrino::CameraTable table;
    auto start = Clock::now();
    if (!tabrino::importCameraList(argv[1], table).loaded()) {
      std::fprintf(stderr, "phases: cannot read %s\n", argv[1]);
      return 1;
    }
    took[Import] = secondsSince(start);
    start = Clock::now();
    table.sortByLatitude();
    took[Sort] = secondsSince(start);
    tabrino::ConversionSettings settings{argv[2], {2014, 11, 14}, tabrino::drawRandomBlock(1)};
    Clock::time_point lastBlock;
    start = Clock::now();
    tabrino::writeCameraDatabase(table, settings, [&](std::uint64_t, std::uint64_t) { lastBlock = Clock::now(); });
    took[Encode] = std::chrono::duration<double>(lastBlock - start).count();
    took[Sync] = secondsSince(lastBlock);
    for (int phase = 0; phase < Phases; ++phase) best[phase] = std::min(best[phase], took[phase]);
  }
  for (int phase = 0; phase < Phases; ++phase) std::printf("%-7s %7.1f ms\n", names[phase], best[phase] * 1000);
  std::printf("(best of %d runs each; import includes its own read)\n", runs);
}
