// Paths from the command line, and a look at the output folder before any
// work is done.
#pragma once

#include "core/platform/file_io.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabrino::cli {

// "-" stands for standard input or output.
inline bool isStandardStream(const std::string& argument) { return argument == "-"; }

// A path from a command-line word, which is UTF-8 on every platform.
std::filesystem::path argumentPath(const std::string& utf8);

// Where an output goes: standard output for "-" (left open), else a file
// that appears only once complete. Throws FileOpenError.
std::unique_ptr<AtomicFileWriter> openOutput(const std::string& argument);

// Opens (and drops) a writer for destination, so that a folder that is
// missing or not writable fails at once rather than after the whole list was
// read. Throws FileOpenError naming destination, as the conversion would.
void checkOutputFolder(const std::filesystem::path& destination);

// A file a command reads or writes, as the user named it.
struct NamedFile {
  std::string role;             // "--report", "the list", ...
  std::string given;            // as the user wrote it
  std::filesystem::path path;   // empty for a standard stream
};

// A file the user named, or standard input or output for "-".
NamedFile namedFile(std::string role, const std::string& given);

// Refuses, before anything is read, an output that names the same file as an
// input or another output of the run (through a link or another spelling
// too): writing it would destroy the other. Returns the message for the
// user, or nothing when every output stands apart. An input given as "-" is
// the file behind standard input; an output given as "-" is standard output,
// which only one output may take. Inputs that cannot all be read are refused
// too: standard input named twice, or the same pipe named twice.
std::optional<std::string> clashingFiles(const std::vector<NamedFile>& outputs, const std::vector<NamedFile>& inputs);

// Refuses, before anything is read, to replace an output the user marked
// read-only, unless `force`; with it, makes such outputs replaceable.
// Returns the message for the user, or nothing.
std::optional<std::string> readOnlyOutput(const std::vector<NamedFile>& outputs, bool force);

// Both checks above, as a command makes them before it reads anything: says
// why a run may not go on and returns its exit status, or nothing.
std::optional<int> refuseUnsafeFiles(const std::vector<NamedFile>& outputs, const std::vector<NamedFile>& inputs,
                                     bool force);

}  // namespace tabrino::cli
