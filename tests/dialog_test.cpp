// The real main dialog, driven through window messages as a user would.
#include "core/convert/conversion_run.h"
#include "core/list/text_import.h"
#include "dialog_driver.h"
#include "test_support.h"
#include "ui/resource.h"
#include "ui/system_error.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace tabrino {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::DialogDriver;
using test::IconWidth;
using test::WaitFor;

class DialogTest : public ::testing::Test, public DialogDriver {
 protected:
  tabrino::test::TempDir m_dir;
};

const std::string kList =
    "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n"
    "1,37.5,55.75,1,60,1,90\r\n"
    "2,200,10,1,60,1,90\r\n"
    "3,30.25,-12.5,2,90,0,0\r\n"
    "Caf\xE9,30.5,55.75,5,40,2,270\r\n";

std::wstring ExpectedPath(const fs::path& folder) {
  return (folder / tabrino::databaseFileName(tabrino::todayInUtc())).wstring();
}

TEST_F(DialogTest, StartsEmptyWithSevenCentredColumnsThatFitTheirTextAndZeroCounts) {
  wchar_t caption[64] = L"";
  ::GetWindowTextW(m_window, caption, 64);
  EXPECT_STREQ(caption, L"Tabrino");
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"0");
  EXPECT_EQ(Text(IDC_WRITTEN_COUNT), L"0");
  EXPECT_EQ(RowCount(), 0);
  EXPECT_TRUE(Enabled(IDC_OPEN) && Enabled(IDOK));
  EXPECT_FALSE(Enabled(IDC_CONVERSION));  // until a list has passed the header test
  EXPECT_FALSE(Enabled(IDC_LOADED_COUNT) || Enabled(IDC_WRITTEN_COUNT));
  EXPECT_FALSE(::IsWindowVisible(Item(IDC_PROGRESS)));

  const DWORD style = static_cast<DWORD>(::SendMessageW(Item(IDC_CAMERA_LIST), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_EQ(style & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT), DWORD{LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT});
  const wchar_t* titles[] = {L"IDX", L"X", L"Y", L"TYPE", L"SPEED", L"DIRTYPE", L"DIRECTION"};
  // The widest values lists hold: 5-digit row numbers, 7 decimals.
  const wchar_t* widest[] = {L"12345", L"-179.1234567", L"-89.1234567", L"192", L"120", L"2", L"359"};
  for (int column = 0; column < 7; ++column) {
    wchar_t title[32] = L"";
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    info.pszText = title;
    info.cchTextMax = 32;
    ASSERT_TRUE(::SendMessageW(Item(IDC_CAMERA_LIST), LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)));
    EXPECT_STREQ(title, titles[column]);
    EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_CENTER) << column;
    EXPECT_GE(info.cx, column == 0 ? 40 : 80) << column;
    const int textWidth = static_cast<int>(
        ::SendMessageW(Item(IDC_CAMERA_LIST), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(widest[column])));
    EXPECT_GT(info.cx, textWidth + 8) << column;  // the cell's margins
    const int titleWidth = static_cast<int>(
        ::SendMessageW(Item(IDC_CAMERA_LIST), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(titles[column])));
    EXPECT_GT(info.cx, titleWidth + 8) << column;
  }

  HMENU menu = ::GetSystemMenu(m_window, FALSE);
  const int items = ::GetMenuItemCount(menu);
  wchar_t about[64] = L"";
  ::GetMenuStringW(menu, IDM_ABOUTBOX, about, 64, MF_BYCOMMAND);
  EXPECT_STREQ(about, L"&About Tabrino");
  EXPECT_EQ(::GetMenuItemID(menu, items - 1), static_cast<UINT>(IDM_ABOUTBOX));
  EXPECT_EQ(::GetMenuState(menu, static_cast<UINT>(items - 2), MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
}

TEST_F(DialogTest, SystemMenuCommandsSixteenToThirtyOneOpenTheAboutBox) {
  for (UINT command : {0x10u, 0x1Fu}) {
    ::PostMessageW(m_window, WM_SYSCOMMAND, command, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      about = ::FindWindowW(L"#32770", L"About Kestrix");
      return about && ::IsWindowVisible(about);  // created with all its controls
    }, 10s));
    wchar_t text[64] = L"";
    ::GetDlgItemTextW(about, IDOK, text, 64);
    EXPECT_STREQ(text, L"OK");
    EXPECT_NE(::FindWindowExW(about, nullptr, L"Static", L"Tabrino Version 1.0"), nullptr);
    // Both lines fit their controls in the dialog's font.
    for (HWND line = ::FindWindowExW(about, nullptr, L"Static", nullptr); line;
         line = ::FindWindowExW(about, line, L"Static", nullptr)) {
      wchar_t lineText[128] = L"";
      if (::GetWindowTextW(line, lineText, 128) == 0) continue;  // the icon
      HDC dc = ::GetDC(line);
      const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(line, WM_GETFONT, 0, 0)));
      SIZE size{};
      ::GetTextExtentPoint32W(dc, lineText, static_cast<int>(std::wcslen(lineText)), &size);
      ::SelectObject(dc, old);
      ::ReleaseDC(line, dc);
      RECT rect;
      ::GetClientRect(line, &rect);
      EXPECT_LE(size.cx, rect.right) << lineText;
    }
    ::SendMessageW(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(about); }, 10s));
  }
}

