// Reads the rest of an open file into a string on a thread of its own, so
// that what has come can be worked on while the rest comes: a list of
// millions of lines is parsed as it is read. The string grows only into the
// room it already has, so its bytes never move while the reader runs.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace tabrino {

class TextReader {
 public:
  // Reads `file` into `text` after what it holds, until the file ends, a
  // read fails or the text's room is full. Until the reader is destroyed,
  // only the reader touches `text`: others read the bytes it has reported.
  TextReader(std::FILE* file, std::string& text);
  // Stops the reading at its next block and waits for it.
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  struct Progress {
    std::size_t size;  // of the text, every byte of it read
    bool ended;        // nothing more will come
  };
  // Waits until the text holds more than `seen` bytes, or the reading has ended.
  Progress waitBeyond(std::size_t seen);
  // Once ended: whether a read failed (and the system's reason), or the
  // room ran out before the file's end.
  bool failed() const noexcept { return failed_; }
  const std::error_code& failure() const noexcept { return failure_; }
  bool full() const noexcept { return full_; }

 private:
  void run();

  std::FILE* file_;
  std::string& text_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t size_;
  bool ended_ = false;
  bool stop_ = false;
  bool failed_ = false;
  bool full_ = false;
  std::error_code failure_;
  std::thread thread_;  // last: started once the rest is set
};

}  // namespace tabrino
