// A stored coordinate written back as degrees, so that converting the text
// again gives the very same value: dumps, exports and messages use it.
#pragma once

#include <cstdint>
#include <string>

namespace tabrino {

// Degrees with the fewest decimals that scale back to `scaled` under the
// conversion's truncation ("0.0003" would give 2, so 3 is "0.00031").
std::string coordinateText(std::int32_t scaled);

}  // namespace tabrino
