// The few file operations the core needs, over the C runtime, with paths that
// may hold any characters on every platform (wide paths on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace tabrino {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// fopen with a path of any characters; errno tells why it failed.
UniqueFile openFile(const std::filesystem::path& path, const char* mode);

// Moves to a byte offset, beyond 2 GiB too on every platform.
bool seekTo(std::FILE* file, std::uint64_t offset) noexcept;

// Pushes written data through to the storage device, so that a file reported
// as written survives a crash of the system right after.
bool syncToDisk(std::FILE* file) noexcept;

// The operating system's description of an errno value.
std::string systemErrorText(int errorNumber);

// A path as the user should read it in a message (UTF-8 on every platform).
std::string displayPath(const std::filesystem::path& path);

}  // namespace tabrino
