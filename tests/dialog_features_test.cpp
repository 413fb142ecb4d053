// The dialog on real lists: work off the dialog's thread, the keyboard in a
// long list, drop and command-line open, DPI, system messages, resources.
#include "core/convert/conversion_run.h"
#include "dialog_driver.h"
#include "test_support.h"
#include "ui/resource.h"
#include "ui/system_error.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::DialogDriver;
using test::WaitFor;

class DialogFeatureTest : public ::testing::Test, public DialogDriver {
 protected:
  int Selected() const { return static_cast<int>(::SendMessageW(List(), LVM_GETNEXTITEM, -1, LVNI_SELECTED)); }
  int SelectedCount() const { return static_cast<int>(::SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0)); }
  int Focused() const { return static_cast<int>(::SendMessageW(List(), LVM_GETNEXTITEM, -1, LVNI_FOCUSED)); }
  int TopRow() const { return static_cast<int>(::SendMessageW(List(), LVM_GETTOPINDEX, 0, 0)); }
  HWND List() const { return Item(IDC_CAMERA_LIST); }
  void Key(UINT key) {
    ::SendMessageW(List(), WM_KEYDOWN, key, 1);
    ::SendMessageW(List(), WM_KEYUP, key, 0xC0000001);
  }
  void ClickRow(int row) {
    RECT rect{LVIR_BOUNDS, 0, 0, 0};
    ::SendMessageW(List(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM(rect.left + 10, (rect.top + rect.bottom) / 2);
    ::SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(List(), WM_LBUTTONUP, 0, at);
  }

  tabrino::test::TempDir m_dir;
};

// Rows numbered 1 to n with latitudes falling, so that the sort reverses them.
std::string NumberedList(int rows) {
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n";
  for (int i = 1; i <= rows; ++i) {
    list += std::to_string(i) + ",10.5," + std::to_string(80 - i % 160) + "." + std::to_string(i % 10) +
            ",1,60,1,90\r\n";
  }
  return list;
}

fs::path DatabaseIn(const fs::path& folder) {
  return folder / tabrino::databaseFileName(tabrino::todayInUtc());
}

TEST_F(DialogFeatureTest, AListThatFailsTheHeaderTestCannotReplaceADatabase) {
  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(1195));
  Open(m_dir / "cameras.txt");
  ASSERT_TRUE(Convert());
  const auto database = tabrino::test::readBytes(DatabaseIn(m_dir.path()));
  ASSERT_EQ(database.size(), 14400u);

  // The headline, what the first line must be, and a guess at why it is not.
  const std::wstring headline = L"Error : Wrong DB file !!!\n\nother.txt: the first line is not the header "
                                L"IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION (its second field must be X)";
  const struct {
    std::string list;
    std::wstring message;
  } cases[] = {
      {"IDX;X;Y;TYPE;SPEED;DIRTYPE;DIRECTION\r\n1;37.5;55.75;1;60;1;90\r\n",
       headline + L"\n\nThe first line holds semicolons: the list seems to use another separator. "
                  L"Its fields must be separated by commas."},
      {"IDX\tX\tY\tTYPE\tSPEED\tDIRTYPE\tDIRECTION\n1\t37.5\t55.75\t1\t60\t1\t90\n",
       headline + L"\n\nThe first line holds tabs: the list seems to use another separator. "
                  L"Its fields must be separated by commas."},
      // A separator further down says nothing about the first line.
      {"1,37.5,55.75,1,60,1,90\r\n2;30.5;50.25;1;60;1;90\r\n", headline},
  };
  for (const auto& [list, message] : cases) {
    tabrino::test::writeText(m_dir / "other.txt", list);
    Open(m_dir / "other.txt");
    EXPECT_EQ(LastMessage(), message);
    EXPECT_FALSE(Enabled(IDC_CONVERSION));
    ::SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_CONVERSION, BN_CLICKED), 0);  // as if it were not
    EXPECT_TRUE(Enabled(IDOK));
    EXPECT_EQ(tabrino::test::readBytes(DatabaseIn(m_dir.path())), database);
  }
}

