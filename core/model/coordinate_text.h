// A stored coordinate written back as degrees, two ways. A list must convert
// back to the very same bytes, and conversion truncates, so dumps and
// messages write the shortest text that does. Every other reader (GIS tools,
// browsers) takes a number for the place it names, so exports write the
// stored value itself.
#pragma once

#include <cstdint>
#include <string>

namespace tabrino {

// Degrees with the fewest decimals that scale back to `scaled` under the
// conversion's truncation ("0.0003" would give 2, so 3 is "0.00031").
std::string coordinateText(std::int32_t scaled);

// Exactly scaled / 10000 in decimal, without trailing zeros: 409709 is
// "40.9709", 409700 "40.97", -5 "-0.0005". Made from the integer's digits,
// never through a double.
std::string exactCoordinateText(std::int32_t scaled);

}  // namespace tabrino
