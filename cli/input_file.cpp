#include "cli/input_file.h"

#include "cli/output_folder.h"

namespace tabrino::cli {

void openInput(std::optional<InputFile>& input, const std::string& argument) {
  if (isStandardStream(argument)) {
    input.emplace(InputFile::StandardInput{});
  } else {
    input.emplace(argumentPath(argument), argument);
  }
}

}  // namespace tabrino::cli