// A list named like the database, the picture or the findings file is the
// file each would be written to: each is refused, with a message, and the
// list stays as it was.
TEST_F(DialogFeatureTest, NothingIsWrittenOverTheListOnScreen) {
  const std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n1,37.5,55.75,1,60,1,90\r\n2,200,10,1,60,1,90\r\n";
  const fs::path database = DatabaseIn(m_dir.path());
  const fs::path picture = m_dir / "cameras.svg";
  const struct {
    fs::path list;
    std::function<void()> write;
    std::wstring what;
  } cases[] = {
      {database, [&] { Click(IDC_CONVERSION); }, L"The database "},
      {picture, [&] { ::SendMessageW(m_window, WM_SYSCOMMAND, IDM_SHOWMAP, 0); }, L"The map "},
      {m_dir / "findings.csv", [&] {
         m_dialog.reportChoice = (m_dir / "findings.csv").wstring();
         Click(IDC_FINDINGS_LIST);
       }, L"The findings file "},
  };
  for (const auto& test : cases) {
    tabrino::test::writeText(test.list, list);
    Open(test.list);
    ASSERT_EQ(Text(IDC_LOADED_COUNT), L"2") << test.list;
    const size_t before = m_dialog.Messages().size();
    test.write();
    ASSERT_TRUE(WaitForOpen());
    ASSERT_EQ(m_dialog.Messages().size(), before + 1) << test.list;
    EXPECT_EQ(LastMessage().rfind(test.what + test.list.wstring() + L" is the list on screen", 0), 0u) << LastMessage();
    EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(tabrino::test::readText(test.list), list);
    EXPECT_TRUE(m_dialog.Pictures().empty());
    fs::remove(test.list);
  }
}

TEST_F(DialogFeatureTest, ShowOnMapDrawsTheListBesideItAndOpensThePicture) {
  ::SendMessageW(m_window, WM_SYSCOMMAND, IDM_SHOWMAP, 0);
  EXPECT_EQ(LastMessage(), L"Open a list first: the map shows its cameras.");
  EXPECT_TRUE(m_dialog.Pictures().empty());

  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(40));
  Open(m_dir / "cameras.txt");
  ::SendMessageW(m_window, WM_SYSCOMMAND, IDM_SHOWMAP, 0);
  ASSERT_EQ(m_dialog.Pictures(), std::vector<std::wstring>{(m_dir / "cameras.svg").wstring()});
  const std::string svg = tabrino::test::readText(m_dir / "cameras.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

// A named pipe stands for a list on a slow disk: the read waits until the
// test writes, and meanwhile the dialog must go on answering.
TEST_F(DialogFeatureTest, OpenReadsOffTheDialogsThreadWithCommandsLockedAndProgressShown) {
  const std::wstring pipeName = L"\\\\.\\pipe\\tabrino-dialog-test-" + std::to_wstring(::GetCurrentProcessId());
  HANDLE pipe = ::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0,
                                   nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  m_dialog.choice = pipeName;
  Click(IDC_OPEN);
  if (!::ConnectNamedPipe(pipe, nullptr)) {
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PIPE_CONNECTED));
  }

  // The worker now waits for the list's bytes.
  DWORD_PTR answer = 0;
  EXPECT_NE(::SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer), 0);
  EXPECT_FALSE(Enabled(IDC_OPEN) || Enabled(IDC_CONVERSION) || Enabled(IDOK));
  EXPECT_TRUE(::IsWindowVisible(Item(IDC_PROGRESS)));
  // A busy cursor (the dialog sets it), where idle it leaves the cursor to the system.
  EXPECT_EQ(::SendMessageW(m_window, WM_SETCURSOR, reinterpret_cast<WPARAM>(m_window),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  ::SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);  // refused while the list is read
  EXPECT_TRUE(::IsWindow(m_window));

  const std::string list = NumberedList(3);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(pipe, list.data(), static_cast<DWORD>(list.size()), &written, nullptr));
  ::CloseHandle(pipe);
  ASSERT_TRUE(WaitForOpen());
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"3");
  EXPECT_EQ(RowCount(), 3);
  EXPECT_FALSE(::IsWindowVisible(Item(IDC_PROGRESS)));
  EXPECT_TRUE(m_dialog.Messages().empty());
}

