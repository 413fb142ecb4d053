// Paths from the command line, and a look at the output folder before any
// work is done.
#pragma once

#include <filesystem>
#include <string>

namespace tabrino::cli {

// "-" stands for standard input or output.
inline bool isStandardStream(const std::string& argument) { return argument == "-"; }

// A path from a command-line word, which is UTF-8 on every platform.
std::filesystem::path argumentPath(const std::string& utf8);

// Opens (and drops) a writer for destination, so that a folder that is
// missing or not writable fails at once rather than after the whole list was
// read. Throws FileOpenError naming destination, as the conversion would.
void checkOutputFolder(const std::filesystem::path& destination);

}  // namespace tabrino::cli
