#include "core/platform/text_reader.h"

#include "core/platform/file_io.h"

#include <algorithm>

namespace tabrino {
namespace {

// As large as the list reader's blocks: each is parsed as it comes.
constexpr std::size_t kBlockSize = std::size_t{2} << 20;

}  // namespace

TextReader::TextReader(std::FILE* file, std::string& text)
    : file_(file), text_(text), size_(text.size()), thread_([this] { run(); }) {}

TextReader::~TextReader() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  thread_.join();
}

TextReader::Progress TextReader::waitBeyond(std::size_t seen) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return size_ > seen || ended_; });
  return {size_, ended_};
}

void TextReader::run() {
  for (;;) {
    const std::size_t before = text_.size();
    const std::size_t room = std::min(kBlockSize, text_.capacity() - before);
    std::size_t got = 0;
    bool failed = false;
    std::error_code failure;
    if (room > 0) {
      text_.resize(before + room);
      clearSystemError();
      got = std::fread(&text_[before], 1, room, file_);
      text_.resize(before + got);
      if (got == 0 && std::ferror(file_)) failed = true, failure = lastSystemError();
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    size_ = before + got;
    if (got == 0 || stop_) {
      ended_ = true;
      failed_ = failed;
      failure_ = failure;
      full_ = room == 0;
    }
    changed_.notify_all();
    if (ended_) return;
  }
}

}  // namespace tabrino