TEST_F(DialogFeatureTest, KeysAndClicksMoveTheOneSelectedRow) {
  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(300));
  Open(m_dir / "cameras.txt");
  const LONG style = ::GetWindowLongW(List(), GWL_STYLE);
  EXPECT_TRUE(style & LVS_SINGLESEL);
  EXPECT_TRUE(style & LVS_OWNERDATA);

  ClickRow(2);
  EXPECT_EQ(Selected(), 2);
  Key(VK_DOWN);
  EXPECT_EQ(Selected(), 3);
  Key(VK_NEXT);
  EXPECT_GT(Selected(), 4);
  Key(VK_END);
  EXPECT_EQ(Selected(), 299);
  Key(VK_DOWN);  // nowhere to go: the row stays selected
  EXPECT_EQ(Selected(), 299);
  EXPECT_EQ(SelectedCount(), 1);
  Key(VK_HOME);
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(Focused(), 0);
  EXPECT_EQ(SelectedCount(), 1);

  // Typing finds a row by the start of its IDX, from the row after the selected one.
  ::SendMessageW(List(), WM_CHAR, L'2', 1);
  ::SendMessageW(List(), WM_CHAR, L'5', 1);
  ::SendMessageW(List(), WM_CHAR, L'7', 1);
  EXPECT_EQ(Cell(Selected(), 0), L"257");
  EXPECT_EQ(SelectedCount(), 1);
}

TEST_F(DialogFeatureTest, ANewListStartsAtTheTopAndTheSelectionFollowsItsCameraThroughTheSort) {
  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(300));
  Open(m_dir / "cameras.txt");
  ClickRow(0);
  Key(VK_END);
  ASSERT_EQ(Selected(), 299);
  ASSERT_GT(TopRow(), 0);

  Open(m_dir / "cameras.txt");
  EXPECT_EQ(TopRow(), 0);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(Focused(), -1);

  ClickRow(5);
  const std::wstring idx = Cell(5, 0);
  ASSERT_TRUE(Convert());
  ASSERT_EQ(SelectedCount(), 1);
  EXPECT_NE(Selected(), 5);  // the sort moved it
  EXPECT_EQ(Cell(Selected(), 0), idx);
  EXPECT_EQ(Focused(), Selected());
  const int top = TopRow();
  EXPECT_TRUE(Selected() >= top && Selected() < top + ::SendMessageW(List(), LVM_GETCOUNTPERPAGE, 0, 0));
}

