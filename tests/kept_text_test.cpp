#include "core/list/kept_text.h"

#include "core/base/errors.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/list/list_sources.h"
#include "core/list/text_import.h"
#include "core/run/input_file.h"
#include "core/run/inputs.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {
namespace {

const std::string kHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";

// Lists read one after another as the dialog reads them: through the input
// that tells a list by its first bytes, keeping the text, a line feed put
// between lists that end without one.
void readLists(const std::vector<std::filesystem::path>& paths, CameraTable& table, ListSources& sources) {
  for (const auto& path : paths) {
    InputFile input(path, path.filename().string());
    InputOptions options;
    options.import.keepText = true;
    ASSERT_TRUE(readInput(input, table, sources, options).loaded()) << path;
    if (!table.text().endsLine()) table.appendText("\n");
  }
}

std::vector<std::string> everyCell(const CameraTable& table) {
  std::vector<std::string> cells;
  for (std::size_t row = 0; row < table.size(); ++row) {
    for (std::size_t column = 0; column < kColumnCount; ++column) {
      cells.push_back(table.cell(row, static_cast<Column>(column)));
    }
  }
  return cells;
}

// A list on disk is not held in memory: its cells, the cells the map takes
// and the text read in pieces come from the file, and match the same lists
// held whole in memory.
TEST(KeptText, CellsOfListsOnDiskAreReadFromTheirFiles) {
  test::TempDir dir;
  std::string large = kHeader;  // more than a piece, so that pieces and blocks are crossed
  for (int i = 0; i < 60000; ++i) large += "L" + std::to_string(i) + ",13." + std::to_string(i) + ",52.5,1,50,1,90\r\n";
  const std::vector<std::pair<std::string, std::string>> lists = {
      {"small.txt", kHeader + "7,13.4,52.5,2,60,2,90\n"},  // read whole with the first bytes
      {"large.txt", large},
      {"open.txt", kHeader + "a b,1,2,1,50,0,0\nlast,13.5,52.5,1,50,1,90"},  // no line feed
                                                                             // at its end
      {"crlf.txt", kHeader + "x,1.5,2.5,1,30,0,0\r\n\r\ny,\xC3\xA9,3,1,30,0,0\r\n"},
  };
  std::vector<std::filesystem::path> paths;
  std::string whole;
  for (const auto& [name, text] : lists) {
    test::writeText(dir / name, text);
    paths.push_back(dir / name);
    whole += text;
    if (whole.back() != '\n') whole += '\n';
  }
  CameraTable onDisk;
  ListSources sources;
  readLists(paths, onDisk, sources);
  EXPECT_LT(onDisk.text().heldBytes(), 1024u) << "the lists' bytes are held in memory";

  // The same lists in memory, one text.
  CameraTable inMemory;
  ListSources memorySources;
  for (const auto& [name, text] : lists) {
    std::string own = text;
    if (own.back() != '\n') own += '\n';
    ImportOptions options;
    options.append = memorySources.count() > 0;
    options.firstLine = memorySources.nextLine();
    const ImportResult result = importCameraListText(own, inMemory, options);
    ASSERT_TRUE(result.loaded());
    memorySources.add(name, result.lineCount);
  }
  ASSERT_EQ(onDisk.size(), inMemory.size());
  EXPECT_EQ(everyCell(onDisk), everyCell(inMemory));
  EXPECT_EQ(onDisk.cell(0, Column::Idx), "7");
  EXPECT_EQ(onDisk.cell(onDisk.size() - 1, Column::X), "\xC3\xA9");
  EXPECT_EQ(onDisk.text().read(0, onDisk.text().size()), whole);
  onDisk.sortByLatitude();
  inMemory.sortByLatitude();
  EXPECT_EQ(onDisk.recordCells(), inMemory.recordCells());
  EXPECT_EQ(everyCell(onDisk), everyCell(inMemory));
  EXPECT_FALSE(onDisk.textChanged());

  // Read in pieces over any range, a line never lies across two.
  const KeptText& text = onDisk.text();
  for (const auto& [from, to] : std::vector<std::pair<std::size_t, std::size_t>>{
           {0, text.size()}, {kHeader.size(), text.size() - 3}, {text.size() / 3, text.size() / 2}, {5, 6}}) {
    std::string joined;
    std::size_t count = 0, unended = 0;
    text.forEachPiece(from, to, [&](std::string_view piece) {
      ++count;
      if (piece.back() != '\n') ++unended;
      joined.append(piece);
    });
    EXPECT_EQ(joined, whole.substr(from, to - from)) << from << " to " << to;
    EXPECT_LE(unended, std::size_t{1}) << "a piece ended inside a line";
    if (to - from > (std::size_t{1} << 20)) {
      EXPECT_GT(count, 1u) << "read whole at once";
    }
  }
}

// Whether a list is UTF-8 is known from its reading, as for a list held whole.
TEST(KeptText, TellsWhetherListsOnDiskAreUtf8) {
  test::TempDir dir;
  for (const auto& [bytes, utf8] :
       std::vector<std::pair<std::string, bool>>{{"\xC3\xA9", true}, {"\xE9", false}, {"plain", true}}) {
    test::writeText(dir / "list.txt", kHeader + "1,2,3,1,50,0,0\n" + bytes + ",13.5,52.5,1,50,1,90\n");
    CameraTable table;
    ListSources sources;
    readLists({dir / "list.txt"}, table, sources);
    EXPECT_EQ(table.text().isValidUtf8(), utf8) << bytes;
  }
}

// A list changed on disk after it was read is never read as if it had not:
// its cells read as empty and say so, and whatever reads it whole fails with
// the list named.
TEST(KeptText, AListChangedOnDiskIsNeverReadAsTheOneRead) {
  test::TempDir dir;
  const std::string text = kHeader + "one,13.5,52.5,1,50,1,90\ntwo,13.6,52.6,1,50,1,90\n";
  struct Case {
    const char* name;
    void (*change)(const std::filesystem::path& list, const std::filesystem::path& folder);
  };
  const Case cases[] = {
      {"saved again, same size",
       [](const std::filesystem::path& list, const std::filesystem::path&) {
         const auto written = std::filesystem::last_write_time(list);
         test::writeText(list, kHeader + "ONE,13.5,52.5,1,50,1,90\nTWO,13.6,52.6,1,50,1,90\n");
         // Later, even where the file system keeps whole seconds.
         std::filesystem::last_write_time(list, written + std::chrono::seconds(2));
       }},
      {"grown",
       [](const std::filesystem::path& list, const std::filesystem::path&) {
         test::writeText(list, kHeader + "one,13.5,52.5,1,50,1,90\nx\n\n\n");
       }},
      {"replaced by another file",
       [](const std::filesystem::path& list, const std::filesystem::path& folder) {
         test::writeText(folder / "new.txt", kHeader + "one,13.5,52.5,1,50,1,90\ntwo,13.6,52.6,1,50,1,90\n");
         std::filesystem::rename(folder / "new.txt", list);
       }},
      {"removed",
       [](const std::filesystem::path& list, const std::filesystem::path&) { std::filesystem::remove(list); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path list = dir / "list.txt";
    test::writeText(list, text);
    CameraTable table;
    ListSources sources;
    readLists({list}, table, sources);
    ASSERT_EQ(table.size(), 2u);
    c.change(list, dir.path());
    EXPECT_EQ(table.cell(1, Column::Idx), "");
    EXPECT_TRUE(table.textChanged());
    FindingSummary findings;
    try {
      scanListFindings(table.text(), 0, table.text().size(), findings);
      ADD_FAILURE() << "a changed list was read";
    } catch (const FileReadError& error) {
      EXPECT_NE(std::string(error.what()).find("list.txt"), std::string::npos) << error.what();
    }
    EXPECT_THROW(table.recordCells(), FileReadError);
  }
}

// While a list is read again, its owner may still move it aside (as an
// editor keeping a backup does before it saves) and remove it: the reading
// keeps others from the file as little as the system allows.
TEST(KeptText, AListBeingReadCanBeMovedAndRemoved) {
  test::TempDir dir;
  test::writeText(dir / "list.txt", kHeader + "one,13.5,52.5,1,50,1,90\n");
  const UniqueFile reading = openSharedForReading(dir / "list.txt");
  ASSERT_NE(reading, nullptr);
  std::error_code error;
  std::filesystem::rename(dir / "list.txt", dir / "list.bak", error);
  EXPECT_FALSE(error) << "moved aside: " << error.message();
  test::writeText(dir / "list.txt", kHeader + "ONE,13.5,52.5,1,50,1,90\n");
  std::filesystem::remove(dir / "list.bak", error);
  EXPECT_FALSE(error) << "removed: " << error.message();
  EXPECT_EQ(openSharedForReading(dir / "missing.txt"), nullptr);
}

}  // namespace
}  // namespace tabrino