BOOL CALLBACK CountAboutBoxes(HWND window, LPARAM count) {
  wchar_t title[32] = L"";
  ::GetWindowTextW(window, title, 32);
  if (std::wstring(title) == L"About Kestrix") ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// The About box belongs to the dialog: the dialog waits while it is open, a
// second request brings no second box, and it stands over the dialog's centre.
TEST_F(DialogTest, TheAboutBoxIsModalToTheDialogOneAtATimeAndCentredOnIt) {
  ::PostMessageW(m_window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    about = ::FindWindowW(L"#32770", L"About Kestrix");
    return about && ::IsWindowVisible(about);
  }, 10s));
  EXPECT_EQ(::GetWindow(about, GW_OWNER), m_window);
  EXPECT_FALSE(::IsWindowEnabled(m_window));

  RECT box, owner;
  ::GetWindowRect(about, &box);
  ::GetWindowRect(m_window, &owner);
  EXPECT_NEAR((box.left + box.right) / 2, (owner.left + owner.right) / 2, 1);
  EXPECT_NEAR((box.top + box.bottom) / 2, (owner.top + owner.bottom) / 2, 1);

  // Asked for again: handled at once (a second modal box would hold the call).
  DWORD_PTR unused = 0;
  EXPECT_NE(::SendMessageTimeoutW(m_window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0, SMTO_NORMAL, 10000, &unused), 0);
  int boxes = 0;
  ::EnumThreadWindows(::GetWindowThreadProcessId(m_window, nullptr), &CountAboutBoxes, reinterpret_cast<LPARAM>(&boxes));
  EXPECT_EQ(boxes, 1);

  ::SendMessageW(about, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(about); }, 10s));
  EXPECT_TRUE(::IsWindowEnabled(m_window));
  EXPECT_EQ(::FindWindowW(L"#32770", L"About Kestrix"), nullptr);
}

