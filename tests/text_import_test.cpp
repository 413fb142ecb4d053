#include "core/list/text_import.h"

#include "core/base/errors.h"
#include "core/list/list_findings.h"
#include "core/platform/file_io.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tabrino {
namespace {

using namespace std::string_literals;

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";

// A row as "tag:cell|cell|...|cell", which shows every byte that matters.
std::vector<std::string> describe(const CameraTable& table) {
  std::vector<std::string> rows;
  for (std::size_t row = 0; row < table.size(); ++row) {
    std::string text = std::to_string(table.tag(row)) + ":";
    for (std::size_t c = 0; c < kColumnCount; ++c) {
      if (c) text += "|";
      text += table.cell(row, static_cast<Column>(c));
    }
    rows.push_back(text);
  }
  return rows;
}

struct ImportCase {
  const char* name;
  std::string bytes;
  ImportOutcome outcome;
  std::vector<std::string> rows;
};

TEST(TextImport, HandlesTheOdditiesOfRealLists) {
  const ImportCase cases[] = {
      {"plain", kHeader + "1,13.5,52.4,1,50,0,0\n", ImportOutcome::Loaded, {"1:1|13.5|52.4|1|50|0|0"}},
      {"CRLF and stray CRs", "IDX,X\r,Y\r\n1,1\r3.5,5\r2,1,50,0,\r9\r\n"s, ImportOutcome::Loaded,
       {"1:1|13.5|52|1|50|0|9"}},
      {"no final line feed keeps the last field", kHeader + "1,2,3,4,5,6,7", ImportOutcome::Loaded,
       {"1:1|2|3|4|5|6|7"}},
      {"blank lines keep every row its own cells", kHeader + "1,2,3,4,5,6,7\n\n2,8,9,1,2,3,4\n",
       ImportOutcome::Loaded, {"1:1|2|3|4|5|6|7", "3:2|8|9|1|2|3|4"}},
      {"a line without a comma makes no row", kHeader + "junk\n1,2,3,4,5,6,7\n \n",
       ImportOutcome::Loaded, {"2:1|2|3|4|5|6|7"}},
      {"a last line without comma or line feed", kHeader + "1,2,3,4,5,6,7\n ", ImportOutcome::Loaded,
       {"1:1|2|3|4|5|6|7"}},
      {"fields beyond the seventh are dropped", kHeader + "1,2,3,4,5,6,7,8,9\n", ImportOutcome::Loaded,
       {"1:1|2|3|4|5|6|7"}},
      {"missing fields are empty", kHeader + "1,2\n", ImportOutcome::Loaded, {"1:1|2|||||"}},
      {"a zero byte ends its cell", kHeader + "1,13\0" "99,52,1\0,60,1,9\0\n"s, ImportOutcome::Loaded,
       {"1:1|13|52|1|60|1|9"}},
      {"bytes and spaces stay as they are", kHeader + " 1 ,\xE9 2,3 ,;,\t,,\x7F\n", ImportOutcome::Loaded,
       {"1: 1 |\xE9 2|3 |;|\t||\x7F"}},
      {"header only", kHeader, ImportOutcome::Loaded, {}},
      {"header without line feed", "IDX,X,Y", ImportOutcome::Loaded, {}},
      {"empty file", "", ImportOutcome::WrongHeader, {}},
      {"lower-case x", "IDX,x,Y\n1,2,3\n", ImportOutcome::WrongHeader, {"0:IDX|x|Y||||", "1:1|2|3||||"}},
      {"X with a space", "IDX,X ,Y\n", ImportOutcome::WrongHeader, {"0:IDX|X |Y||||"}},
      {"a blank first line makes the next row the header", "\nIDX,X,Y\n1,2,3\n", ImportOutcome::Loaded,
       {"2:1|2|3||||"}},
  };
  for (const ImportCase& c : cases) {
    CameraTable table;
    importCameraListText("IDX,X\nstale,1\n", table);
    const ImportResult result = importCameraListText(c.bytes, table);
    EXPECT_EQ(result.outcome, c.outcome) << c.name;
    EXPECT_EQ(describe(table), c.rows) << c.name;
    if (result.loaded()) {
      EXPECT_EQ(result.loadedCount, c.rows.size()) << c.name;
    }
  }
}

// A pipe cannot be read twice: the bytes read to tell a list from a
// database are handed on and taken as the list's start.
TEST(TextImport, AStreamWhoseFirstBytesWereReadAlready) {
  test::TempDir dir;
  for (const std::string& text : {kHeader + "1,13.5,52.4,1,50,0,0\n2,1,2,3,4,5,6", "IDX,X,Y\n"s, "IDX"s, ""s,
                                   "idx,x\n1,2\n"s}) {
    CameraTable expected;
    const ImportResult whole = importCameraListText(text, expected);
    for (const bool keepText : {false, true}) {
      test::writeText(dir / "list.txt", text);
      const UniqueFile file = openFile(dir / "list.txt", "rb");
      ASSERT_NE(file, nullptr);
      std::string head(4, '\0');
      head.resize(std::fread(head.data(), 1, head.size(), file.get()));
      CameraTable table;
      ImportOptions options;
      options.keepText = keepText;
      const ImportResult result = importCameraStream({file.get(), head, 0, false, {}}, table, options);
      EXPECT_EQ(result.outcome, whole.outcome) << text;
      for (std::size_t row = 0; row < table.size(); ++row) {
        EXPECT_EQ(table.record(row), expected.record(row)) << text;
        EXPECT_EQ(table.tag(row), expected.tag(row)) << text;
      }
      EXPECT_EQ(table.size(), expected.size()) << text;
      if (keepText) {
        EXPECT_EQ(describe(table), describe(expected)) << text;
      }
    }
  }
}

TEST(TextImport, ReportsTheTextOfEachOutcome) {
  EXPECT_EQ((ImportResult{ImportOutcome::OpenFailed, 0, 0, {}}).messageText(), "Error[5009]");
  EXPECT_EQ((ImportResult{ImportOutcome::ReadFailed, 0, 0, {}}).messageText(), "Error[5010]");
  EXPECT_EQ((ImportResult{ImportOutcome::WrongHeader, 0, 0, {}}).messageText(), "Error : Wrong DB file !!!");
  EXPECT_EQ((ImportResult{ImportOutcome::Loaded, 3, 4, {}}).messageText(), "");
}

TEST(TextImport, ReadsAFileAcrossBlockBoundaries) {
  // Lines longer than the read block and cells split across blocks.
  test::TempDir dir;
  std::string text = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n";
  const std::string longIdx(3 << 20, 'i');
  text += longIdx + ",37.5,55.75,1,60,1,90\r\n";
  for (int i = 0; i < 50000; ++i) text += std::to_string(i) + ",13.5,52." + std::to_string(i) + ",1,50,0,0\r\n";
  test::writeText(dir / "big.txt", text);

  CameraTable table;
  ImportOptions keepText;
  keepText.keepText = true;
  const ImportResult result = importCameraList(dir / "big.txt", table, keepText);
  ASSERT_EQ(result.outcome, ImportOutcome::Loaded);
  ASSERT_EQ(result.loadedCount, 50001u);
  EXPECT_EQ(table.cell(0, Column::Idx), longIdx);
  EXPECT_EQ(table.cell(0, Column::Direction), "90");
  EXPECT_EQ(table.cell(50000, Column::Y), "52.49999");
  EXPECT_EQ(table.tag(50000), 50001u);

  // Read whole, and in blocks keeping no text, the rows are the same.
  CameraTable fromBytes, withoutText;
  importCameraListText(text, fromBytes);
  ASSERT_EQ(importCameraList(dir / "big.txt", withoutText, ImportOptions{}).loadedCount, table.size());
  EXPECT_EQ(describe(fromBytes), describe(table));
  EXPECT_TRUE(withoutText.cell(0, Column::Idx).empty());
  for (std::size_t row = 0; row < table.size(); ++row) {
    ASSERT_EQ(withoutText.record(row), table.record(row)) << row;
    ASSERT_EQ(withoutText.tag(row), table.tag(row)) << row;
  }
}

TEST(TextImport, ALineOfManyBlocksIsReadWhole) {
  // Lines of several read blocks, kept whole while the blocks after their
  // start are read, one with a finding: read kept and not kept, the rows and
  // findings are those of the text read at once.
  test::TempDir dir;
  const std::string longIdx((9 << 20) + 7, 'i');
  const std::string text = kHeader + "1,13.5,52.5,1,60,1,90\n" + longIdx + ",37.5,55.75,1,60,1\n" + longIdx +
                           ",37.5,55.75,1,60,1,90\r\n3,13.6,52.6,1,60,1,90";
  test::writeText(dir / "long.txt", text);
  const auto shown = [](const FindingList& findings) {
    std::vector<std::string> lines;
    for (const ListFinding& f : findings.all()) {
      lines.push_back(std::to_string(f.lineNumber) + " " + findingKindName(f.kind) + " " + f.detail);
    }
    return lines;
  };
  CameraTable whole;
  FindingList wholeFindings;
  ImportOptions atOnce;
  atOnce.findings = &wholeFindings;
  ASSERT_EQ(importCameraListText(text, whole, atOnce).loadedCount, 4u);
  ASSERT_EQ(wholeFindings.all().size(), 2u);  // the short line's field count and missing direction
  EXPECT_EQ(whole.record(2)->longitude, 375000);
  for (const bool keep : {false, true}) {
    CameraTable table;
    FindingList findings;
    ImportOptions options;
    options.keepText = keep;
    options.findings = &findings;
    ASSERT_EQ(importCameraList(dir / "long.txt", table, options).loadedCount, 4u) << keep;
    for (std::size_t row = 0; row < table.size(); ++row) {
      EXPECT_EQ(table.record(row), whole.record(row)) << keep << " " << row;
      EXPECT_EQ(table.tag(row), whole.tag(row)) << keep << " " << row;
    }
    EXPECT_EQ(shown(findings), shown(wholeFindings)) << keep;
    if (keep) {
      EXPECT_EQ(table.cell(2, Column::Idx), longIdx);
    }
  }
}

// A list kept whole is read on a thread of its own into room for the size
// it had when opened; one that has grown since is read on past that room,
// one that has shrunk ends where it ends.
TEST(TextImport, AListKeptWholeIsReadWhateverSizeItWasSaidToHave) {
  test::TempDir dir;
  std::string text = kHeader;
  for (int i = 0; i < 200000; ++i) text += std::to_string(i) + ",13.5,52." + std::to_string(i) + ",1,50,0,0\n";
  text += "last,1,2,3,4,5,6";  // no line feed
  test::writeText(dir / "list.txt", text);
  CameraTable expected;
  ASSERT_EQ(importCameraListText(text, expected).loadedCount, 200001u);
  for (const std::uint64_t said : {std::uint64_t{0}, std::uint64_t{100}, std::uint64_t{text.size() / 3},
                                   std::uint64_t{text.size()}, std::uint64_t{text.size() * 2}}) {
    const UniqueFile file = openFile(dir / "list.txt", "rb");
    ASSERT_NE(file, nullptr);
    CameraTable table;
    ImportOptions options;
    options.keepText = true;
    std::uint64_t lastDone = 0;
    options.progress = [&](std::uint64_t done, std::uint64_t) { lastDone = done; };
    const ImportResult result = importCameraStream({file.get(), {}, said, false, {}}, table, options);
    EXPECT_EQ(result.loadedCount, 200001u) << said;
    EXPECT_EQ(describe(table), describe(expected)) << said;
    EXPECT_EQ(table.text().read(0, table.text().size()), text) << said;
    EXPECT_EQ(lastDone, text.size()) << said;
  }
}

// A large list on disk is read in parts, two at once, each part's rows put
// straight into room set aside for them by the count the first block
// suggests. Whatever the lines, and where a part outgrows its room or holds
// thousands of findings, the rows, their lines and the findings are those
// of the list read in one piece.
TEST(TextImport, AListReadInPartsIsTheListReadInOnePiece) {
  const auto plain = [](int i) { return std::to_string(i) + ",13.5,52." + std::to_string(i) + ",1,50,0,0\n"; };
  const auto padded = [](int i) { return std::string(180, 'p') + std::to_string(i) + ",-3.25,40.5,2,90,1,45\n"; };
  const auto broken = [](int i) { return std::to_string(i) + ",13.5x,52,1,50,0\n"; };
  const auto lines = [](std::string& text, std::size_t bytes, auto line) {
    for (int i = 0; text.size() < bytes; ++i) text += line(i);
  };
  constexpr std::size_t kMB = 1 << 20;
  struct Case {
    const char* name;
    std::string text;
    std::string earlierList;  // read into the table before, when not empty
  };
  std::vector<Case> cases(6);
  {
    std::string& text = (cases[0] = {"plain rows with odd lines in every part", kHeader, ""}).text;
    for (int i = 0; text.size() < 5 * kMB; ++i) {
      text += i % 10007 == 5 ? broken(i) : i % 20011 == 7 ? "\n" : i % 3 ? plain(i) : "c" + plain(i) + "\r";
    }
    text += "last,1,2,3,4,5,6";  // no line feed
  }
  {
    std::string& text =
        (cases[1] = {"short lines after the first block's long ones outgrow every part", kHeader, ""}).text;
    lines(text, 2 * kMB, padded);
    lines(text, 6 * kMB, plain);
  }
  {
    std::string& text = (cases[2] = {"only the parts after the first outgrow their room", kHeader, ""}).text;
    lines(text, 3 * kMB, padded);
    lines(text, 6 * kMB, plain);
  }
  {
    std::string& text = (cases[3] = {"only the first parts outgrow their room", kHeader, ""}).text;
    lines(text, 2 * kMB, padded);
    lines(text, 3 * kMB, plain);
    lines(text, 6 * kMB, padded);
  }
  {
    std::string& text = (cases[4] = {"thousands of findings in a later part", kHeader, ""}).text;
    lines(text, 3 * kMB, plain);
    for (int i = 0; text.size() < 5 * kMB; ++i) text += i % 2 ? plain(i) : broken(i);
  }
  {
    cases[5] = {"a list appended to another", cases[0].text, kHeader + plain(1) + "broken\n" + plain(2)};
  }

  const auto shown = [](const FindingList& findings) {
    std::vector<std::string> shown;
    for (const ListFinding& f : findings.all()) {
      shown.push_back(std::to_string(f.lineNumber) + " " + findingKindName(f.kind) + " " + f.detail);
    }
    return shown;
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::writeText(dir / "list.txt", c.text);
    ImportOptions options;
    FindingList expectedFindings, findings;
    CameraTable expected, table;
    if (!c.earlierList.empty()) {
      options.findings = &expectedFindings;
      importCameraListText(c.earlierList, expected, options);
      test::writeText(dir / "earlier.txt", c.earlierList);
      options.findings = &findings;
      importCameraList(dir / "earlier.txt", table, options);
      options.append = true;
      options.firstLine = 3;
    }
    options.findings = &expectedFindings;
    const ImportResult whole = importCameraListText(c.text, expected, options);
    options.findings = &findings;
    std::uint64_t lastDone = 0;
    options.progress = [&](std::uint64_t done, std::uint64_t) { lastDone = done; };
    const ImportResult parts = importCameraList(dir / "list.txt", table, options);

    EXPECT_EQ(parts.outcome, ImportOutcome::Loaded);
    EXPECT_EQ(parts.loadedCount, whole.loadedCount);
    EXPECT_EQ(parts.lineCount, whole.lineCount);
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t row = 0; row < table.size(); ++row) {
      ASSERT_EQ(table.record(row), expected.record(row)) << row;
      ASSERT_EQ(table.tag(row), expected.tag(row)) << row;
      ASSERT_EQ(table.row(row).latitude, expected.row(row).latitude) << row;
    }
    EXPECT_EQ(table.recordCount(), expected.recordCount());
    EXPECT_EQ(table.recordXor(), expected.recordXor());
    EXPECT_EQ(shown(findings), shown(expectedFindings));
    EXPECT_EQ(lastDone, c.text.size());
  }
}

