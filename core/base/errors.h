// Failures that a user must hear about. Each carries the product's own message
// text (what the user is shown first) and, where the operating system gave
// one, its error code; front ends decide how to present them, and put the
// code into words only where they show it.
#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace tabrino {

class TabrinoError : public std::runtime_error {
 public:
  // A failure the system gave a reason for: errno (generic category), or on
  // Windows a Win32 error (system category).
  TabrinoError(std::string messageText, std::error_code code)
      : std::runtime_error(withReason(messageText, code ? code.message() : std::string())),
        messageText_(std::move(messageText)),
        code_(code) {}
  // A failure in the program's own words, or with no reason at all.
  explicit TabrinoError(std::string messageText, std::string ownReason = std::string())
      : std::runtime_error(withReason(messageText, ownReason)),
        messageText_(std::move(messageText)),
        ownReason_(std::move(ownReason)) {}

  const std::string& messageText() const noexcept { return messageText_; }
  // The system's error; empty when the reason is the program's own.
  const std::error_code& code() const noexcept { return code_; }
  // The program's own words for the reason; empty where the system gave a code.
  const std::string& ownReason() const noexcept { return ownReason_; }
  // The reason in words: the code's message, else the program's own words
  // (or nothing). On Windows the system category words a code in the ANSI
  // code page: what a front end prints goes through errorText()
  // (core/platform/file_io.h), which gives UTF-8 on every platform.
  std::string systemReason() const { return code_ ? code_.message() : ownReason_; }

 private:
  static std::string withReason(const std::string& messageText, const std::string& reason) {
    return reason.empty() ? messageText : messageText + " (" + reason + ")";
  }

  std::string messageText_;
  std::error_code code_;
  std::string ownReason_;
};

// The output file could not be created (or put in place).
class FileOpenError : public TabrinoError {
 public:
  FileOpenError(const std::string& path, std::error_code code) : TabrinoError("File open Error : " + path, code) {}
  FileOpenError(const std::string& path, std::string ownReason)
      : TabrinoError("File open Error : " + path, std::move(ownReason)) {}
};

// Writing the output failed part-way; nothing was put in place.
class FileWriteError : public TabrinoError {
 public:
  FileWriteError(const std::string& path, std::error_code code) : TabrinoError("File write Error : " + path, code) {}
};

// A symbolic link that another user put in a folder everyone may write to
// (such as /tmp): following it would let them choose what gets replaced.
class UnsafeLinkError : public TabrinoError {
 public:
  explicit UnsafeLinkError(const std::string& path)
      : TabrinoError(path + " is a link another user made in a shared folder (sticky and writable by all); "
                            "it is not followed: remove it or write elsewhere") {}
};

// Writing to standard output failed (a closed pipe, a full disk behind it):
// said as such, since there is no file to name.
class StandardOutputError : public FileWriteError {
 public:
  explicit StandardOutputError(std::error_code code) : FileWriteError("standard output", code) {}
};

// Reading an input file failed part-way.
class FileReadError : public TabrinoError {
 public:
  FileReadError(const std::string& path, std::error_code code) : TabrinoError("File read Error : " + path, code) {}
  FileReadError(const std::string& path, std::string ownReason)
      : TabrinoError("File read Error : " + path, std::move(ownReason)) {}
};

// More than the program can count: rows beyond what a table addresses, a
// list text beyond what one string holds, records beyond what a database's
// header can size. Memory is not what ran out, so a message of its own says
// what did.
class TooLargeError : public TabrinoError {
 public:
  explicit TooLargeError(std::string messageText) : TabrinoError(std::move(messageText)) {}
};

}  // namespace tabrino