TEST_F(DialogTest, TheIconsHaveTheSizesTheSystemAsksFor) {
  const auto dragIcon = reinterpret_cast<HICON>(::SendMessageW(m_window, WM_QUERYDRAGICON, 0, 0));
  const auto bigIcon = reinterpret_cast<HICON>(::SendMessageW(m_window, WM_GETICON, ICON_BIG, 0));
  const auto smallIcon = reinterpret_cast<HICON>(::SendMessageW(m_window, WM_GETICON, ICON_SMALL, 0));
  ASSERT_NE(dragIcon, nullptr);
  EXPECT_EQ(IconWidth(dragIcon), ::GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(IconWidth(bigIcon), ::GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(IconWidth(smallIcon), ::GetSystemMetrics(SM_CXSMICON));
}

TEST_F(DialogTest, OpenShowsTheRowsAndTheLoadedCount) {
  tabrino::test::writeText(m_dir / "cameras.txt", kList);
  Open(m_dir / "cameras.txt");
  EXPECT_TRUE(m_dialog.Messages().empty());
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"4");
  EXPECT_EQ(Text(IDC_WRITTEN_COUNT), L"0");
  ASSERT_EQ(RowCount(), 4);
  EXPECT_EQ(Cell(0, 1), L"37.5");
  EXPECT_EQ(Cell(2, 6), L"0");
  EXPECT_EQ(Cell(3, 0), L"Caf\u00E9");  // bytes shown in the ANSI code page
  // The database will be written beside the list.
  EXPECT_TRUE(fs::equivalent(fs::current_path(), m_dir.path()));
}

// Windows calls the dialog through user32, and the worker starts through the
// C runtime: frames that no exception crosses in this build. Whatever a
// handler or a job's work throws is told in a message box on the dialog's
// thread, and the dialog goes on.
TEST_F(DialogTest, WhatAHandlerOrAJobThrowsIsToldAndTheDialogGoesOn) {
  using Throw = test::TestableDlg::Throw;
  tabrino::test::writeText(m_dir / "cameras.txt", kList);
  const struct {
    bool inWork;  // else in the dialog procedure
    Throw what;
    std::wstring message;
  } cases[] = {
      {false, Throw::OutOfMemory, L"Out of memory."},
      {false, Throw::Error, L"The program met an unexpected error: the disk caught fire."},
      {true, Throw::OutOfMemory, L"Out of memory."},
      {true, Throw::Error, L"The program met an unexpected error: the disk caught fire."},
  };
  for (const auto& c : cases) {
    const std::string where = c.inWork ? "the worker" : "the dialog procedure";
    Open(m_dir / "cameras.txt");
    ASSERT_EQ(RowCount(), 4) << where;
    const std::size_t before = m_dialog.Messages().size();
    if (c.inWork) {
      m_dialog.throwInWork = c.what;
      StartOpen(m_dir / "cameras.txt");
      ASSERT_TRUE(WaitForOpen()) << where;
    } else {
      ::SendMessageW(m_window, test::TestableDlg::kThrowMessage, static_cast<WPARAM>(c.what), 0);
    }
    const auto messages = m_dialog.Messages();
    ASSERT_EQ(messages.size(), before + 1) << where;
    EXPECT_EQ(messages.back().text, c.message) << where;
    EXPECT_EQ(messages.back().type, UINT{MB_OK | MB_ICONERROR}) << where;
    // An Open that threw leaves no half-read table; a handler that threw
    // leaves the table as it was.
    EXPECT_EQ(RowCount(), c.inWork ? 0 : 4) << where;
    EXPECT_EQ(Text(IDC_LOADED_COUNT), c.inWork ? L"0" : L"4") << where;
    EXPECT_EQ(Enabled(IDC_CONVERSION), !c.inWork) << where;
    EXPECT_TRUE(Enabled(IDC_OPEN) && Enabled(IDOK)) << where;
  }
  // And the dialog still works.
  Open(m_dir / "cameras.txt");
  EXPECT_EQ(RowCount(), 4);
  EXPECT_TRUE(Convert());
  EXPECT_TRUE(fs::exists(ExpectedPath(m_dir.path())));
}

TEST_F(DialogTest, FailedOpensSayWhyInTheSystemsWordsAndOfferNoConversion) {
  tabrino::test::writeText(m_dir / "cameras.txt", kList);
  tabrino::test::writeText(m_dir / "wrong.txt", "IDX,x,Y\r\n1,2,3\r\n");
  Open(m_dir / "cameras.txt");
  ASSERT_TRUE(Enabled(IDC_CONVERSION));

  Open(m_dir / "missing.txt");  // the table and the counts stay those of the list before
  // The code's text as it always was, then the file and the system's reason.
  EXPECT_EQ(LastMessage(), L"Error[5009]\n\nmissing.txt: " + SystemMessage(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(RowCount(), 4);
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"4");
  EXPECT_TRUE(Enabled(IDC_CONVERSION));

  Open(m_dir / "wrong.txt");
  EXPECT_EQ(LastMessage(), L"Error : Wrong DB file !!!\n\nwrong.txt: the first line is not the header "
                           L"IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION (its second field must be X)");
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
  EXPECT_EQ(RowCount(), 2);  // the header line stays, as read, so the user sees why
  EXPECT_EQ(Cell(0, 1), L"x");
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"0");  // nothing of the earlier list is left
  EXPECT_EQ(Text(IDC_WRITTEN_COUNT), L"0");
  EXPECT_FALSE(Enabled(IDC_CONVERSION));

  m_dialog.confirm = false;
  Open(m_dir / "cameras.txt");
  EXPECT_EQ(m_dialog.Messages().size(), 2u);
  EXPECT_EQ(RowCount(), 2);
}

TEST_F(DialogTest, AReadFailureSaysSoAndShowsWhatWasRead) {
  // Under Wine the host's /proc is on drive Z:, and reading the first page
  // of a process's memory file fails: a real read error, with no disk to break.
  const fs::path unreadable = "Z:/proc/self/mem";
  if (!fs::exists(unreadable)) GTEST_SKIP() << "needs Wine's view of /proc";
  tabrino::test::writeText(m_dir / "cameras.txt", kList);
  Open(m_dir / "cameras.txt");
  Open(unreadable);
  EXPECT_EQ(LastMessage().substr(0, 11), L"Error[5010]");
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(RowCount(), 0);                   // the table was cleared and nothing could be read
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"0");    // no longer the earlier list's count
  EXPECT_FALSE(Enabled(IDC_CONVERSION));
}

