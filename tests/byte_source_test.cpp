// A database read from a stream that cannot seek.
#include "core/platform/byte_source.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tabrino {
namespace {

// A stream holding `bytes`, read from its start.
UniqueFile streamOf(const std::vector<std::uint8_t>& bytes) {
  UniqueFile file = openTemporaryFile();
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
  std::rewind(file.get());
  return file;
}

std::vector<std::uint8_t> pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

TEST(StreamSource, ReadsAnyRangeAcrossItsBlocks) {
  const std::size_t mebibyte = std::size_t{1} << 20;
  for (const std::size_t size : {std::size_t{0}, std::size_t{5}, mebibyte, 2 * mebibyte + 3}) {
    const std::vector<std::uint8_t> bytes = pattern(size);
    const UniqueFile stream = streamOf(bytes);
    StreamSource source(stream.get(), "standard input");
    ASSERT_EQ(source.size(), size);
    if (size < 4) continue;
    // Whole, and a range that straddles the first block's end where there is one.
    std::vector<std::uint8_t> all(size);
    source.read(0, all.data(), size);
    EXPECT_EQ(all, bytes) << size;
    const std::uint64_t from = size > mebibyte ? mebibyte - 2 : 1;
    std::vector<std::uint8_t> part(3);
    source.read(from, part.data(), part.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from))) << size;
    EXPECT_THROW(source.read(size - 1, part.data(), 2), FileReadError);
  }
}

TEST(StreamSource, TakesTheBytesReadBeforeAsItsStart) {
  const std::size_t mebibyte = std::size_t{1} << 20;
  for (const std::size_t size : {std::size_t{3}, std::size_t{4}, mebibyte + 5}) {
    const std::vector<std::uint8_t> bytes = pattern(size);
    const UniqueFile stream = streamOf(bytes);
    std::string head(4, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), stream.get()));
    StreamSource source(stream.get(), "standard input", head);
    ASSERT_EQ(source.size(), size);
    std::vector<std::uint8_t> all(size);
    source.read(0, all.data(), size);
    EXPECT_EQ(all, bytes) << size;
  }
}

TEST(StreamSource, RefusesMoreThanItsLimitAndSaysSo) {
  const UniqueFile stream = streamOf(pattern((std::size_t{1} << 20) + 1));
  try {
    StreamSource source(stream.get(), "standard input", {}, std::uint64_t{1} << 20);
    FAIL() << "no error";
  } catch (const FileReadError& error) {
    EXPECT_EQ(error.messageText(), "File read Error : standard input");
    EXPECT_EQ(error.systemReason(), "more than 1 MiB; give the file's name instead of piping it");
  }
}

}  // namespace
}  // namespace tabrino