// The window grows and maximises: the table takes the room, the buttons, the
// counts and the findings line keep their places along the bottom; the
// template's size is the smallest it may be dragged to.
TEST_F(DialogFeatureTest, TheWindowGrowsAndTheTableTakesTheRoom) {
  const LONG style = ::GetWindowLongW(m_window, GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MAXIMIZEBOX);

  auto rectOf = [&](int id) {
    RECT rect;
    ::GetWindowRect(Item(id), &rect);
    ::MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  const int ids[] = {IDC_CAMERA_LIST, IDC_FINDINGS, IDC_FINDINGS_LIST, IDOK, IDC_OPEN, IDC_CONVERSION,
                     IDC_LOADED_COUNT, IDC_WRITTEN_COUNT};
  std::vector<RECT> before;
  for (int id : ids) before.push_back(rectOf(id));
  RECT window;
  ::GetWindowRect(m_window, &window);
  const SIZE smallest{window.right - window.left, window.bottom - window.top};
  RECT client;
  ::GetClientRect(m_window, &client);
  const POINT okMargin{client.right - before[3].right, client.bottom - before[3].bottom};

  MINMAXINFO limits{};
  ::SendMessageW(m_window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, smallest.cx);
  EXPECT_EQ(limits.ptMinTrackSize.y, smallest.cy);

  const int dx = 300, dy = 200;
  ::SetWindowPos(m_window, nullptr, 0, 0, smallest.cx + dx, smallest.cy + dy, SWP_NOMOVE | SWP_NOZORDER);
  // {left, top, right, bottom}: how far each edge of each control moved.
  const int moves[][4] = {
      {0, 0, dx, dy},    // the table takes the room
      {0, dy, dx, dy},   // the findings line keeps to the bottom and widens
      {dx, dy, dx, dy},  // Findings... and OK keep to the bottom right
      {dx, dy, dx, dy},
      {0, dy, 0, dy},    // Open, Conversion and the counts keep to the bottom left
      {0, dy, 0, dy},
      {0, dy, 0, dy},
      {0, dy, 0, dy},
  };
  for (size_t i = 0; i < std::size(ids); ++i) {
    const RECT after = rectOf(ids[i]);
    EXPECT_EQ(after.left - before[i].left, moves[i][0]) << ids[i];
    EXPECT_EQ(after.top - before[i].top, moves[i][1]) << ids[i];
    EXPECT_EQ(after.right - before[i].right, moves[i][2]) << ids[i];
    EXPECT_EQ(after.bottom - before[i].bottom, moves[i][3]) << ids[i];
  }

  ::ShowWindow(m_window, SW_MAXIMIZE);
  EXPECT_TRUE(::IsZoomed(m_window));
  ::GetClientRect(m_window, &client);
  const RECT ok = rectOf(IDOK);
  EXPECT_EQ(client.right - ok.right, okMargin.x);  // OK keeps to the bottom right corner
  EXPECT_EQ(client.bottom - ok.bottom, okMargin.y);
  ::ShowWindow(m_window, SW_RESTORE);
  ::SetWindowPos(m_window, nullptr, 0, 0, smallest.cx, smallest.cy, SWP_NOMOVE | SWP_NOZORDER);
  for (size_t i = 0; i < std::size(ids); ++i) {
    const RECT after = rectOf(ids[i]);
    EXPECT_TRUE(::EqualRect(&before[i], &after)) << ids[i];
  }
}

TEST_F(DialogFeatureTest, ColumnsAndIconsFollowTheMonitorsDpi) {
  std::vector<int> widths;
  for (int column = 0; column < 7; ++column) {
    widths.push_back(static_cast<int>(::SendMessageW(List(), LVM_GETCOLUMNWIDTH, column, 0)));
  }
  RECT window;
  ::GetWindowRect(m_window, &window);
  RECT suggested{window.left, window.top, window.left + (window.right - window.left) * 3 / 2,
                 window.top + (window.bottom - window.top) * 3 / 2};
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  ::SendMessageW(m_window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi * 3 / 2, dpi * 3 / 2),
                 reinterpret_cast<LPARAM>(&suggested));
  for (int column = 0; column < 7; ++column) {
    EXPECT_EQ(::SendMessageW(List(), LVM_GETCOLUMNWIDTH, column, 0), ::MulDiv(widths[column], 3, 2)) << column;
  }
  const auto bigIcon = reinterpret_cast<HICON>(::SendMessageW(m_window, WM_GETICON, ICON_BIG, 0));
  const auto smallIcon = reinterpret_cast<HICON>(::SendMessageW(m_window, WM_GETICON, ICON_SMALL, 0));
  EXPECT_EQ(test::IconWidth(bigIcon), ::MulDiv(::GetSystemMetrics(SM_CXICON), 3, 2));
  EXPECT_EQ(test::IconWidth(smallIcon), ::MulDiv(::GetSystemMetrics(SM_CXSMICON), 3, 2));
  RECT after;
  ::GetWindowRect(m_window, &after);
  EXPECT_EQ(after.right - after.left, suggested.right - suggested.left);
}

