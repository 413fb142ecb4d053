#include "cli/output_folder.h"

#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "core/platform/file_io.h"

#include <iostream>
#include <system_error>

namespace tabrino::cli {

std::filesystem::path argumentPath(const std::string& utf8) {
#if defined(__cpp_lib_char8_t)
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return std::filesystem::u8path(utf8);
#endif
}

std::unique_ptr<AtomicFileWriter> openOutput(const std::string& argument) {
  if (isStandardStream(argument)) return std::make_unique<AtomicFileWriter>(stdout, "standard output");
  return std::make_unique<AtomicFileWriter>(argumentPath(argument));
}

void checkOutputFolder(const std::filesystem::path& destination) {
  // A device or a pipe at the destination is written straight through:
  // opening it would already be a use of it. The conversion finds out.
  std::error_code ignored;
  const std::filesystem::file_status status = std::filesystem::status(destination, ignored);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return;
  // The conversion's own writer, never committed: it fails where the
  // conversion would, with the same message, and leaves nothing behind.
  const AtomicFileWriter probe(destination);
}

namespace {

// The same file, or, where neither exists yet, the same name once "." and
// ".." and links in the folders are resolved.
bool namesSameFile(const NamedFile& output, const NamedFile& other) {
  const std::filesystem::path& a = output.path;
  const std::filesystem::path& b = other.path;
  if (a.empty()) return false;
  // An input read through "-" is known by the file behind standard input.
  if (isStandardStream(other.given) && b.empty()) return isStandardInput(a);
  if (b.empty()) return false;
  if (sameFile(a, b)) return true;
  std::error_code ecA, ecB;
  const auto canonicalA = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ecA), ecA);
  const auto canonicalB = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ecB), ecB);
  return !ecA && !ecB && canonicalA == canonicalB;
}

// Two outputs given as "-": the message, or nothing.
std::optional<std::string> bothStandard(const std::vector<NamedFile>& files) {
  const NamedFile* first = nullptr;
  for (const NamedFile& file : files) {
    if (!isStandardStream(file.given)) continue;
    if (!first) {
      first = &file;
      continue;
    }
    return first->role + " and " + file.role +
           " are both standard output (-): only one can be; name a file for the other (nothing was read or written)";
  }
  return std::nullopt;
}

// Two inputs that cannot both be read: standard input twice, or one pipe
// (a FIFO, bash's <(...)) named twice, which the first reader would drain.
// A regular file may be read as often as it is named.
std::optional<std::string> readTwice(const std::vector<NamedFile>& inputs) {
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    for (std::size_t j = i + 1; j < inputs.size(); ++j) {
      const NamedFile& first = inputs[i];
      const NamedFile& second = inputs[j];
      if (isStandardStream(first.given) && isStandardStream(second.given)) {
        return "standard input (-) can be only one of the inputs: " + first.role + " and " + second.role +
               " both name it (nothing was read or written)";
      }
      if (first.path.empty() || second.path.empty() || !sameFile(first.path, second.path)) continue;
      std::error_code ignored;
      if (std::filesystem::is_regular_file(first.path, ignored)) continue;
      return first.role + " " + first.given + " and " + second.role + " " + second.given +
             " are the same pipe or device, which can be read only once (nothing was read or written)";
    }
  }
  return std::nullopt;
}

}  // namespace

NamedFile namedFile(std::string role, const std::string& given) {
  return {std::move(role), given, isStandardStream(given) ? std::filesystem::path() : argumentPath(given)};
}

std::optional<std::string> clashingFiles(const std::vector<NamedFile>& outputs, const std::vector<NamedFile>& inputs) {
  if (auto both = bothStandard(outputs)) return both;
  if (auto twice = readTwice(inputs)) return twice;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedFile& output = outputs[i];
    std::vector<const NamedFile*> others;
    for (const NamedFile& input : inputs) others.push_back(&input);
    for (std::size_t j = i + 1; j < outputs.size(); ++j) others.push_back(&outputs[j]);
    for (const NamedFile* other : others) {
      if (!namesSameFile(output, *other)) continue;
      const std::string otherName =
          isStandardStream(other->given) ? other->role + " on standard input" : other->role + " " + other->given;
      return output.role + " " + output.given + " is the same file as " + otherName +
             ": writing it would destroy that; choose another name (nothing was read or written)";
    }
  }
  return std::nullopt;
}

std::optional<std::string> readOnlyOutput(const std::vector<NamedFile>& outputs, bool force) {
  for (const NamedFile& output : outputs) {
    if (output.path.empty() || !isReadOnlyFile(output.path)) continue;
    if (!force) return output.given + " is read-only; not replaced (--force replaces it)";
    allowReplacing(output.path);
  }
  return std::nullopt;
}

std::optional<int> refuseUnsafeFiles(const std::vector<NamedFile>& outputs, const std::vector<NamedFile>& inputs,
                                     bool force) {
  if (const auto clash = clashingFiles(outputs, inputs)) {
    std::cerr << messagePrefix() << *clash << "\n";
    return kUsage;
  }
  for (const NamedFile& output : outputs) {
    if (output.path.empty()) continue;
    try {
      checkLinkMayBeFollowed(output.path, output.given);
    } catch (const UnsafeLinkError& error) {
      printError(std::cerr, error);
      return kUsage;
    }
  }
  if (const auto readOnly = readOnlyOutput(outputs, force)) {
    std::cerr << messagePrefix() << *readOnly << "\n";
    return kFailure;
  }
  return std::nullopt;
}

}  // namespace tabrino::cli