TEST_F(DialogTest, ConversionWritesTheDatabaseBesideTheList) {
  tabrino::test::writeText(m_dir / "cameras.txt", kList);
  Open(m_dir / "cameras.txt");
  Click(IDC_CONVERSION);
  ASSERT_TRUE(WaitFor([&] { return !m_dialog.Messages().empty() && Enabled(IDOK); }));

  const std::wstring path = ExpectedPath(m_dir.path());
  EXPECT_EQ(LastMessage(),
            L"DB Conversion end. [" + path + L"]\n\nWrote 3 records; skipped 1 row with coordinates out of range.");
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(Text(IDC_WRITTEN_COUNT), L"3");
  EXPECT_EQ(Cell(0, 2), L"-12.5");  // the table is now in latitude order
  EXPECT_EQ(Cell(1, 1), L"200");
  EXPECT_EQ(Cell(3, 0), L"Caf\u00E9");  // after the row of the same latitude before it

  // The same records as the core makes of the same list.
  tabrino::CameraTable table;
  tabrino::importCameraListText(kList, table);
  tabrino::test::TempDir reference;
  const auto summary = tabrino::runConversion(table, {reference.path(), tabrino::todayInUtc(), {}});
  const auto expected = tabrino::test::readBytes(summary.outputPath);
  const auto written = tabrino::test::readBytes(fs::path(path));
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_TRUE(std::equal(written.begin() + 32, written.end(), expected.begin() + 32));
}

TEST_F(DialogTest, FoldersOfAnyNameAndLengthHoldListAndDatabase) {
  // Far longer than a 100-byte folder buffer, and not in any ANSI code page.
  fs::path folder = m_dir.path() / L"\u041C\u043E\u0441\u043A\u0432\u0430 \u6771\u4EAC \u2713";
  for (int depth = 0; depth < 3; ++depth) folder /= std::wstring(40, static_cast<wchar_t>(L'a' + depth));
  fs::create_directories(folder);
  tabrino::test::writeText(folder / "cameras.txt", kList);
  Open(folder / "cameras.txt");
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"4");
  ASSERT_TRUE(Convert());
  EXPECT_EQ(LastMessage().substr(0, LastMessage().find(L'\n')), L"DB Conversion end. [" + ExpectedPath(folder) + L"]");
  EXPECT_TRUE(fs::exists(ExpectedPath(folder)));
}

TEST_F(DialogTest, ConversionWaitsForAListAndDoesNothingWithNoRows) {
  ::SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_CONVERSION, BN_CLICKED), 0);  // disabled, yet sent
  tabrino::test::writeText(m_dir / "header.txt", "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n");
  Open(m_dir / "header.txt");
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"0");
  ASSERT_TRUE(Enabled(IDC_CONVERSION));
  Click(IDC_CONVERSION);
  EXPECT_TRUE(Enabled(IDC_CONVERSION));
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(m_dialog.Messages().empty());
  EXPECT_EQ(m_dir.entries(), std::vector<std::string>{"header.txt"});
}

