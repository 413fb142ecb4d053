// A failure of the system carries its code, not only its words: errno on
// Linux, on Windows the Win32 error behind the failure, so that the dialog
// can show the system's own message for it.
#include "core/base/errors.h"
#include "core/base/utf8_text.h"
#include "core/platform/byte_source.h"
#include "core/platform/file_io.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tabrino {
namespace {

#ifdef _WIN32
// What CreateFile answers, where the C runtime would say ENOENT for both.
const std::error_code kNoFile(ERROR_FILE_NOT_FOUND, std::system_category());
const std::error_code kNoFolder(ERROR_PATH_NOT_FOUND, std::system_category());
// A handle without read access: ReadFile's own error, once reduced to EIO.
const std::error_code kWriteOnlyRead(ERROR_ACCESS_DENIED, std::system_category());
#else
const std::error_code kNoFile = std::make_error_code(std::errc::no_such_file_or_directory);
const std::error_code kNoFolder = kNoFile;
const std::error_code kWriteOnlyRead = std::make_error_code(std::errc::bad_file_descriptor);
#endif

TEST(SystemErrors, AFailureCarriesTheSystemsCodeAndSaysItInItsWords) {
  test::TempDir dir;
  const std::string missing = displayPath(dir / "missing.dbh");
  const std::string inMissingFolder = displayPath(dir / "no folder" / "DB_141114.dbh");
  const std::string folder = displayPath(dir.path());
  struct Case {
    const char* what;
    std::function<void()> fail;
    std::error_code code;
    std::string messageText;
  };
  const Case cases[] = {
      {"a missing file read", [&] { FileSource source(dir / "missing.dbh"); }, kNoFile, "File open Error : " + missing},
      {"a folder read as a file", [&] { FileSource source(dir.path()); }, folderNotFileError(),
       "File open Error : " + folder},
      {"a file written in a missing folder", [&] { AtomicFileWriter writer(dir / "no folder" / "DB_141114.dbh"); },
       kNoFolder, "File open Error : " + inMissingFolder},
      {"a file written over a folder", [&] { AtomicFileWriter writer(dir.path()); }, folderNotFileError(),
       "File open Error : " + folder},
  };
  for (const Case& c : cases) {
    try {
      c.fail();
      ADD_FAILURE() << c.what << ": no error";
    } catch (const TabrinoError& error) {
      EXPECT_EQ(error.code(), c.code) << c.what << ": " << error.code().message();
      EXPECT_EQ(error.messageText(), c.messageText) << c.what;
      EXPECT_EQ(error.systemReason(), c.code.message()) << c.what;
      EXPECT_EQ(error.ownReason(), "") << c.what;
      EXPECT_EQ(std::string(error.what()), c.messageText + " (" + c.code.message() + ")") << c.what;
    }
  }
  // Whatever the platform's own code, it means what it says.
  try {
    FileSource source(dir / "missing.dbh");
    ADD_FAILURE() << "no error";
  } catch (const FileOpenError& error) {
    EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
  }
}

// What the command line prints: errno's words as they always were, a Win32
// error's in UTF-8 whatever the system's language, and nothing for no code.
TEST(SystemErrors, ACodeIsWordedInUtf8) {
  EXPECT_EQ(errorText(std::make_error_code(std::errc::no_such_file_or_directory)), "No such file or directory");
  EXPECT_EQ(errorText(std::make_error_code(std::errc::io_error)), "Input/output error");
  EXPECT_EQ(errorText({}), "");
  for (const std::error_code& code : {kNoFile, kNoFolder, kWriteOnlyRead}) {
    const std::string words = errorText(code);
    ASSERT_FALSE(words.empty()) << code;
    EXPECT_TRUE(isValidUtf8(words)) << code;
    EXPECT_EQ(words.find_first_of("\r\n"), std::string::npos) << words;
    EXPECT_NE(words.back(), '.') << words;
  }
}

TEST(SystemErrors, AReasonOfTheProgramsOwnHasNoCode) {
  const FileReadError error("list.txt", "the file ended early");
  EXPECT_FALSE(error.code());
  EXPECT_EQ(error.systemReason(), "the file ended early");
  EXPECT_EQ(error.ownReason(), "the file ended early");
  EXPECT_EQ(std::string(error.what()), "File read Error : list.txt (the file ended early)");
  const TooLargeError tooLarge("More cameras than one database file can hold.");
  EXPECT_FALSE(tooLarge.code());
  EXPECT_EQ(tooLarge.systemReason(), "");
  EXPECT_EQ(std::string(tooLarge.what()), "More cameras than one database file can hold.");
}

TEST(SystemErrors, AFailedReadAtAnOffsetKeepsTheSystemsCode) {
  test::TempDir dir;
  test::writeText(dir / "list.txt", "IDX,X,Y\n1,2,3\n");
  const UniqueFile writeOnly = openFile(dir / "list.txt", "ab");
  ASSERT_NE(writeOnly, nullptr);
  char buffer[16];
  std::size_t got = 99;
  EXPECT_EQ(readAt(writeOnly.get(), 0, buffer, sizeof buffer, got), kWriteOnlyRead);
  EXPECT_EQ(got, 0u);
  // And where it succeeds, no code at all.
  const UniqueFile readable = openFile(dir / "list.txt", "rb");
  ASSERT_NE(readable, nullptr);
  EXPECT_EQ(readAt(readable.get(), 8, buffer, sizeof buffer, got), std::error_code());
  EXPECT_EQ(std::string(buffer, got), "1,2,3\n");
}

}  // namespace
}  // namespace tabrino
