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

// The export's window, once Export... has opened it.
HWND ExportWindow(HWND owner) {
  HWND found = nullptr;
  test::WaitFor([&] {
    for (HWND window = ::FindWindowW(L"#32770", nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
      if (::GetWindow(window, GW_OWNER) == owner && ::GetDlgItem(window, IDC_EXP_FOLDER) && ::IsWindowVisible(window)) {
        found = window;
        return true;
      }
    }
    return false;
  });
  return found;
}

std::wstring ProblemIn(HWND window) {
  wchar_t problem[256] = L"";
  ::GetDlgItemTextW(window, IDC_EXP_PROBLEM, problem, 256);
  return problem;
}

// The window offers the list's folder and the choices kept; what cannot be
// used is said in it, and it stays open to mend it.
TEST_F(DialogExportTest, TheWindowRefusesWhatCannotBeUsedAndKeepsTheChoices) {
  test::writeText(m_dir / "cameras.txt", SpeedList());
  Open(m_dir / "cameras.txt");
  m_dialog.realExportWindow = true;
  ::PostMessageW(Item(IDC_EXPORT), BM_CLICK, 0, 0);  // modal: a sent click would wait for it
  const HWND window = ExportWindow(m_window);
  ASSERT_NE(window, nullptr);
  wchar_t folder[MAX_PATH] = L"";
  ::GetDlgItemTextW(window, IDC_EXP_FOLDER, folder, MAX_PATH);
  EXPECT_EQ(fs::path(folder), m_dir.path());
  const struct {
    const wchar_t* folder;
    const wchar_t* names;
    const wchar_t* most;
    std::wstring problem;
  } cases[] = {
      {L"no such folder", L"{type}_{speed}", L"", L"The folder must be one that exists."},
      {nullptr, L"{kind}", L"", L"the file-name template \"{kind}\" names {kind}; it knows {type}, {speed} and {region}"},
      {nullptr, L"{type}_{speed}", L"0", L"The most cameras a file is a whole number from 1, or empty for no limit."},
  };
  for (const auto& c : cases) {
    const std::wstring chosen = c.folder ? (m_dir.path() / c.folder).wstring() : m_dir.path().wstring();
    ::SetDlgItemTextW(window, IDC_EXP_FOLDER, chosen.c_str());
    ::SetDlgItemTextW(window, IDC_EXP_TEMPLATE, c.names);
    ::SetDlgItemTextW(window, IDC_EXP_MAX, c.most);
    ::SendMessageW(window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(ProblemIn(window), c.problem);
    ASSERT_TRUE(::IsWindowVisible(window));
  }
  // GPX, split by type, at most 10 a file, no icons.
  ::SendDlgItemMessageW(window, IDC_EXP_FORMAT, CB_SETCURSEL, 3, 0);
  ::SendDlgItemMessageW(window, IDC_EXP_SPLIT, CB_SETCURSEL, 2, 0);
  ::SendDlgItemMessageW(window, IDC_EXP_ICONS, BM_SETCHECK, BST_UNCHECKED, 0);
  ::SetDlgItemTextW(window, IDC_EXP_TEMPLATE, L"cams-{type}");
  ::SetDlgItemTextW(window, IDC_EXP_MAX, L"10");
  const size_t messages = m_dialog.Messages().size();
  ::SendMessageW(window, WM_COMMAND, IDOK, 0);
  // The export starts once the window has gone: done when it has said so.
  ASSERT_TRUE(test::WaitFor([&] { return m_dialog.Messages().size() > messages && Enabled(IDOK); }));
  EXPECT_EQ(LastMessage(), L"Exported 30 cameras in 4 files to " + m_dir.path().wstring() +
                               L" (listed in manifest.csv).");
  for (const char* name : {"cams-Fixed-1.gpx", "cams-Fixed-2.gpx", "cams-Mobile-1.gpx", "cams-Mobile-2.gpx"}) {
    EXPECT_TRUE(fs::exists(m_dir / name)) << name;
  }
  EXPECT_FALSE(fs::exists(m_dir / "cams-Fixed-1.bmp"));

  // Opened again, it shows the choices made.
  ::PostMessageW(Item(IDC_EXPORT), BM_CLICK, 0, 0);
  const HWND again = ExportWindow(m_window);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(::SendDlgItemMessageW(again, IDC_EXP_FORMAT, CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(::SendDlgItemMessageW(again, IDC_EXP_SPLIT, CB_GETCURSEL, 0, 0), 2);
  wchar_t most[16] = L"";
  ::GetDlgItemTextW(again, IDC_EXP_MAX, most, 16);
  EXPECT_EQ(std::wstring(most), L"10");
  ::SendMessageW(again, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(test::WaitFor([&] { return !::IsWindow(again); }));
}

}  // namespace
}  // namespace tabrino