TEST(TextImport, RowsPastTheTablesLimitAreTooLargeNotOutOfMemory) {
  // Large enough that the file is read in parts on two threads, whose rows
  // meet in one table, the room set aside for them cut by the limit.
  constexpr std::size_t kRows = 200000;
  test::TempDir dir;
  std::string text = kHeader;
  for (std::size_t i = 0; i < kRows; ++i) text += std::to_string(i) + ",13.5,52.5,1,50,0,0\n";
  test::writeText(dir / "list.txt", text);

  for (const bool keepText : {false, true}) {
    for (const std::size_t limit : {kRows, kRows - 1, kRows / 2 + 1, std::size_t{1}}) {
      SCOPED_TRACE("keepText " + std::to_string(keepText) + ", limit " + std::to_string(limit));
      ImportOptions options;
      options.keepText = keepText;
      CameraTable table(limit);
      try {
        const ImportResult result = importCameraList(dir / "list.txt", table, options);
        EXPECT_EQ(limit, kRows);
        EXPECT_EQ(result.loadedCount, kRows);
      } catch (const TooLargeError& error) {
        EXPECT_LT(limit, kRows);
        EXPECT_EQ(error.messageText(),
                  "The list has more rows than Tabrino can hold: at most " + std::to_string(limit) + ".");
        // The rows taken still show their cells: the text read stays with them.
        ASSERT_GE(table.size(), 1u);
        if (keepText) {
          EXPECT_EQ(table.cell(table.size() - 1, Column::Idx), std::to_string(table.size() - 1));
        }
      }
      // Read from memory, one row at a time.
      CameraTable fromText(limit);
      if (limit < kRows) {
        EXPECT_THROW(importCameraListText(text, fromText), TooLargeError);
      } else {
        EXPECT_EQ(importCameraListText(text, fromText).loadedCount, kRows);
      }
    }
  }
}