TEST_F(DialogFeatureTest, ADroppedListOpensAsOpenDoesAndTheDatabaseGoesBesideIt) {
  const fs::path folder = m_dir.path() / L"dropped \u00E9t\u00E9";
  fs::create_directories(folder);
  tabrino::test::writeText(folder / "cameras.csv", NumberedList(4));
  const std::wstring path = (folder / "cameras.csv").wstring();

  // What Explorer hands over: a DROPFILES block with the wide paths.
  const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
  HGLOBAL drop = ::GlobalAlloc(GHND, bytes);
  auto* files = static_cast<DROPFILES*>(::GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(), path.size() * sizeof(wchar_t));
  ::GlobalUnlock(drop);
  ASSERT_TRUE(::PostMessageW(m_window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0));

  ASSERT_TRUE(WaitFor([&] { return Text(IDC_LOADED_COUNT) == L"4"; }));
  ASSERT_TRUE(WaitForOpen());
  EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
  ASSERT_TRUE(Convert());
  EXPECT_TRUE(fs::exists(DatabaseIn(folder)));
}

TEST_F(DialogFeatureTest, WhatDidNotBecomeACameraIsSaidBelowTheTableAndSavedAsCsv) {
  tabrino::test::writeText(m_dir / "odd.txt",
                           "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"
                           "1,37.5,55.75,1,60,1,90\n"
                           "2,37.5,55.75,1,60,1,90\n"
                           "3,200,10,1,60,1,90\n"
                           "no comma here\n"
                           "5,10,95,1,60,1,90\n");
  Open(m_dir / "odd.txt");
  EXPECT_EQ(Text(IDC_FINDINGS),
            L"2 rows skipped, coordinates out of range: line 4, line 6; "
            L"1 line without a comma made no row: line 5; 1 row repeats an earlier camera: line 3");
  ASSERT_TRUE(Enabled(IDC_FINDINGS_LIST));

  ASSERT_TRUE(Convert());
  EXPECT_NE(LastMessage().find(L"Wrote 2 records; skipped 2 rows with coordinates out of range."), std::wstring::npos);

  const fs::path report = m_dir / "findings.csv";
  m_dialog.reportChoice = report.wstring();
  Click(IDC_FINDINGS_LIST);
  ASSERT_TRUE(WaitForOpen());
  EXPECT_EQ(LastMessage(), L"Every finding is in " + report.wstring() + L".");
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  const std::string csv = tabrino::test::readText(report);
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "line,kind,detail");
  EXPECT_NE(csv.find("\n3,duplicate,same camera as line 2\n4,out-of-range,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\n5,no-comma,"), std::string::npos);
  EXPECT_NE(csv.find("\n6,out-of-range,"), std::string::npos);

  // A clean list has nothing to say.
  tabrino::test::writeText(m_dir / "clean.txt", NumberedList(3));
  Open(m_dir / "clean.txt");
  EXPECT_EQ(Text(IDC_FINDINGS), L"");
  EXPECT_FALSE(Enabled(IDC_FINDINGS_LIST));
}

TEST_F(DialogFeatureTest, AUtf8ListIsShownAsUtf8) {
  tabrino::test::writeText(m_dir / "utf8.txt",
                           "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n"
                           "Caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC,37.5,55.75,1,60,1,90\r\n");
  Open(m_dir / "utf8.txt");
  EXPECT_EQ(Cell(0, 0), L"Caf\u00E9 \u6771\u4EAC");
}

TEST_F(DialogFeatureTest, TheChooserOffersTextCsvAndAllFiles) {
  m_dialog.realChooser = true;
  ::PostMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_OPEN, BN_CLICKED), 0);
  HWND chooser = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    chooser = ::FindWindowW(L"#32770", L"Open");
    return chooser && ::IsWindowVisible(chooser);
  }, 20s));
  HWND types = ::GetDlgItem(chooser, 0x470);  // cmb1: the file types
  std::vector<std::wstring> filters;
  for (int i = 0; i < ::SendMessageW(types, CB_GETCOUNT, 0, 0); ++i) {
    wchar_t text[64] = L"";
    ::SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    filters.push_back(text);
  }
  ::PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(chooser); }));
  EXPECT_EQ(filters, (std::vector<std::wstring>{L"Text File(*.txt) ", L"CSV File(*.csv)", L"All Files(*.*)"}));
}

