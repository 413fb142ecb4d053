// Export... in the dialog: the choices from its window, the files written on
// the worker by the same core code as `tabrino export --output-dir`, byte for
// byte what the command line writes of the same list, and a question before
// any file is replaced.
#include "dialog_driver.h"
#include "test_support.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using test::DialogDriver;

class DialogExportTest : public ::testing::Test, public DialogDriver {
 protected:
  test::TempDir m_dir;
};

// 30 cameras, a third of them at 80 km/h, the rest at 50.
std::string SpeedList() {
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n";
  for (int i = 1; i <= 30; ++i) {
    list += std::to_string(i) + ",11." + std::to_string(100 + i) + ",48." + std::to_string(200 + i) + "," +
            (i % 2 ? "1" : "5") + "," + (i % 3 ? "50" : "80") + ",0,0\r\n";
  }
  return list;
}

std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = test::readText(entry.path());
  }
  return files;
}

TEST_F(DialogExportTest, WritesTheCommandLinesFilesAndAsksBeforeReplacingThem) {
  EXPECT_FALSE(Enabled(IDC_EXPORT));
  test::writeText(m_dir / "cameras.txt", SpeedList());
  Open(m_dir / "cameras.txt");
  ASSERT_TRUE(Enabled(IDC_EXPORT));
  fs::create_directories(m_dir / "out");
  m_dialog.exportChoice.folder = m_dir / "out";
  m_dialog.exportChoice.split = SplitBy::Speed;
  m_dialog.exportChoice.icons = true;

  // A window cancelled writes nothing.
  m_dialog.confirmExport = false;
  Click(IDC_EXPORT);
  ASSERT_TRUE(WaitForOpen());
  EXPECT_TRUE(fs::is_empty(m_dir / "out"));

  m_dialog.confirmExport = true;
  Click(IDC_EXPORT);
  ASSERT_TRUE(WaitForOpen());
  EXPECT_EQ(LastMessage(), L"Exported 30 cameras in 2 files to " + (m_dir / "out").wstring() +
                               L" (listed in manifest.csv).");
  const auto written = FolderFiles(m_dir / "out");
  EXPECT_EQ(written.size(), 5u);  // two OV2 files, their icons, the manifest
  ASSERT_TRUE(written.count("All_50.ov2") && written.count("All_80.ov2") && written.count("All_50.bmp"));

  // The command line writes the very same files.
  fs::create_directories(m_dir / "cli");
  const std::wstring command = L"\"\"" + fs::path(TABRINO_CLI_EXE).wstring() + L"\" export \"" +
                               (m_dir / "cameras.txt").wstring() + L"\" --format ov2 --split-by speed --icons -q " +
                               L"--output-dir \"" + (m_dir / "cli").wstring() + L"\"\"";
  ASSERT_EQ(::_wsystem(command.c_str()), 0);
  EXPECT_TRUE(FolderFiles(m_dir / "cli") == written);

  // Again into the same folder: asked first; No keeps every file as it was,
  // Yes writes them anew.
  const fs::path ov2 = m_dir / "out" / "All_50.ov2";
  const fs::file_time_type earlier = fs::last_write_time(ov2) - std::chrono::hours(24);
  fs::last_write_time(ov2, earlier);
  const size_t messages = m_dialog.Messages().size();
  m_dialog.questionAnswer = IDNO;
  Click(IDC_EXPORT);
  ASSERT_TRUE(WaitForOpen());
  ASSERT_EQ(m_dialog.Messages().size(), messages + 1);
  EXPECT_EQ(LastMessage(), L"5 files in " + (m_dir / "out").wstring() +
                               L" would be replaced, All_50.ov2 among them. Replace them?");
  EXPECT_EQ(fs::last_write_time(ov2), earlier);
  m_dialog.questionAnswer = IDYES;
  Click(IDC_EXPORT);
  ASSERT_TRUE(test::WaitFor([&] { return m_dialog.Messages().size() == messages + 3 && Enabled(IDOK); }));
  EXPECT_NE(fs::last_write_time(ov2), earlier);
  EXPECT_EQ(LastMessage(), L"Exported 30 cameras in 2 files to " + (m_dir / "out").wstring() +
                               L" (listed in manifest.csv).");
  EXPECT_TRUE(FolderFiles(m_dir / "out") == written);

  // A folder that is gone says which file could not be written.
  m_dialog.exportChoice.folder = m_dir / "gone";
  Click(IDC_EXPORT);
  ASSERT_TRUE(WaitForOpen());
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_NE(LastMessage().find(L"gone"), std::wstring::npos) << LastMessage();
}

}  // namespace
}  // namespace tabrino
