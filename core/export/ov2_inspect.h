// Checks an OV2 file record by record, as a device would walk it: every
// record's length inside the file and its block, every name ended, every
// skipper's block inside its parent and its box around each POI under it.
// Any bytes may be given; the list of problems is bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

struct Ov2Problem {
  std::uint64_t offset;  // where the record that shows it begins
  std::string text;
};

// Problems past this many are counted, not listed.
inline constexpr std::size_t kMaxListedOv2Problems = 100;

struct Ov2Inspection {
  std::uint64_t fileSize = 0;
  std::uint64_t pois = 0;          // records of type 2
  std::uint64_t extendedPois = 0;  // type 3
  std::uint64_t deleted = 0;       // type 0
  std::uint64_t skippers = 0;      // type 1
  std::uint64_t largestLeaf = 0;   // the most POIs under a skipper with no skipper under it
  std::size_t depth = 0;           // skippers nested at most
  std::vector<Ov2Problem> problems;
  std::uint64_t unlistedProblems = 0;

  bool sound() const noexcept { return problems.empty() && unlistedProblems == 0; }
  std::uint64_t problemCount() const noexcept { return problems.size() + unlistedProblems; }
};

Ov2Inspection inspectOv2(std::string_view bytes);

// Whether these first bytes may begin an OV2 file: a record of a known type
// whose length is at least that type's least.
bool startsLikeOv2(std::string_view head) noexcept;

}  // namespace tabrino
