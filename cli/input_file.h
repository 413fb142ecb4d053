// The input a command-line word names, opened once: "-" is standard input.
#pragma once

#include "core/run/input_file.h"

#include <optional>
#include <string>

namespace tabrino::cli {

using tabrino::InputFile;

// Opens `argument` into `input`.
void openInput(std::optional<InputFile>& input, const std::string& argument);

}  // namespace tabrino::cli