TEST_F(DialogTest, RowsAllOutOfRangeLeaveTheWrittenCountAsItWas) {
  tabrino::test::writeText(m_dir / "far.txt", "IDX,X,Y\r\n1,181,0\r\n2,0,91\r\n");
  Open(m_dir / "far.txt");
  ASSERT_TRUE(Convert());
  EXPECT_EQ(Text(IDC_WRITTEN_COUNT), L"0");
  EXPECT_EQ(fs::file_size(ExpectedPath(m_dir.path())), 64u);
}

TEST_F(DialogTest, AFileThatCannotBeCreatedNamesItsRealPathAndLeavesNoWrittenCount) {
  tabrino::test::writeText(m_dir / "cameras.txt", kList);
  Open(m_dir / "cameras.txt");
  ASSERT_TRUE(Convert());
  ASSERT_EQ(Text(IDC_WRITTEN_COUNT), L"3");

  const fs::path blocked = ExpectedPath(m_dir.path());
  fs::remove(blocked);
  fs::create_directory(blocked);  // a folder holds the database's name
  ASSERT_TRUE(Convert());
  EXPECT_EQ(LastMessage(), L"File open Error : " + blocked.wstring() + L"\n\n" + SystemMessage(ERROR_ACCESS_DENIED));
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OKCANCEL | MB_ICONERROR));
  EXPECT_EQ(Text(IDC_WRITTEN_COUNT), L"0");  // no record was written
  EXPECT_TRUE(Enabled(IDC_OPEN) && Enabled(IDC_CONVERSION));
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_EQ(m_dir.entries().size(), 2u);  // the list and the folder: nothing left behind
}

// Closed while the end of a run is still on screen, the dialog stays, locked,
// and closes once the message is dismissed: the request was remembered.
TEST_F(DialogTest, AClosingRequestedWhileARunEndsIsCarriedOutAfterIt) {
  tabrino::test::writeText(m_dir / "cameras.txt", kList);
  Open(m_dir / "cameras.txt");
  m_dialog.holdMessages = true;  // the user has not yet dismissed the closing message
  Click(IDC_CONVERSION);
  EXPECT_FALSE(Enabled(IDC_OPEN) || Enabled(IDC_CONVERSION) || Enabled(IDOK));
  ASSERT_TRUE(WaitFor([&] { return !m_dialog.Messages().empty(); }));

  ::SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);          // Escape
  ::SendMessageW(m_window, WM_SYSCOMMAND, SC_CLOSE, 0);       // the system menu's Close
  ::SendMessageW(m_window, WM_COMMAND, IDOK, 0);              // Enter
  Click(IDC_OPEN);
  EXPECT_TRUE(::IsWindow(m_window));
  EXPECT_FALSE(Enabled(IDC_OPEN) || Enabled(IDC_CONVERSION) || Enabled(IDOK));

  m_dialog.holdMessages = false;
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(m_window); }));
  EXPECT_EQ(m_dialog.Messages().size(), 1u);  // the work was over: nothing to ask
}

TEST_F(DialogTest, ABigListStaysOpenableAndConvertible) {
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n";
  for (int i = 0; i < 200000; ++i) {
    list += std::to_string(i) + "," + std::to_string(i % 360 - 180) + "." + std::to_string(i % 97) + "," +
            std::to_string(i % 180 - 90) + ".5,1,60,1," + std::to_string(i % 360) + "\r\n";
  }
  tabrino::test::writeText(m_dir / "big.txt", list);
  Open(m_dir / "big.txt");
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"200000");
  ASSERT_EQ(RowCount(), 200000);
  EXPECT_EQ(Cell(199999, 0), L"199999");

  Click(IDC_CONVERSION);
  ::SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);  // asked whether to stop: the test's answer is to go on
  EXPECT_TRUE(::IsWindow(m_window));
  ASSERT_TRUE(WaitFor([&] { return !m_dialog.Messages().empty() && Enabled(IDOK); }));

  tabrino::CameraTable table;
  tabrino::importCameraListText(list, table);
  tabrino::test::TempDir reference;
  const auto summary = tabrino::runConversion(table, {reference.path(), tabrino::DbDate{2014, 11, 14}, {}});
  ASSERT_GT(summary.rowsSkipped, 0u);
  EXPECT_EQ(Text(IDC_WRITTEN_COUNT), std::to_wstring(summary.recordsWritten));  // exact at the end
}

}  // namespace
}  // namespace tabrino
