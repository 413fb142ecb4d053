// Failures that a user must hear about. Each carries the product's own message
// text (what the user is shown first) and, where the operating system gave
// one, its reason; front ends decide how to present them.
#pragma once

#include <stdexcept>
#include <string>

namespace tabrino {

class TabrinoError : public std::runtime_error {
 public:
  TabrinoError(std::string messageText, std::string systemReason)
      : std::runtime_error(systemReason.empty() ? messageText : messageText + " (" + systemReason + ")"),
        messageText_(std::move(messageText)),
        systemReason_(std::move(systemReason)) {}

  const std::string& messageText() const noexcept { return messageText_; }
  const std::string& systemReason() const noexcept { return systemReason_; }

 private:
  std::string messageText_;
  std::string systemReason_;
};

// The output file could not be created (or put in place).
class FileOpenError : public TabrinoError {
 public:
  FileOpenError(const std::string& path, std::string systemReason)
      : TabrinoError("File open Error : " + path, std::move(systemReason)) {}
};

// Writing the output failed part-way; nothing was put in place.
class FileWriteError : public TabrinoError {
 public:
  FileWriteError(const std::string& path, std::string systemReason)
      : TabrinoError("File write Error : " + path, std::move(systemReason)) {}
};

// A symbolic link that another user put in a folder everyone may write to
// (such as /tmp): following it would let them choose what gets replaced.
class UnsafeLinkError : public TabrinoError {
 public:
  explicit UnsafeLinkError(const std::string& path)
      : TabrinoError(path + " is a link another user made in a shared folder (sticky and writable by all); "
                            "it is not followed: remove it or write elsewhere",
                     std::string()) {}
};

// Writing to standard output failed (a closed pipe, a full disk behind it):
// said as such, since there is no file to name.
class StandardOutputError : public FileWriteError {
 public:
  explicit StandardOutputError(std::string systemReason) : FileWriteError("standard output", std::move(systemReason)) {}
};

// Reading an input file failed part-way.
class FileReadError : public TabrinoError {
 public:
  FileReadError(const std::string& path, std::string systemReason)
      : TabrinoError("File read Error : " + path, std::move(systemReason)) {}
};

// More than the program can count: rows beyond what a table addresses, a
// list text beyond what one string holds, records beyond what a database's
// header can size. Memory is not what ran out, so a message of its own says
// what did.
class TooLargeError : public TabrinoError {
 public:
  explicit TooLargeError(std::string messageText) : TabrinoError(std::move(messageText), std::string()) {}
};

}  // namespace tabrino
