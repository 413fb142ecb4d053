// Help text that fits the screen: CLI11 lays out each option on one line,
// however long its description.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace tabrino::cli {

// The width of the terminal behind stream; kDefaultColumns when it is none
// (a pipe, a file) or does not say.
inline constexpr std::size_t kDefaultColumns = 80;
std::size_t terminalColumns(std::FILE* stream) noexcept;

// Each line longer than width broken at spaces; a continued line is indented
// to where the description began (the column after the option's name), or
// to the line's own indent. A word longer than the room left stands alone.
std::string wrapHelp(std::string_view text, std::size_t width);

}  // namespace tabrino::cli
