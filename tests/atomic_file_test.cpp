#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tabrino {
namespace {

namespace fs = std::filesystem;

void writeAll(const fs::path& path, const std::string& text) {
  AtomicFileWriter out(path);
  out.write(text);
  out.commit();
}

TEST(AtomicFile, AFileIsSeenOnlyWhenCompleteAndAnAbandonedOneLeavesNothing) {
  test::TempDir dir;
  {
    AtomicFileWriter out(dir / "new.txt");
    out.write(std::string(3 << 20, 'x'));  // past the write buffer
    EXPECT_FALSE(fs::exists(dir / "new.txt"));
#ifdef __linux__
    EXPECT_TRUE(dir.entries().empty());  // not even under another name
#endif
    out.commit();
  }
  EXPECT_EQ(fs::file_size(dir / "new.txt"), std::uintmax_t{3} << 20);

  writeAll(dir / "kept.txt", "earlier");
  {
    AtomicFileWriter abandoned(dir / "kept.txt");
    abandoned.write("later, never finished");
  }
  EXPECT_EQ(test::readText(dir / "kept.txt"), "earlier");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"kept.txt", "new.txt"}));

  EXPECT_THROW(AtomicFileWriter(dir / "missing folder" / "x.txt"), FileOpenError);
  EXPECT_THROW(AtomicFileWriter(dir.path()), FileOpenError);
}

TEST(AtomicFile, WritersAtOnceAreBoundedAndOneMoreIsRefusedBeforeItMakesAFile) {
  // Each writer holds a place in the interrupt handler's list of temporaries
  // for its whole life, so that none is ever left out of it.
  test::TempDir dir;
  std::vector<std::unique_ptr<AtomicFileWriter>> writers;
  for (std::size_t i = 0; i < kMaxWritersAtOnce; ++i) {
    writers.push_back(std::make_unique<AtomicFileWriter>(dir / ("file" + std::to_string(i) + ".txt")));
  }
  try {
    AtomicFileWriter oneMore(dir / "one more.txt");
    ADD_FAILURE() << "a writer past the bound was let in";
  } catch (const FileOpenError& error) {
    EXPECT_EQ(error.systemReason(), "more than " + std::to_string(kMaxWritersAtOnce) + " files written at once");
  }
  // A device takes no place: nothing of it is ever removed.
#ifndef _WIN32
  AtomicFileWriter device("/dev/null");
  device.write("x");
  device.commit();
#endif
  writers.front()->write("done");
  writers.front()->commit();
  writers.front().reset();  // its place is free again
  writeAll(dir / "one more.txt", "now");
  for (auto& writer : writers) {
    if (writer) writer->commit();
  }
  writers.clear();
  EXPECT_EQ(dir.entries().size(), kMaxWritersAtOnce + 1);
  EXPECT_EQ(test::readText(dir / "file0.txt"), "done");
  EXPECT_EQ(test::readText(dir / "one more.txt"), "now");
}

TEST(AtomicFile, SameFileSeesThroughLinksAndSpellings) {
  test::TempDir dir;
  test::writeText(dir / "a.txt", "a");
  test::writeText(dir / "b.txt", "b");
  EXPECT_TRUE(sameFile(dir / "a.txt", dir / "." / "a.txt"));
  EXPECT_FALSE(sameFile(dir / "a.txt", dir / "b.txt"));
  EXPECT_FALSE(sameFile(dir / "a.txt", dir / "missing.txt"));
  std::error_code ec;
  fs::create_hard_link(dir / "a.txt", dir / "hard.txt", ec);
  if (!ec) {
    EXPECT_TRUE(sameFile(dir / "a.txt", dir / "hard.txt"));
  }
#ifndef _WIN32
  fs::create_symlink(dir / "a.txt", dir / "link.txt");
  EXPECT_TRUE(sameFile(dir / "link.txt", dir / "a.txt"));
#endif
}

#ifndef _WIN32
TEST(AtomicFile, ReplacingKeepsModeAndLinks) {
  test::TempDir dir;
  writeAll(dir / "private.dbh", "old");
  fs::permissions(dir / "private.dbh", fs::perms::owner_read | fs::perms::owner_write);
  writeAll(dir / "private.dbh", "new");
  EXPECT_EQ(test::readText(dir / "private.dbh"), "new");
  EXPECT_EQ(fs::status(dir / "private.dbh").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  fs::create_directory(dir / "real");
  writeAll(dir / "real" / "target.dbh", "old");
  fs::create_symlink(fs::path("real") / "target.dbh", dir / "link.dbh");
  writeAll(dir / "link.dbh", "through the link");
  EXPECT_TRUE(fs::is_symlink(dir / "link.dbh"));
  EXPECT_EQ(test::readText(dir / "real" / "target.dbh"), "through the link");
}

TEST(AtomicFile, DevicesAreWrittenStraightThroughAndNeverRemoved) {
  writeAll("/dev/null", "gone");
  EXPECT_TRUE(fs::exists("/dev/null"));
  ASSERT_TRUE(fs::exists("/dev/full"));
  {
    AtomicFileWriter full("/dev/full");
    full.write("no room");
    EXPECT_THROW(full.commit(), FileWriteError);
  }
  EXPECT_TRUE(fs::exists("/dev/full"));
}
#endif

}  // namespace
}  // namespace tabrino
