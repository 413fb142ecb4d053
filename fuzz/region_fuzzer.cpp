// libFuzzer target: any bytes read as a region file (.poly or GeoJSON) give
// a region or a RegionError, never a crash, another exception or a read
// outside them. The bytes read through a stream give the same message or a
// region with the same answers, and no region holds a point west or north of
// all its edges.
#include "core/filter/region.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

namespace {

// Whether each of points all over the map, and some near 0, is inside.
std::string answers(const tabrino::Region& region) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min(), kMax = std::numeric_limits<std::int32_t>::max();
  if (region.contains(0, kMin) || region.contains(kMax, 0)) std::abort();
  std::string inside;
  for (std::int32_t latitude = -900000; latitude <= 900000; latitude += 112500) {
    for (std::int32_t longitude = -1800000; longitude <= 1800000; longitude += 225000) {
      inside += region.contains(latitude, longitude) ? '1' : '0';
    }
  }
  for (std::int32_t step = -3; step <= 3; ++step) inside += region.contains(step, step) ? '1' : '0';
  return inside;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tabrino;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string message, inside;
  try {
    inside = answers(Region::parse(text, "fuzz"));
  } catch (const RegionError& error) {
    message = error.messageText();
  }

  if (size == 0) return 0;
  std::FILE* const stream = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (!stream) return 0;
  try {
    const std::string again = answers(Region::read(stream, "fuzz"));
    if (!message.empty() || again != inside) std::abort();
  } catch (const RegionError& error) {
    if (error.messageText() != message) std::abort();
  }
  std::fclose(stream);
  return 0;
}