// A list's header lies within its first kHeaderReach bytes. A text whose
// header has not passed by then is refused as a wrong list, however it is
// read, after a block or so: its lines within the reach give the table's
// rows, and no room is taken for its size. Once the header has passed, a
// list is read whole however long it is.
TEST(TextImport, ATextWithoutItsHeaderWithinTheReachIsRefusedWithoutBeingReadWhole) {
  constexpr std::size_t kMB = 1 << 20;
  const std::string header = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION";
  const auto repeated = [](const std::string& line, std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += line;
    return text;
  };
  const struct {
    const char* name;
    std::string text;
    bool sparse;  // the file made by growing an empty one: zeros that take no disk
    ImportOutcome outcome;
    std::size_t rows;  // a wrong list's first line's included
  } cases[] = {
      {"zero bytes without a line feed", std::string(8 * kMB, '\0'), true, ImportOutcome::WrongHeader, 0},
      {"a first line that is not the header, then rows", repeated("a,b\n", 8 * kMB), false,
       ImportOutcome::WrongHeader, kHeaderReach / 4},
      {"a first line past the reach, then the header", std::string(kHeaderReach, 'p') + "\n" + kHeader +
       "1,2,3,4,5,6,7\n", false, ImportOutcome::WrongHeader, 0},
      {"the header whose line feed is the reach's last byte",
       std::string(kHeaderReach - kHeader.size(), '\n') + kHeader + "1,2,3,4,5,6,7\n", false,
       ImportOutcome::Loaded, 1},
      {"the header whose line feed is a byte past the reach",
       std::string(kHeaderReach - kHeader.size() + 1, '\n') + kHeader + "1,2,3,4,5,6,7\n", false,
       ImportOutcome::WrongHeader, 0},
      {"the header alone without a line feed", header, false, ImportOutcome::Loaded, 0},
      {"the header's line running to the reach's end without a line feed",
       "IDX,X,Y" + std::string(kHeaderReach - 7, '\0'), false, ImportOutcome::Loaded, 0},
      {"the header's line running a byte past the reach without a line feed",
       "IDX,X,Y" + std::string(kHeaderReach - 6, '\0'), false, ImportOutcome::WrongHeader, 0},
      {"the header, then rows far past the reach", kHeader + repeated("1,13.5,52.5,1,50,0,0\n", 8 * kMB), false,
       ImportOutcome::Loaded, (8 * kMB + 20) / 21},
  };
  test::TempDir dir;
  const std::filesystem::path path = dir / "list.txt";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path);
    if (c.sparse) {
      test::writeText(path, "");
      std::filesystem::resize_file(path, c.text.size());
    } else {
      test::writeText(path, c.text);
    }
    // Large texts tell a list read whole from one refused after a little.
    const bool large = c.text.size() > 4 * kMB;
    const auto expectRead = [&](std::uint64_t bytes) {
      if (!large) return;
      if (c.outcome == ImportOutcome::Loaded) {
        EXPECT_EQ(bytes, c.text.size());
      } else {
        EXPECT_LT(bytes, c.text.size() / 2);
      }
    };
    EXPECT_EQ(startsAsList(path), c.outcome == ImportOutcome::Loaded);

    CameraTable inMemory;
    EXPECT_EQ(importCameraListText(c.text, inMemory).outcome, c.outcome) << "in memory";
    EXPECT_EQ(inMemory.size(), c.rows) << "in memory";

    for (const bool keepText : {false, true}) {
      for (const bool named : {true, false}) {
        SCOPED_TRACE(std::string(named ? "a file named" : "an open stream of unknown size") +
                     (keepText ? ", its text kept" : ""));
        ImportOptions options;
        options.keepText = keepText;
        std::uint64_t mostRead = 0;
        options.progress = [&](std::uint64_t done, std::uint64_t) { mostRead = std::max(mostRead, done); };
        CameraTable table;
        ImportResult result;
        if (named) {
          result = importCameraList(path, table, options);
        } else {
          // As the command line hands on a file or pipe: its first bytes read already.
          const UniqueFile file = openFile(path, "rb");
          ASSERT_NE(file, nullptr);
          std::string head(4, '\0');
          head.resize(std::fread(head.data(), 1, head.size(), file.get()));
          result = importCameraStream({file.get(), head, 0, false, {}}, table, options);
          expectRead(static_cast<std::uint64_t>(std::ftell(file.get())));
        }
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(table.size(), c.rows);
        expectRead(mostRead);
        if (keepText && large && c.outcome != ImportOutcome::Loaded) {
          EXPECT_LT(table.text().heldBytes(), c.text.size() / 2) << "room for the whole was taken";
        }
      }
    }
  }
  EXPECT_FALSE(startsAsList(dir / "missing.txt"));
  EXPECT_FALSE(startsAsList(dir.path()));
}