// The Win32 error behind the core's errno text, and the system's words for it.
TEST(SystemErrorTest, ReasonsReadInTheSystemsWords) {
  struct Case {
    int errnoValue;
    unsigned long runtimeError;
    unsigned long expected;
  };
  const Case cases[] = {
      {ENOENT, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {ENOENT, ERROR_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
      {EACCES, ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},  // held open elsewhere
      {EACCES, 0, ERROR_ACCESS_DENIED},
      {EISDIR, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED},  // a clean-up's code does not match: not taken
      {ENOSPC, ERROR_DISK_FULL, ERROR_DISK_FULL},
      {ENOSPC, 0, ERROR_DISK_FULL},
      {EINVAL, 0, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    const std::string reason = std::generic_category().message(c.errnoValue);
    EXPECT_EQ(Win32ErrorFor(reason, c.runtimeError), c.expected) << reason;
    EXPECT_EQ(ReasonText(reason, c.runtimeError), SystemMessage(c.expected)) << reason;
  }
  EXPECT_FALSE(SystemMessage(ERROR_DISK_FULL).empty());
  EXPECT_NE(SystemMessage(ERROR_DISK_FULL).back(), L'\n');
  // A reason that is no system error is shown as it stands.
  EXPECT_EQ(ReasonText("more cameras than one database file can hold", ERROR_DISK_FULL),
            L"more cameras than one database file can hold");
}

TEST(DialogStartTest, AListNamedOnTheCommandLineOpensAtOnce) {
  tabrino::test::TempDir dir;
  tabrino::test::writeText(dir / "cameras.txt", NumberedList(7));
  DialogDriver dialog(dir / "cameras.txt");
  ASSERT_TRUE(WaitFor([&] { return dialog.Text(IDC_LOADED_COUNT) == L"7"; }));
  ASSERT_TRUE(dialog.WaitForOpen());
  EXPECT_TRUE(dialog.Enabled(IDC_CONVERSION));
  EXPECT_TRUE(fs::equivalent(fs::current_path(), dir.path()));
}

// The resources linked into this test are those of Tabrino.exe.
std::string Resource(LPCWSTR type, LPCWSTR name) {
  HRSRC found = ::FindResourceW(nullptr, name, type);
  if (!found) return {};
  const auto* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, found)));
  return std::string(data, ::SizeofResource(nullptr, found));
}

TEST(ResourceTest, ManifestIconsAndVersionBlock) {
  const std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  EXPECT_NE(manifest.find("<dpiAwareness"), std::string::npos);
  EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);

  // The icon group: a 6-byte header, then 14 bytes per image, the width first (0 for 256).
  const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDR_MAINFRAME));
  ASSERT_GE(group.size(), 6u);
  std::set<int> sizes;
  for (size_t entry = 6; entry + 14 <= group.size(); entry += 14) {
    const int width = static_cast<unsigned char>(group[entry]);
    sizes.insert(width == 0 ? 256 : width);
  }
  for (int size : {16, 20, 24, 32, 40, 48, 64, 256}) EXPECT_EQ(sizes.count(size), 1u) << size;

  const std::string version = Resource(RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO));
  auto has = [&](const std::wstring& text) {
    return version.find(std::string(reinterpret_cast<const char*>(text.c_str()), text.size() * 2)) !=
           std::string::npos;
  };
  for (const wchar_t* key : {L"CompanyName", L"LegalCopyright", L"FileVersion", L"ProductVersion",
                             L"InternalName", L"OriginalFilename"}) {
    EXPECT_TRUE(has(key)) << key;
  }
  EXPECT_TRUE(has(L"Tabrino.exe"));
}

}  // namespace
}  // namespace tabrino