TEST(TextImport, AFileThatCannotBeOpenedLeavesTheTableAlone) {
  test::TempDir dir;
  CameraTable table;
  importCameraListText("IDX,X\nkept,1,2\n", table);
#ifdef _WIN32
  const std::error_code missing(ERROR_FILE_NOT_FOUND, std::system_category());  // the system's own, not errno's
#else
  const std::error_code missing = std::make_error_code(std::errc::no_such_file_or_directory);
#endif
  const struct {
    std::filesystem::path path;
    std::error_code code;
  } cases[] = {{dir / "missing.txt", missing}, {dir.path(), folderNotFileError()}};
  for (const auto& [path, code] : cases) {
    const ImportResult result = importCameraList(path, table);
    EXPECT_EQ(result.outcome, ImportOutcome::OpenFailed) << path;
    EXPECT_EQ(result.code, code) << path;
    EXPECT_EQ(result.systemReason(), code.message()) << path;
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.cell(0, Column::Idx), "kept");
  }
}

#ifdef __linux__
TEST(TextImport, AReadFailureKeepsTheRowsReadSoFar) {
  // /proc/self/mem opens, but reading its first page fails with EIO.
  CameraTable table;
  importCameraListText("IDX,X\nstale,1\n", table);
  const ImportResult result = importCameraList("/proc/self/mem", table);
  EXPECT_EQ(result.outcome, ImportOutcome::ReadFailed);
  EXPECT_EQ(result.messageText(), "Error[5010]");
  EXPECT_EQ(result.code, std::errc::io_error);
  EXPECT_EQ(result.systemReason(), systemErrorText(EIO));
  EXPECT_TRUE(table.empty());  // cleared once opened; nothing could be read
}
#endif

}  // namespace
}  // namespace tabrino
