// The dialog on real lists: work off the dialog's thread, the keyboard in a
// long list, drop and command-line open, DPI, system messages, resources.
#include "core/convert/conversion_run.h"
#include "core/model/calendar_date.h"
#include "core/database/db_inspect.h"
#include "core/database/record_reader.h"
#include "core/platform/byte_source.h"
#include "core/platform/file_io.h"
#include "dialog_driver.h"
#include "test_support.h"
#include "ui/resource.h"
#include "ui/system_error.h"
#include "ui/text_encoding.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwchar>
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
  int Selected() const { return static_cast<int>(::SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); }
  int SelectedCount() const { return static_cast<int>(::SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0)); }
  int Focused() const { return static_cast<int>(::SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)); }
  int TopRow() const { return static_cast<int>(::SendMessageW(List(), LVM_GETTOPINDEX, 0, 0)); }
  HWND List() const { return Item(IDC_CAMERA_LIST); }
  void Key(UINT key) {
    ::SendMessageW(List(), WM_KEYDOWN, key, 1);
    ::SendMessageW(List(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));  // released, once
  }
  void ClickRow(int row) {
    RECT rect{LVIR_BOUNDS, 0, 0, 0};
    ::SendMessageW(List(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM(rect.left + 10, (rect.top + rect.bottom) / 2);
    ::SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(List(), WM_LBUTTONUP, 0, at);
  }

  // The findings window once Findings... has opened it (nullptr if it never comes).
  HWND FindingsWindow() {
    ::PostMessageW(Item(IDC_FINDINGS_LIST), BM_CLICK, 0, 0);  // posted: the dialog may ask something first
    return ShownFindingsWindow();
  }
  // The findings window once it shows (nullptr if it never comes).
  HWND ShownFindingsWindow() {
    HWND found = nullptr;
    WaitFor([&] {
      HWND window = ::FindWindowW(L"#32770", nullptr);
      for (; window; window = ::GetWindow(window, GW_HWNDNEXT)) {
        if (::GetWindow(window, GW_OWNER) == m_window && ::GetDlgItem(window, IDC_FINDINGS_TABLE) &&
            ::IsWindowVisible(window)) {
          found = window;
          return true;
        }
      }
      return false;
    });
    return found;
  }

  // Closes the dialog during the conversion of a large list, answering
  // `answer` when asked; returns the size of the whole database (written
  // once before), and the number of messages before the close in `before`.
  static constexpr int kBigRows = 200000;
  // Opens a named pipe as the list, which the worker then waits on; returns
  // the pipe connected (INVALID_HANDLE_VALUE if not), for the test to write.
  HANDLE OpenFromPipe(const std::wstring& name) {
    const std::wstring path = L"\\\\.\\pipe\\" + name + std::to_wstring(::GetCurrentProcessId());
    HANDLE pipe =
        ::CreateNamedPipeW(path.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return pipe;
    m_dialog.choice = path;
    Click(IDC_OPEN);
    if (!::ConnectNamedPipe(pipe, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
      ::CloseHandle(pipe);
      return INVALID_HANDLE_VALUE;
    }
    return pipe;
  }
  std::uintmax_t CloseDuringAConversion(int answer, size_t& before);

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

size_t FilesIn(const fs::path& folder) {
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) files += entry.is_regular_file();
  return files;
}

std::uintmax_t DialogFeatureTest::CloseDuringAConversion(int answer, size_t& before) {
  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(kBigRows));
  Open(m_dir / "cameras.txt");
  EXPECT_TRUE(Convert());
  const auto whole = fs::file_size(DatabaseIn(m_dir.path()));
  fs::remove(DatabaseIn(m_dir.path()));
  m_dialog.questionAnswer = answer;
  before = m_dialog.Messages().size();
  ::PostMessageW(Item(IDC_CONVERSION), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !Enabled(IDOK) || m_dialog.Messages().size() > before; }));
  ::SendMessageW(m_window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(m_window); }));
  return whole;
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
  const fs::path picture = m_dir / "cameras.html";
  const struct {
    fs::path list;
    std::function<void()> write;
    std::wstring what;
  } cases[] = {
      {database, [&] { Click(IDC_CONVERSION); }, L"The database "},
      {picture, [&] { ::SendMessageW(m_window, WM_SYSCOMMAND, IDM_SHOWMAP, 0); }, L"The map "},
      {m_dir / "findings.csv", [&] {
         m_dialog.reportChoice = (m_dir / "findings.csv").wstring();
         const size_t shown = m_dialog.Messages().size();
         ::PostMessageW(FindingsWindow(), WM_COMMAND, IDC_SAVE_FINDINGS, 0);
         ASSERT_TRUE(WaitFor([&] { return m_dialog.Messages().size() > shown; }));
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

// A database its owner marked read-only stays as it was: the conversion
// says so instead of replacing it.
TEST_F(DialogFeatureTest, AReadOnlyDatabaseIsNotReplaced) {
  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(3));
  Open(m_dir / "cameras.txt");
  const fs::path database = DatabaseIn(m_dir.path());
  tabrino::test::writeText(database, "kept");
  fs::permissions(database, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const size_t before = m_dialog.Messages().size();
  Click(IDC_CONVERSION);
  ASSERT_TRUE(WaitForOpen());
  ASSERT_EQ(m_dialog.Messages().size(), before + 1);
  EXPECT_EQ(LastMessage(), database.wstring() + L" is read-only; not replaced.");
  EXPECT_EQ(tabrino::test::readText(database), "kept");
  EXPECT_TRUE(Enabled(IDC_CONVERSION));
  fs::permissions(database, fs::perms::owner_write, fs::perm_options::add);
}

// A cell of a list view in another window, as its owner shows it.
std::wstring ListViewText(HWND table, int row, int column) {
  wchar_t text[256] = L"";
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 256;
  ::SendMessageW(table, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

// The records of a database, in file order.
std::vector<tabrino::CameraRecord> RecordsOf(const fs::path& database) {
  tabrino::FileSource source(database);
  const tabrino::DatabaseInspection inspection = tabrino::inspectDatabase(source);
  std::vector<tabrino::CameraRecord> records;
  tabrino::forEachRecord(source, inspection.recordCount, [&](const tabrino::CameraRecord& r) { records.push_back(r); });
  return records;
}

// The conversion's Options window, once Options... has opened it.
HWND OptionsWindow(HWND owner) {
  HWND found = nullptr;
  WaitFor([&] {
    for (HWND window = ::FindWindowW(L"#32770", nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
      if (::GetWindow(window, GW_OWNER) == owner && ::GetDlgItem(window, IDC_OPT_BOX) && ::IsWindowVisible(window)) {
        found = window;
        return true;
      }
    }
    return false;
  });
  return found;
}

// The Options' default type and speed are what the cameras of the files
// opened next take where the file does not say; what a file says wins.
TEST_F(DialogFeatureTest, TheOptionsDefaultTypeAndSpeedFillWhatASharedFormatDoesNotSay) {
  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(3));
  tabrino::test::writeText(m_dir / "cams.kml",
                           "<kml><Document>\n"
                           "<Placemark><name>A@50</name><Point><coordinates>11.5,48.1</coordinates></Point></Placemark>\n"
                           "<Placemark><Point><coordinates>11.6,48.2</coordinates></Point></Placemark>\n"
                           "</Document></kml>\n");
  Open(m_dir / "cameras.txt");
  ASSERT_TRUE(Enabled(IDC_RUN_OPTIONS));
  ::PostMessageW(Item(IDC_RUN_OPTIONS), BM_CLICK, 0, 0);  // modal: a sent click would wait for it
  const HWND options = OptionsWindow(m_window);
  ASSERT_NE(options, nullptr);
  // A type that no list cell could hold: said in the window, which stays.
  ::SetDlgItemTextW(options, IDC_OPT_CAMERA_TYPE, L"300");
  ::SendMessageW(options, WM_COMMAND, IDOK, 0);
  wchar_t problem[256] = L"";
  ::GetDlgItemTextW(options, IDC_OPT_PROBLEM, problem, 256);
  EXPECT_EQ(std::wstring(problem), L"Default type: a whole number from 0 to 255");
  ASSERT_TRUE(::IsWindowVisible(options));
  ::SetDlgItemTextW(options, IDC_OPT_CAMERA_TYPE, L"4");
  ::SetDlgItemTextW(options, IDC_OPT_CAMERA_SPEED, L"70");
  ::SendMessageW(options, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(options) || !::IsWindowVisible(options); }));

  Open(m_dir / "cams.kml");
  ASSERT_EQ(RowCount(), 2);
  const std::vector<std::vector<std::wstring>> expected = {{L"1", L"11.5", L"48.1", L"4", L"50", L"0", L"0"},
                                                           {L"2", L"11.6", L"48.2", L"4", L"70", L"0", L"0"}};
  for (int row = 0; row < 2; ++row) {
    std::vector<std::wstring> shown;
    for (int column = 0; column < 7; ++column) shown.push_back(Cell(row, column));
    EXPECT_EQ(shown, expected[static_cast<std::size_t>(row)]) << "row " << row;
  }
}

// The Options keep what the conversion filters, drops and limits: a region,
// types and dropped duplicates leave just the cameras they should, and the
// message says what each cut. A choice that cannot be used is said in the
// window, which stays open to mend it; the choices stay for the session.
TEST_F(DialogFeatureTest, TheOptionsFilterDropAndLimitTheConversion) {
  tabrino::test::writeText(m_dir / "cameras.txt",
                           "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n"
                           "1,13.40,52.50,1,50,0,0\r\n"    // kept until its duplicate below drops it
                           "2,13.41,52.51,2,50,0,0\r\n"    // type 2: left out by the types
                           "3,20.00,52.52,1,50,0,0\r\n"    // outside the region
                           "4,13.40,52.50,1,30,0,0\r\n"    // the same camera as row 1 at a lower speed: kept
                           "5,13.42,52.53,5,70,0,0\r\n");  // kept
  tabrino::test::writeText(m_dir / "berlin.poly", "berlin\n1\n 13 52\n 14 52\n 14 53\n 13 53\nEND\nEND\n");
  Open(m_dir / "cameras.txt");
  ASSERT_TRUE(Enabled(IDC_RUN_OPTIONS));

  auto setOptions = [&](const std::wstring& types, const std::wstring& most) {
    ::PostMessageW(Item(IDC_RUN_OPTIONS), BM_CLICK, 0, 0);  // modal: a sent click would wait for it
    const HWND options = OptionsWindow(m_window);
    EXPECT_NE(options, nullptr);
    ::SetDlgItemTextW(options, IDC_OPT_REGION, (m_dir / "berlin.poly").wstring().c_str());
    ::SetDlgItemTextW(options, IDC_OPT_TYPES, types.c_str());
    ::SetDlgItemTextW(options, IDC_OPT_MAX, most.c_str());
    ::SendDlgItemMessageW(options, IDC_OPT_DROP, BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(options, WM_COMMAND, IDOK, 0);
    return options;
  };
  // A type that is none: said in the window, which stays.
  const HWND options = setOptions(L"1,x", L"");
  wchar_t problem[256] = L"";
  ::GetDlgItemTextW(options, IDC_OPT_PROBLEM, problem, 256);
  EXPECT_EQ(std::wstring(problem).rfind(L"Types: ", 0), 0u) << problem;
  ASSERT_TRUE(::IsWindowVisible(options));
  ::SetDlgItemTextW(options, IDC_OPT_TYPES, L"1,5");
  ::SendMessageW(options, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(options); }));

  ASSERT_TRUE(Convert());
  EXPECT_NE(LastMessage().find(L"Left out 2 rows: 1 by the types, 1 by the region."), std::wstring::npos)
      << LastMessage();
  EXPECT_NE(LastMessage().find(L"Dropped 1 duplicates."), std::wstring::npos) << LastMessage();
  const std::vector<tabrino::CameraRecord> records = RecordsOf(DatabaseIn(m_dir.path()));
  ASSERT_EQ(records.size(), 2u);
  {
    // The command line with the same options writes the same file, but for
    // the random block: the same date, size and checksum, the same records.
    fs::create_directories(m_dir / "cli");
    const std::wstring command = L"\"\"" + fs::path(TABRINO_CLI_EXE).wstring() + L"\" convert \"" +
                                 (m_dir / "cameras.txt").wstring() + L"\" --polygon \"" +
                                 (m_dir / "berlin.poly").wstring() + L"\" --types 1,5 --drop-duplicates -q --date " +
                                 WideFromUtf8(tabrino::isoDateText(tabrino::todayInUtc())) + L" -o \"" +
                                 (m_dir / "cli").wstring() + L"\"\"";
    ASSERT_EQ(::_wsystem(command.c_str()), 0) << command;
    const auto dialogBytes = tabrino::test::readBytes(DatabaseIn(m_dir.path()));
    const auto cliBytes = tabrino::test::readBytes(DatabaseIn(m_dir / "cli"));
    ASSERT_EQ(dialogBytes.size(), cliBytes.size());
    EXPECT_TRUE(std::equal(dialogBytes.begin(), dialogBytes.begin() + 15, cliBytes.begin()));  // the checksum folds in the random block
    EXPECT_TRUE(std::equal(dialogBytes.begin() + 32, dialogBytes.end(), cliBytes.begin() + 32));
  }
  EXPECT_EQ(records[0].speed, 30);  // row 4, latitude 52.50
  EXPECT_EQ(records[1].speed, 70);  // row 5, latitude 52.53

  // What the options left out is among the findings, as in a report of the
  // command line, in line order with the rest.
  ASSERT_TRUE(Enabled(IDC_FINDINGS_LIST));
  const HWND findings = FindingsWindow();
  ASSERT_NE(findings, nullptr);
  const HWND table = ::GetDlgItem(findings, IDC_FINDINGS_TABLE);
  std::vector<std::wstring> shown;
  for (int row = 0; row < ::SendMessageW(table, LVM_GETITEMCOUNT, 0, 0); ++row) {
    shown.push_back(ListViewText(table, row, 0) + L" " + ListViewText(table, row, 2));
  }
  EXPECT_EQ(shown, (std::vector<std::wstring>{L"3 left out by the options", L"4 left out by the options",
                                              L"5 same camera again"}));
  ::SendMessageW(findings, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(findings); }));

  // A limit below the cameras left: nothing is written over the database.
  const auto database = tabrino::test::readBytes(DatabaseIn(m_dir.path()));
  Open(m_dir / "cameras.txt");
  const HWND again = setOptions(L"1,5", L"1");
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(again); }));
  ASSERT_TRUE(Convert());
  EXPECT_EQ(LastMessage(), L"More cameras than the options' most records (2 of 1): nothing was written.");
  EXPECT_EQ(tabrino::test::readBytes(DatabaseIn(m_dir.path())), database);
}

// The map (the interactive page): from its button or the system menu, drawn on the worker with the
// commands locked, into the file the user chose (the list's name beside it
// by default), then opened, or said where it is when nothing opened it.
TEST_F(DialogFeatureTest, TheMapIsDrawnOnTheWorkerWhereTheUserSaysAndOpened) {
  EXPECT_FALSE(Enabled(IDC_MAP));
  ::SendMessageW(m_window, WM_SYSCOMMAND, IDM_SHOWMAP, 0);
  EXPECT_EQ(LastMessage(), L"Open a list first: the map shows its cameras.");
  EXPECT_TRUE(m_dialog.Pictures().empty());

  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(40));
  Open(m_dir / "cameras.txt");
  ASSERT_TRUE(Enabled(IDC_MAP));
  const fs::path beside = m_dir / "cameras.html";
  const fs::path chosen = m_dir / "elsewhere.html";
  const size_t messages = m_dialog.Messages().size();
  const struct {
    std::function<void()> ask;
    fs::path choice;  // empty: the name offered
    bool opens;
  } cases[] = {
      {[&] { Click(IDC_MAP); }, {}, true},
      {[&] { ::SendMessageW(m_window, WM_SYSCOMMAND, IDM_SHOWMAP, 0); }, chosen, true},
      {[&] { Click(IDC_MAP); }, chosen, false},  // and over the earlier map, once the chooser has asked
  };
  for (const auto& test : cases) {
    m_dialog.mapChoice = test.choice.wstring();
    m_dialog.pictureOpens = test.opens;
    test.ask();
    ASSERT_TRUE(WaitForOpen());
    EXPECT_EQ(m_dialog.MapOffered(), beside.wstring());
    const fs::path written = test.choice.empty() ? beside : test.choice;
    ASSERT_FALSE(m_dialog.Pictures().empty());
    EXPECT_EQ(m_dialog.Pictures().back(), written.wstring());
    // The interactive page, with every camera and each one's line in the list.
    const std::string page = tabrino::test::readText(written);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("data-count=\"40\" data-numbering=\"line\""), std::string::npos);
  }
  EXPECT_EQ(m_dialog.Pictures().size(), 3u);
  ASSERT_EQ(m_dialog.Messages().size(), messages + 1);  // only when nothing opened the map
  EXPECT_EQ(LastMessage(), L"The map is in " + chosen.wstring() +
                               L". Nothing on this computer opened it: open it in a web browser.");

  // A chooser cancelled writes nothing; a map that cannot be written says why.
  fs::remove(beside);
  m_dialog.confirmMap = false;
  Click(IDC_MAP);
  EXPECT_FALSE(fs::exists(beside));
  m_dialog.confirmMap = true;
  m_dialog.mapChoice = (m_dir / "no such folder" / "map.html").wstring();
  Click(IDC_MAP);
  ASSERT_TRUE(WaitForOpen());
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_NE(LastMessage().find(L"map.html"), std::wstring::npos) << LastMessage();
  EXPECT_EQ(m_dialog.Pictures().size(), 3u);
}

// A named pipe stands for a list on a slow disk: the read waits until the
// test writes, and meanwhile the dialog must go on answering.
TEST_F(DialogFeatureTest, OpenReadsOffTheDialogsThreadWithCommandsLockedAndProgressShown) {
  HANDLE pipe = OpenFromPipe(L"tabrino-dialog-test-");
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);

  // The worker now waits for the list's bytes.
  DWORD_PTR answer = 0;
  EXPECT_NE(::SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer), 0);
  EXPECT_FALSE(Enabled(IDC_OPEN) || Enabled(IDC_CONVERSION) || Enabled(IDOK));
  EXPECT_TRUE(::IsWindowVisible(Item(IDC_PROGRESS)));
  // A busy cursor (the dialog sets it), where idle it leaves the cursor to the system.
  EXPECT_EQ(::SendMessageW(m_window, WM_SETCURSOR, reinterpret_cast<WPARAM>(m_window),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  m_dialog.questionAnswer = IDCANCEL;
  ::SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);  // asked whether to stop; the answer is to go on
  EXPECT_TRUE(::IsWindow(m_window));
  ASSERT_EQ(m_dialog.Messages().size(), 1u);

  const std::string list = NumberedList(3);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(pipe, list.data(), static_cast<DWORD>(list.size()), &written, nullptr));
  ::CloseHandle(pipe);
  ASSERT_TRUE(WaitForOpen());
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"3");
  EXPECT_EQ(RowCount(), 3);
  EXPECT_FALSE(::IsWindowVisible(Item(IDC_PROGRESS)));
  EXPECT_EQ(m_dialog.Messages().size(), 1u);  // the question only
  EXPECT_TRUE(::IsWindow(m_window));
}

// A list's rows show as soon as it is read, while its duplicates are looked
// for and its IDX texts indexed; the commands wait for that, and what the
// user did in the table meanwhile stays.
TEST_F(DialogFeatureTest, TheRowsShowOnceReadAndStayAsTheUserLeftThemWhileTheyAreChecked) {
  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(300));  // rows 161 to 300 repeat 1 to 140
  m_dialog.holdShownTable = true;
  StartOpen(m_dir / "cameras.txt");
  ASSERT_TRUE(WaitFor([&] { return RowCount() == 300; }));
  EXPECT_EQ(Text(IDC_LOADED_COUNT), L"300");
  EXPECT_EQ(Cell(299, 0), L"300");
  EXPECT_FALSE(Enabled(IDC_OPEN) || Enabled(IDC_CONVERSION) || Enabled(IDC_MAP) || Enabled(IDOK));
  EXPECT_TRUE(::IsWindowVisible(Item(IDC_PROGRESS)));
  ClickRow(0);
  Key(VK_END);
  ASSERT_EQ(Selected(), 299);
  const int top = TopRow();
  ASSERT_GT(top, 0);
  m_dialog.questionAnswer = IDCANCEL;
  ::SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);  // asked whether to stop; the answer is to go on
  EXPECT_EQ(LastMessage(), L"Tabrino is still checking the list.\n\nYes: stop now and close; no file is left "
                           L"half-written.\nNo: close when the work is done.");

  m_dialog.holdShownTable = false;
  ASSERT_TRUE(WaitForOpen());
  EXPECT_EQ(Selected(), 299);
  EXPECT_EQ(TopRow(), top);
  EXPECT_EQ(RowCount(), 300);
  EXPECT_TRUE(::IsWindow(m_window));
  EXPECT_NE(Text(IDC_FINDINGS).find(L"140 rows repeat an earlier camera"), std::wstring::npos)
      << Text(IDC_FINDINGS);
  EXPECT_TRUE(Enabled(IDC_CONVERSION));
}

TEST_F(DialogFeatureTest, ClosingWhileTheRowsReadAreCheckedStopsWhenAsked) {
  tabrino::test::writeText(m_dir / "cameras.txt", NumberedList(300));
  m_dialog.holdShownTable = true;
  StartOpen(m_dir / "cameras.txt");
  ASSERT_TRUE(WaitFor([&] { return RowCount() == 300; }));
  m_dialog.questionAnswer = IDYES;
  ::SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
  m_dialog.holdShownTable = false;
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(m_window); }));
  EXPECT_EQ(m_dialog.Messages().size(), 1u);  // the question only
}

// Closing while a list is read asks whether to stop; Yes stops the reading
// at its next block and closes, with nothing more to say.
TEST_F(DialogFeatureTest, ClosingWhileAListIsReadStopsTheReadingWhenAsked) {
  HANDLE pipe = OpenFromPipe(L"tabrino-close-test-");
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  m_dialog.questionAnswer = IDYES;
  ::SendMessageW(m_window, WM_CLOSE, 0, 0);  // the dialog posts itself Cancel
  ASSERT_TRUE(WaitFor([&] { return !m_dialog.Messages().empty(); }));
  EXPECT_EQ(LastMessage(), L"Tabrino is still reading the list.\n\nYes: stop now and close; no file is left "
                           L"half-written.\nNo: close when the work is done.");
  EXPECT_EQ(m_dialog.Messages().back().type, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
  EXPECT_TRUE(::IsWindow(m_window));  // the worker still waits for bytes
  ::SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);  // asked once
  EXPECT_EQ(m_dialog.Messages().size(), 1u);

  // Read to its end, this list would fail the header test and say so.
  const std::string list = "not a header\r\n1,37.5,55.75,1,60,1,90\r\n";
  DWORD written = 0;
  const BOOL wrote = ::WriteFile(pipe, list.data(), static_cast<DWORD>(list.size()), &written, nullptr);
  ::CloseHandle(pipe);
  ASSERT_TRUE(wrote);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(m_window); }));
  EXPECT_EQ(m_dialog.Messages().size(), 1u);  // stopped before the end: nothing more was said
}

// Closing during the conversion of a large list, answering `answer` when
// asked; returns the size of the whole database (written once before), and
// the number of messages before the close in `before`.
// Closing during a conversion: No waits for the database and says it was
// written, then closes.
TEST_F(DialogFeatureTest, ClosingDuringAConversionLeavesAWholeDatabaseOrNone) {
  size_t before = 0;
  const auto whole = CloseDuringAConversion(IDNO, before);
  // Asked (unless the conversion was over first), then told of the database.
  const auto messages = m_dialog.Messages();
  ASSERT_GT(messages.size(), before);
  EXPECT_NE(messages.back().text.find(L"Wrote " + std::to_wstring(kBigRows) + L" records"), std::wstring::npos)
      << messages.back().text;
  EXPECT_EQ(fs::file_size(DatabaseIn(m_dir.path())), whole);
  EXPECT_EQ(FilesIn(m_dir.path()), 2u);  // the list and the database: no temporary file
}

// Yes stops it: the folder holds the whole database or none, never part of one.
TEST_F(DialogFeatureTest, StoppingAConversionToCloseLeavesNoPartOfADatabase) {
  size_t before = 0;
  const auto whole = CloseDuringAConversion(IDYES, before);
  const fs::path database = DatabaseIn(m_dir.path());
  // Stopped in time, there is none; finished first, it is whole.
  if (fs::exists(database)) {
    EXPECT_EQ(fs::file_size(database), whole);
  }
  EXPECT_EQ(FilesIn(m_dir.path()), fs::exists(database) ? 2u : 1u);
}

// Closing while the map is drawn asks as for the other jobs: stop now (no
// map file), close when done, or go on. When the map is done first, the
// question goes and the dialog closes, the map written.
TEST(DialogCloseTest, ClosingDuringMapAsksAndTheQuestionGoesWhenTheMapIsDone) {
  struct Driver : DialogDriver {
    using DialogDriver::DialogDriver;
    test::TestableDlg& Dialog() { return m_dialog; }
    HWND Window() const { return m_window; }
  };
  tabrino::test::TempDir dir;
  tabrino::test::writeText(dir / "cameras.txt", NumberedList(50));
  const struct {
    const char* what;
    int answer;
    bool mapDoneFirst;  // the question is still up when the map is done
    bool closes;
    bool mapWritten;
  } cases[] = {{"stop now", IDYES, false, true, false},
               {"close when done", IDNO, false, true, true},
               {"go on", IDCANCEL, false, false, true},
               {"done first", IDCANCEL, true, true, true}};
  int number = 0;
  for (const auto& c : cases) {
    const fs::path map = dir / ("map" + std::to_string(number++) + ".html");
    Driver driver(dir / "cameras.txt");
    test::TestableDlg& dialog = driver.Dialog();
    const HWND window = driver.Window();
    ASSERT_TRUE(WaitFor([&] { return driver.Text(IDC_LOADED_COUNT) == L"50"; })) << c.what;
    ASSERT_TRUE(driver.WaitForOpen());
    dialog.mapChoice = map.wstring();
    dialog.holdJobStart = true;
    ::PostMessageW(driver.Item(IDC_MAP), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !driver.Enabled(IDOK); })) << c.what;

    dialog.questionAnswer = c.answer;
    dialog.holdMessages = c.mapDoneFirst;
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !dialog.Messages().empty(); })) << c.what;
    EXPECT_EQ(dialog.Messages().front().text,
              L"Tabrino is still drawing the map.\n\nYes: stop now and close; no file is left half-written.\n"
              L"No: close when the work is done.") << c.what;
    dialog.holdJobStart = false;
    if (c.closes) {
      EXPECT_TRUE(WaitFor([&] { return !::IsWindow(window); })) << c.what;
    } else {
      EXPECT_TRUE(WaitFor([&] { return driver.Enabled(IDOK); })) << c.what;
      EXPECT_TRUE(::IsWindow(window)) << c.what;
    }
    dialog.holdMessages = false;
    EXPECT_EQ(fs::exists(map), c.mapWritten) << c.what;
    EXPECT_EQ(dialog.Messages().size(), 1u) << c.what;  // the question only: the map opened
    EXPECT_EQ(dialog.Pictures().size(), c.mapWritten ? 1u : 0u) << c.what;
  }
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

// Typing an IDX goes through the index built with the table: it follows the
// rows through the sort of a conversion, and letters match in either case.
TEST_F(DialogFeatureTest, TypingAnIdxFindsItsRowInTheOrderShown) {
  std::string list = NumberedList(300);
  list += "Gate-North,10.5,85.5,1,60,1,90\r\n";  // the northernmost: last once sorted
  tabrino::test::writeText(m_dir / "cameras.txt", list);
  Open(m_dir / "cameras.txt");
  // What the list view asks when keys are typed: the next row from `start` on, wrapping.
  auto find = [&](const wchar_t* idx, int start, UINT flags = LVFI_PARTIAL | LVFI_WRAP) {
    LVFINDINFOW info{};
    info.flags = LVFI_STRING | flags;
    info.psz = idx;
    const int row = static_cast<int>(::SendMessageW(List(), LVM_FINDITEMW, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(&info)));
    return row >= 0 ? Cell(row, 0) : L"(none)";
  };
  ClickRow(0);
  for (wchar_t key : std::wstring(L"257")) ::SendMessageW(List(), WM_CHAR, key, 1);
  EXPECT_EQ(Cell(Selected(), 0), L"257");
  EXPECT_EQ(find(L"gATE", 0), L"Gate-North");
  EXPECT_EQ(find(L"gATE", 0, LVFI_STRING), L"(none)");  // the whole text, not its start
  EXPECT_EQ(find(L"gATE-north", 0, LVFI_STRING), L"Gate-North");
  EXPECT_EQ(find(L"30", 300, LVFI_PARTIAL), L"(none)");  // nothing after the start, no wrapping
  EXPECT_EQ(find(L"30", 300), L"30");
  ASSERT_TRUE(Convert());
  EXPECT_EQ(find(L"gate-n", -1), L"Gate-North");
  EXPECT_EQ(find(L"257", -1), L"257");  // the row of 257, wherever the sort put it
  EXPECT_EQ(find(L"30", -1), L"300");    // now first: further south than 30
}

// Enter in the table, the natural key after typing an IDX, keeps the dialog
// and the row found; the OK button and Escape still close it at once, with
// no question about the list loaded.
TEST(DialogKeysTest, EnterInTheTableNeverClosesTheDialog) {
  tabrino::test::TempDir dir;
  tabrino::test::writeText(dir / "cameras.txt", NumberedList(3000));
  const struct {
    const char* then;
    bool closes;
  } cases[] = {{"nothing", false}, {"OK", true}, {"Escape", true}};
  for (const auto& c : cases) {
    DialogDriver dialog(dir / "cameras.txt");
    ASSERT_TRUE(WaitFor([&] { return dialog.Text(IDC_LOADED_COUNT) == L"3000"; })) << c.then;
    ASSERT_TRUE(dialog.WaitForOpen());
    const HWND window = ::GetParent(dialog.Item(IDC_CAMERA_LIST));
    const HWND list = dialog.Item(IDC_CAMERA_LIST);
    ::SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    // Through the dialog's own message loop, as typed keys come.
    for (wchar_t key : std::wstring(L"2718")) ::PostMessageW(list, WM_CHAR, key, 1);
    ::PostMessageW(list, WM_KEYDOWN, VK_RETURN, 1);
    ::PostMessageW(list, WM_CHAR, VK_RETURN, 1);
    ::PostMessageW(list, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC0000001u));
    auto selected = [&] {
      return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    };
    ASSERT_TRUE(WaitFor([&] { return ::IsWindow(window) && selected() >= 0 && dialog.Cell(selected(), 0) == L"2718"; }))
        << c.then;
    ::Sleep(200);  // a close would have come by now
    ASSERT_TRUE(::IsWindow(window)) << c.then;
    EXPECT_EQ(dialog.Cell(selected(), 0), L"2718") << c.then;
    const int top = static_cast<int>(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const int shown = static_cast<int>(::SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_TRUE(selected() >= top && selected() <= top + shown) << c.then;

    const size_t messages = dialog.LastMessage().size();
    if (std::string(c.then) == "OK") {
      ::PostMessageW(dialog.Item(IDOK), BM_CLICK, 0, 0);
    } else if (std::string(c.then) == "Escape") {
      ::PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 1);
    }
    if (c.closes) {
      EXPECT_TRUE(WaitFor([&] { return !::IsWindow(window); })) << c.then;
      EXPECT_EQ(dialog.LastMessage().size(), messages) << c.then;  // nothing asked
    }
  }
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
  const int ids[] = {IDC_CAMERA_LIST, IDC_FINDINGS, IDC_FINDINGS_LIST, IDOK, IDC_MAP, IDC_OPEN, IDC_CONVERSION,
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
      {dx, dy, dx, dy},  // Findings..., OK and Map... keep to the bottom right
      {dx, dy, dx, dy},
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

struct ToolTipSearch {
  HWND dialog;
  HWND found;
};

BOOL CALLBACK FindToolTip(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ToolTipSearch*>(param);
  wchar_t name[64] = L"";
  ::GetClassNameW(window, name, 64);
  if (std::wstring(name) == TOOLTIPS_CLASSW && ::GetWindow(window, GW_OWNER) == search->dialog) search->found = window;
  return search->found ? FALSE : TRUE;
}

// The dialog's tooltip control: the tooltip window its thread made for it.
HWND ToolTipOf(HWND dialog) {
  ToolTipSearch search{dialog, nullptr};
  ::EnumThreadWindows(::GetWindowThreadProcessId(dialog, nullptr), &FindToolTip, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The tip the dialog's tooltip shows over the middle of control `id`.
std::wstring TipOver(HWND dialog, int id) {
  RECT rect;
  ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  wchar_t text[1024] = L"";
  TTHITTESTINFOW hit{};
  hit.hwnd = dialog;
  hit.pt = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  hit.ti.cbSize = TTTOOLINFOW_V2_SIZE;
  if (!::SendMessageW(ToolTipOf(dialog), TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&hit))) return L"(no tool)";
  hit.ti.lpszText = text;
  ::SendMessageW(ToolTipOf(dialog), TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&hit.ti));
  return text;
}

// Each count has a name: a tooltip over it, and the hidden label before it
// that screen readers name an edit by. The fields look as they did.
TEST_F(DialogFeatureTest, TheCountsAreNamedForTooltipsAndScreenReaders) {
  ASSERT_NE(ToolTipOf(m_window), nullptr);
  const struct {
    int id;
    const wchar_t* name;
  } fields[] = {{IDC_WRITTEN_COUNT, L"Records written"}, {IDC_LOADED_COUNT, L"Rows loaded"}};
  RECT window;
  ::GetWindowRect(m_window, &window);
  for (int grown : {0, 150}) {  // and where they stand after a resize
    ::SetWindowPos(m_window, nullptr, 0, 0, window.right - window.left + grown, window.bottom - window.top + grown,
                   SWP_NOMOVE | SWP_NOZORDER);
    for (const auto& field : fields) {
      EXPECT_EQ(TipOver(m_window, field.id), field.name) << grown;
      const HWND label = ::GetWindow(Item(field.id), GW_HWNDPREV);
      wchar_t text[64] = L"";
      ::GetWindowTextW(label, text, 64);
      EXPECT_STREQ(text, field.name);
      EXPECT_FALSE(::IsWindowVisible(label));
      EXPECT_TRUE(::IsWindowVisible(Item(field.id)));
      EXPECT_FALSE(Enabled(field.id));
    }
  }
}

TEST_F(DialogFeatureTest, ColumnsAndIconsFollowTheMonitorsDpi) {
  std::vector<int> widths;
  for (std::size_t column = 0; column < 7; ++column) {
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
  for (std::size_t column = 0; column < widths.size(); ++column) {
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
  // Whole kinds as far as they fit, then how many findings are left; the
  // whole line is its tooltip, and shows once the window is wide enough.
  const std::wstring kinds[] = {L"2 rows skipped, coordinates out of range: line 4, line 6",
                                L"1 line without a comma made no row: line 5", L"1 row repeats an earlier camera: line 3"};
  const std::wstring whole = kinds[0] + L"; " + kinds[1] + L"; " + kinds[2];
  // The first kind always leads: whole, or cut with "…" where it must be.
  auto fitted = [&](const std::wstring& line) {
    const std::wstring whole[] = {kinds[0] + L"; 2 more: Findings...",
                                  kinds[0] + L"; " + kinds[1] + L"; 1 more: Findings..."};
    if (std::find(std::begin(whole), std::end(whole), line) != std::end(whole)) return true;
    const std::wstring end = L"\u2026; 2 more: Findings...";
    const std::size_t cut = line.size() - std::min(line.size(), end.size());
    return cut > 0 && line.substr(cut) == end && kinds[0].compare(0, cut, line, 0, cut) == 0;
  };
  EXPECT_TRUE(fitted(Text(IDC_FINDINGS))) << Text(IDC_FINDINGS);
  EXPECT_EQ(TipOver(m_window, IDC_FINDINGS), whole);
  RECT window;
  ::GetWindowRect(m_window, &window);
  // At its narrowest the window still names the first kind, cut.
  ::SetWindowPos(m_window, nullptr, 0, 0, 50, window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(fitted(Text(IDC_FINDINGS))) << Text(IDC_FINDINGS);
  EXPECT_NE(Text(IDC_FINDINGS).find(L"\u2026"), std::wstring::npos) << Text(IDC_FINDINGS);
  ::SetWindowPos(m_window, nullptr, 0, 0, 1200, window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(Text(IDC_FINDINGS), whole);
  ::SetWindowPos(m_window, nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_TRUE(Enabled(IDC_FINDINGS_LIST));

  ASSERT_TRUE(Convert());
  EXPECT_NE(LastMessage().find(L"Wrote 2 records; skipped 2 rows with coordinates out of range."), std::wstring::npos);

  // Save... in the findings window: today's CSV, through the chooser.
  const fs::path report = m_dir / "findings.csv";
  m_dialog.reportChoice = report.wstring();
  HWND findings = FindingsWindow();
  ASSERT_NE(findings, nullptr);
  const size_t before = m_dialog.Messages().size();
  ::PostMessageW(::GetDlgItem(findings, IDC_SAVE_FINDINGS), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return m_dialog.Messages().size() > before && Enabled(IDOK); }));
  // A clean list has nothing to say.
  tabrino::test::writeText(m_dir / "clean.txt", NumberedList(3));
  Open(m_dir / "clean.txt");
  EXPECT_EQ(Text(IDC_FINDINGS), L"");
  EXPECT_FALSE(Enabled(IDC_FINDINGS_LIST));
}

// Every finding in a virtual list (line, list, kind in words, detail), in a
// window beside the dialog that stays while the user walks through them:
// double-click, Enter or Go to row selects the line's row in the table
// behind it, wherever the sort put it, and the keyboard stays in the window.
TEST_F(DialogFeatureTest, TheFindingsWindowListsEveryFindingAndGoesToItsRow) {
  std::string list = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n";
  for (int i = 2; i <= 40; ++i) list += std::to_string(i) + ",10.5," + std::to_string(80 - i) + ",1,60,1,90\n";
  list += "no comma here\n";                 // line 41
  list += "42,10.5,75.5x,1,60,1,90\n";         // line 42: a number with more after it
  list += "43,10.5,78,1,60,1,90\n";          // line 43: the same camera as line 2
  tabrino::test::writeText(m_dir / "odd.txt", list);
  Open(m_dir / "odd.txt");
  ASSERT_TRUE(Convert());  // the rows now stand in latitude order

  HWND findings = FindingsWindow();
  ASSERT_NE(findings, nullptr);
  HWND table = ::GetDlgItem(findings, IDC_FINDINGS_TABLE);
  EXPECT_TRUE(::GetWindowLongW(table, GWL_STYLE) & LVS_OWNERDATA);
  wchar_t title[128] = L"";
  ::GetWindowTextW(findings, title, 128);
  EXPECT_EQ(std::wstring(title), L"Findings: 3 in odd.txt");
  auto cell = [&](int row, int column) { return ListViewText(table, row, column); };
  ASSERT_EQ(::SendMessageW(table, LVM_GETITEMCOUNT, 0, 0), 3);
  const std::vector<std::wstring> rows[] = {{L"41", L"odd.txt", L"no comma: no row"},
                                            {L"42", L"odd.txt", L"more than a number"},
                                            {L"43", L"odd.txt", L"same camera again"}};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      EXPECT_EQ(cell(row, column), rows[row][static_cast<std::size_t>(column)]) << row;
    }
    EXPECT_FALSE(cell(row, 3).empty());
  }
  EXPECT_EQ(cell(2, 3), L"same camera as line 2");
  auto keyboardIn = [&] {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(m_window, nullptr), &thread);
    return thread.hwndFocus;
  };
  ASSERT_TRUE(WaitFor([&] { return keyboardIn() == table; }));

  // Enter on line 42, through the dialog's loop as a key comes.
  LVITEMW select{};
  select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(table, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&select));
  ::PostMessageW(table, WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(WaitFor([&] { return Selected() >= 0 && Cell(Selected(), 0) == L"42"; }));
  EXPECT_TRUE(::IsWindow(findings));
  EXPECT_EQ(keyboardIn(), table);  // the next finding is a key away
  {
    // The row is drawn as selected, though the table has not the keyboard.
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr = {List(), IDC_CAMERA_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(Selected());
    draw.nmcd.uItemState = CDIS_SELECTED;
    ::SendMessageW(m_window, WM_NOTIFY, IDC_CAMERA_LIST, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(draw.clrTextBk, ::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(draw.clrText, ::GetSysColor(COLOR_HIGHLIGHTTEXT));
    EXPECT_FALSE(draw.nmcd.uItemState & CDIS_SELECTED);  // not the grey of a list without the focus
  }

  // A double-click on line 43, in the same window.
  RECT rect{LVIR_BOUNDS, 0, 0, 0};
  ::SendMessageW(table, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect));
  const LPARAM at = MAKELPARAM(rect.left + 10, (rect.top + rect.bottom) / 2);
  ::PostMessageW(table, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(table, WM_LBUTTONUP, 0, at);
  ::PostMessageW(table, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::PostMessageW(table, WM_LBUTTONUP, 0, at);
  ASSERT_TRUE(WaitFor([&] { return Cell(Selected(), 0) == L"43"; }));
  EXPECT_EQ(SelectedCount(), 1);
  EXPECT_TRUE(::IsWindow(findings));

  // A line that made no row says so.
  ::SendMessageW(table, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&select));
  const size_t before = m_dialog.Messages().size();
  ::PostMessageW(::GetDlgItem(findings, IDC_GOTO_ROW), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return m_dialog.Messages().size() > before; }));
  EXPECT_EQ(LastMessage(), L"Line 41 made no row: the table does not show it.");

  // Findings... again brings the same window forward; Escape closes it.
  EXPECT_EQ(FindingsWindow(), findings);
  ::PostMessageW(table, WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(findings); }));
}

// The window beside the dialog: owned by it and centred on it, the dialog
// still in use behind it; its Detail column takes the room the window
// gains; Save... cancelled leaves it open. An extract's finding about a
// camera goes to that camera's row; one about an object that made no row
// says so.
TEST_F(DialogFeatureTest, TheFindingsWindowStaysBesideTheDialogAndGoesToAnExtractsRows) {
  tabrino::test::writeText(m_dir / "b.txt",
                           "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"
                           "b1,13.5,52.5,1,50,0,0\n"
                           "not a camera\n");
  fs::copy_file(fs::path(TABRINO_OSM_GENERATED_DIR) / "cameras.osm.pbf", m_dir / "cameras.osm.pbf");
  Open(std::vector<fs::path>{m_dir / "b.txt", m_dir / "cameras.osm.pbf"});
  ASSERT_TRUE(Convert());  // the extract's rows move among the list's
  ::SetWindowPos(m_window, nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // room around it to centre on
  const HWND findings = FindingsWindow();
  ASSERT_NE(findings, nullptr);
  const HWND table = ::GetDlgItem(findings, IDC_FINDINGS_TABLE);
  EXPECT_EQ(::GetWindow(findings, GW_OWNER), m_window);
  EXPECT_TRUE(::IsWindowEnabled(m_window));  // not modal: the table stays in reach
  wchar_t title[128] = L"";
  ::GetWindowTextW(findings, title, 128);
  const int count = static_cast<int>(::SendMessageW(table, LVM_GETITEMCOUNT, 0, 0));
  EXPECT_EQ(std::wstring(title), L"Findings: " + std::to_wstring(count) + L" in 2 lists");
  RECT owner, window;
  ::GetWindowRect(m_window, &owner);
  ::GetWindowRect(findings, &window);
  EXPECT_LE(std::abs((owner.left + owner.right) - (window.left + window.right)), 2);
  EXPECT_LE(std::abs((owner.top + owner.bottom) - (window.top + window.bottom)), 2);

  // Wider, the Detail column takes the room.
  const int detail = static_cast<int>(::SendMessageW(table, LVM_GETCOLUMNWIDTH, 3, 0));
  ::SetWindowPos(findings, nullptr, 0, 0, window.right - window.left + 200, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(::SendMessageW(table, LVM_GETCOLUMNWIDTH, 3, 0), detail + 200);

  // Save... cancelled: the window is still there.
  const size_t before = m_dialog.Messages().size();
  m_dialog.reportChoice.clear();
  ::SendMessageW(::GetDlgItem(findings, IDC_SAVE_FINDINGS), BM_CLICK, 0, 0);
  EXPECT_TRUE(::IsWindow(findings));
  EXPECT_EQ(m_dialog.Messages().size(), before);

  auto rowOf = [&](const std::wstring& object) {
    for (int row = 0; row < count; ++row) {
      if (ListViewText(table, row, 3).rfind(object + L" ", 0) == 0) return row;
    }
    return -1;
  };
  auto goTo = [&](int row) {
    LVITEMW select{};
    select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(table, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&select));
    ::PostMessageW(::GetDlgItem(findings, IDC_GOTO_ROW), BM_CLICK, 0, 0);
  };
  // The cameras of nodes 9, 14 and 15 (the fixture's) are rows.
  const struct {
    const wchar_t* object;
    const wchar_t* kind;
    const wchar_t* x;
    const wchar_t* y;
  } cameras[] = {{L"node 9", L"no speed in the extract", L"10.9", L"50.9"},
                 {L"node 14", L"speed from the road", L"11.4", L"51.4"},
                 {L"node 15", L"no speed in the extract", L"11.5", L"51.5"}};
  for (const auto& camera : cameras) {
    const int row = rowOf(camera.object);
    ASSERT_GE(row, 0) << camera.object;
    EXPECT_EQ(ListViewText(table, row, 1), L"cameras.osm.pbf");
    EXPECT_EQ(ListViewText(table, row, 2), camera.kind);
    goTo(row);
    ASSERT_TRUE(WaitFor([&] { return Selected() >= 0 && Cell(Selected(), 1) == camera.x; })) << camera.object;
    EXPECT_EQ(Cell(Selected(), 2), camera.y) << camera.object;
  }
  EXPECT_EQ(m_dialog.Messages().size(), before);
  // Relation 107 is of a kind left out: no row of it.
  const int left = rowOf(L"relation 107");
  ASSERT_GE(left, 0);
  goTo(left);
  ASSERT_TRUE(WaitFor([&] { return m_dialog.Messages().size() > before; }));
  EXPECT_EQ(LastMessage(), L"relation 107 made no camera: the table has no row of it.");
  EXPECT_TRUE(::IsWindow(findings));
}

// The findings a line of the findings' summary counts: each kind starts with
// its count ("2 rows skipped, ...; 1 line without ...").
std::uint64_t CountedIn(const std::wstring& line) {
  std::uint64_t total = 0;
  for (std::size_t start = 0; start < line.size();) {
    const std::size_t end = std::min(line.find(L"; ", start), line.size());
    total += std::wcstoull(line.c_str() + start, nullptr, 10);
    start = end + 2;
  }
  return total;
}

// A second Open shows the findings of its own lists, whatever the table held
// before: the window lists as many as the line below the table counts, and
// Save... writes what the command line's report of the same lists holds.
TEST_F(DialogFeatureTest, FindingsAfterAnotherOpenAreThoseOfTheListsOpened) {
  tabrino::test::writeText(m_dir / "large.txt", NumberedList(20000) + "no comma in the large list\n");
  tabrino::test::writeText(m_dir / "small.txt", NumberedList(2));
  tabrino::test::writeText(m_dir / "a.txt",
                           "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"
                           "a1,13.1,52.1,1,50,0,0\n"
                           "no comma here\n"
                           "a3,200,10,1,60,1,90\n"
                           "a4,13.4x,52.4,1,50,0,0\n");
  tabrino::test::writeText(m_dir / "b.txt",
                           "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"
                           "b1,13.5,52.5,1,50,0,0\n"
                           "b2,13.5,52.5,1,50,0,0\n"
                           "not a camera\n"
                           "b4,13.6,95,1,50,0,0\n");
  fs::copy_file(fs::path(TABRINO_OSM_GENERATED_DIR) / "cameras.osm.pbf", m_dir / "cameras.osm.pbf");
  const struct {
    const char* before;
    std::vector<const char*> lists;
  } cases[] = {
      {"large.txt", {"a.txt", "b.txt"}},
      {"small.txt", {"a.txt", "b.txt"}},
      {"large.txt", {"cameras.osm.pbf", "b.txt"}},
      {"small.txt", {"b.txt", "cameras.osm.pbf"}},
  };
  int number = 0;
  for (const auto& c : cases) {
    const std::string where = std::string(c.before) + " then " + c.lists.front() + ", " + c.lists.back();
    std::vector<fs::path> lists;
    std::wstring named;  // as the dialog names them: Open made their folder the current one
    for (const char* list : c.lists) {
      lists.push_back(m_dir / list);
      named += L" " + WideFromUtf8(list);
    }
    Open(m_dir / c.before);
    Open(lists);
    ASSERT_TRUE(fs::equivalent(fs::current_path(), m_dir.path()));
    ASSERT_TRUE(Enabled(IDC_FINDINGS_LIST)) << where << " " << LastMessage();

    const fs::path cliReport = m_dir / ("cli" + std::to_string(number) + ".csv");
    const fs::path report = m_dir / ("dialog" + std::to_string(number) + ".csv");
    ++number;
    fs::create_directories(m_dir / "cli");
    const std::wstring command = L"\"\"" + fs::path(TABRINO_CLI_EXE).wstring() + L"\" convert" + named +
                                 L" -q --report \"" + cliReport.wstring() + L"\" -o \"" + (m_dir / "cli").wstring() +
                                 L"\"\"";
    ASSERT_EQ(::_wsystem(command.c_str()), 0) << command;
    const std::string expected = tabrino::test::readText(cliReport);
    const auto findingsInReport = static_cast<std::uint64_t>(std::count(expected.begin(), expected.end(), '\n') - 1);

    EXPECT_EQ(CountedIn(TipOver(m_window, IDC_FINDINGS)), findingsInReport) << where << ": " << TipOver(m_window, IDC_FINDINGS);
    const std::size_t before = m_dialog.Messages().size();
    HWND findings = FindingsWindow();
    ASSERT_NE(findings, nullptr) << where << " " << LastMessage();
    EXPECT_EQ(m_dialog.Messages().size(), before) << where << " " << LastMessage();
    const HWND table = ::GetDlgItem(findings, IDC_FINDINGS_TABLE);
    EXPECT_EQ(static_cast<std::uint64_t>(::SendMessageW(table, LVM_GETITEMCOUNT, 0, 0)), findingsInReport) << where;

    m_dialog.reportChoice = report.wstring();
    ::PostMessageW(::GetDlgItem(findings, IDC_SAVE_FINDINGS), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return m_dialog.Messages().size() > before && Enabled(IDOK); })) << where;
    EXPECT_NE(LastMessage().find(report.filename().wstring()), std::wstring::npos) << where << " " << LastMessage();
    EXPECT_EQ(tabrino::test::readText(report), expected) << where;
    if (::IsWindow(findings)) ::SendMessageW(findings, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(findings); })) << where;
  }
}

TEST_F(DialogFeatureTest, AUtf8ListIsShownAsUtf8) {
  tabrino::test::writeText(m_dir / "utf8.txt",
                           "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n"
                           "Caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC,37.5,55.75,1,60,1,90\r\n");
  Open(m_dir / "utf8.txt");
  EXPECT_EQ(Cell(0, 0), L"Caf\u00E9 \u6771\u4EAC");
}

// The cells are read from the list's file as they are shown, the file never
// held open: it can be saved meanwhile. Once saved, what is not yet read of
// it is not read as if it were the list the rows came from, and the user is
// told why those cells are empty.
TEST_F(DialogFeatureTest, AListSavedAgainWhileShownIsNotReadAsTheOneShown) {
  const fs::path list = m_dir / "cameras.txt";
  const std::string text = NumberedList(kBigRows);
  tabrino::test::writeText(list, text);
  Open(list);
  ASSERT_EQ(RowCount(), kBigRows);
  EXPECT_EQ(Cell(0, 0), L"1");
  // Saved again by another program, as an editor saves: a new file put in its place.
  std::string edited = text;
  edited.replace(edited.rfind("\r\n", edited.size() - 3) + 2, 1, "X");
  tabrino::test::writeText(m_dir / "edited.txt", edited);
  std::error_code replaced;
  fs::rename(m_dir / "edited.txt", list, replaced);
  EXPECT_FALSE(replaced) << "the list shown keeps others from saving it: " << replaced.message();
  const size_t before = m_dialog.Messages().size();
  ::SendMessageW(Item(IDC_CAMERA_LIST), LVM_ENSUREVISIBLE, kBigRows - 1, FALSE);
  EXPECT_EQ(Cell(kBigRows - 1, 0), L"");
  EXPECT_EQ(Cell(kBigRows - 1, 2), L"");
  ASSERT_TRUE(WaitFor([&] { return m_dialog.Messages().size() > before; }));
  EXPECT_NE(m_dialog.Messages().back().text.find(L"changed on disk after it was opened"), std::wstring::npos)
      << m_dialog.Messages().back().text;
  // Opened again, it is the list as it is now.
  Open(list);
  EXPECT_EQ(Cell(kBigRows - 1, 0), L"X00000");
  EXPECT_EQ(m_dialog.Messages().size(), before + 1);
}

TEST_F(DialogFeatureTest, TheChooserOffersEverythingReadTogetherThenTextCsvExtractsAndAllFiles) {
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
    ::SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    filters.push_back(text);
  }
  ::PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(chooser); }));
  // Everything Open reads first, then each format alone.
  EXPECT_EQ(filters, (std::vector<std::wstring>{L"Camera lists and extracts(*.txt;*.csv;*.osm.pbf)", L"Text File(*.txt) ",
                                                L"CSV File(*.csv)", L"OpenStreetMap extract(*.osm.pbf)",
                                                L"All Files(*.*)"}));
}

// Each command button has its key (Alt and its underlined letter), its
// caption reading as before; and the window can be minimized.
TEST_F(DialogFeatureTest, TheCommandButtonsHaveKeysAndTheWindowMinimizes) {
  tabrino::test::writeText(m_dir / "odd.txt", NumberedList(3) + "no comma here\n");
  const struct {
    int id;
    const wchar_t* caption;
  } buttons[] = {{IDC_OPEN, L"&Open"}, {IDC_CONVERSION, L"&Conversion"}, {IDC_MAP, L"&Map..."},
                 {IDC_FINDINGS_LIST, L"&Findings..."}};
  for (const auto& button : buttons) EXPECT_EQ(Text(button.id), button.caption);
  auto alt = [&](wchar_t letter) {
    ::PostMessageW(List(), WM_SYSCHAR, letter, static_cast<LPARAM>(1u | (1u << 29)));  // through the dialog's loop
  };
  m_dialog.choice = (m_dir / "odd.txt").wstring();
  alt(L'o');
  ASSERT_TRUE(WaitFor([&] { return Text(IDC_LOADED_COUNT) == L"3" && Enabled(IDOK); }));
  const size_t before = m_dialog.Messages().size();
  alt(L'c');
  ASSERT_TRUE(WaitFor([&] { return m_dialog.Messages().size() > before && Enabled(IDOK); }));
  EXPECT_TRUE(fs::exists(DatabaseIn(m_dir.path())));
  m_dialog.confirmMap = false;
  alt(L'm');
  EXPECT_TRUE(WaitFor([&] { return !m_dialog.MapOffered().empty(); }));
  alt(L'f');
  const HWND findings = ShownFindingsWindow();
  ASSERT_NE(findings, nullptr);
  ::SendMessageW(findings, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(findings); }));

  EXPECT_TRUE(::GetWindowLongW(m_window, GWL_STYLE) & WS_MINIMIZEBOX);
  ::SendMessageW(m_window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitFor([&] { return ::IsIconic(m_window) != FALSE; }));
  ::SendMessageW(m_window, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(WaitFor([&] { return ::IsIconic(m_window) == FALSE; }));
}

// A failure's code in the words users know: the system's message for a Win32
// error, the C run-time's for an errno value; the core's own reason as it
// stands.
TEST(SystemErrorTest, ReasonsReadInTheSystemsWords) {
  struct Case {
    std::error_code code;
    std::wstring expected;
  };
  const Case cases[] = {
      {{ERROR_FILE_NOT_FOUND, std::system_category()}, SystemMessage(ERROR_FILE_NOT_FOUND)},
      {{ERROR_PATH_NOT_FOUND, std::system_category()}, SystemMessage(ERROR_PATH_NOT_FOUND)},
      {{ERROR_SHARING_VIOLATION, std::system_category()}, SystemMessage(ERROR_SHARING_VIOLATION)},  // held open elsewhere
      {{ERROR_DISK_FULL, std::system_category()}, SystemMessage(ERROR_DISK_FULL)},
      {std::make_error_code(std::errc::no_such_file_or_directory), L"No such file or directory"},
      {std::make_error_code(std::errc::no_space_on_device), L"No space left on device"},
      {std::make_error_code(std::errc::permission_denied), L"Permission denied"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorCodeText(c.code), c.expected) << c.code;
    EXPECT_EQ(ReasonText(c.code, "ignored: the code says why"), c.expected) << c.code;
  }
  // The system's words, not the run-time's, for the same failure.
  EXPECT_NE(SystemMessage(ERROR_FILE_NOT_FOUND), L"No such file or directory");
  EXPECT_FALSE(SystemMessage(ERROR_DISK_FULL).empty());
  EXPECT_NE(SystemMessage(ERROR_DISK_FULL).back(), L'\n');
  // A reason that is no system error is shown as it stands.
  EXPECT_EQ(ReasonText({}, "more cameras than one database file can hold"),
            L"more cameras than one database file can hold");
  EXPECT_EQ(ErrorCodeText({}), L"");
}

// A read that fails in ReadFile keeps the Win32 error, which the dialog then
// shows in the system's words (once it read as an input/output error).
TEST(SystemErrorTest, AFailedReadShowsTheSystemsOwnError) {
  tabrino::test::TempDir dir;
  tabrino::test::writeText(dir / "cameras.txt", "IDX,X,Y\r\n1,2,3\r\n");
  const UniqueFile writeOnly = openFile(dir / "cameras.txt", "ab");  // no read access
  ASSERT_NE(writeOnly, nullptr);
  char buffer[16];
  std::size_t got = 0;
  const std::error_code error = readAt(writeOnly.get(), 0, buffer, sizeof buffer, got);
  EXPECT_EQ(error, std::error_code(ERROR_ACCESS_DENIED, std::system_category()));
  EXPECT_EQ(ReasonText(error, ""), SystemMessage(ERROR_ACCESS_DENIED));
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

// Lists named together make one table in the order named; findings name
// their list, and the database goes beside the first list.
TEST(DialogStartTest, SeveralListsNamedOnTheCommandLineMakeOneTable) {
  tabrino::test::TempDir dir;
  fs::create_directories(dir / "second");
  tabrino::test::writeText(dir / "a.txt", NumberedList(3));
  tabrino::test::writeText(dir / "second" / "b.txt",
                           "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n"
                           "b1,13.1,52.1,1,50,0,0\n"
                           "not a camera\n"
                           "b2,13.2,52.2,1,50,0,0");  // no line feed at the end
  DialogDriver dialog(std::vector<fs::path>{dir / "a.txt", dir / "second" / "b.txt"});
  ASSERT_TRUE(WaitFor([&] { return dialog.Text(IDC_LOADED_COUNT) == L"5"; }));
  ASSERT_TRUE(dialog.WaitForOpen());
  ASSERT_EQ(dialog.RowCount(), 5);
  std::vector<std::wstring> idx;
  for (int row = 0; row < 5; ++row) idx.push_back(dialog.Cell(row, 0));
  EXPECT_EQ(idx, (std::vector<std::wstring>{L"1", L"2", L"3", L"b1", L"b2"}));
  EXPECT_EQ(dialog.Cell(4, 6), L"0");  // the last cell of a list ends with its list
  EXPECT_NE(dialog.Text(IDC_FINDINGS).find(L"b.txt line 3"), std::wstring::npos) << dialog.Text(IDC_FINDINGS);
  ASSERT_TRUE(dialog.Convert());
  EXPECT_TRUE(fs::exists(DatabaseIn(dir.path())));
  EXPECT_FALSE(fs::exists(DatabaseIn(dir / "second")));
}

// A list that cannot be read among several is named; nothing may be converted.
TEST(DialogStartTest, AFailingListAmongSeveralIsNamed) {
  tabrino::test::TempDir dir;
  tabrino::test::writeText(dir / "a.txt", NumberedList(3));
  // Our list's header miswritten ("X,Y" alone is now a CSV's header, read).
  tabrino::test::writeText(dir / "wrong.txt", "idx,x,y\n1,2,3\n");
  const struct {
    const char* second;
    const wchar_t* says;
  } cases[] = {{"missing.txt", L"missing.txt: "}, {"wrong.txt", L"wrong.txt: "}};
  for (const auto& c : cases) {
    DialogDriver dialog(std::vector<fs::path>{dir / "a.txt", dir / c.second});
    ASSERT_TRUE(WaitFor([&] { return !dialog.LastMessage().empty(); })) << c.second;
    ASSERT_TRUE(dialog.WaitForOpen());
    EXPECT_NE(dialog.LastMessage().find(c.says), std::wstring::npos) << dialog.LastMessage();
    EXPECT_EQ(dialog.Text(IDC_LOADED_COUNT), L"0") << c.second;
    EXPECT_FALSE(dialog.Enabled(IDC_CONVERSION)) << c.second;
  }
}

// An extract opens as the list `tabrino from-osm` writes of it.
TEST(DialogStartTest, AnExtractShowsTheRowsItGave) {
  const std::string expected = tabrino::test::readText(fs::path(TABRINO_OSM_FIXTURE_DIR) / "cameras.txt");
  std::vector<std::vector<std::wstring>> rows;
  for (size_t start = expected.find('\n') + 1; start < expected.size();) {
    const size_t end = expected.find('\n', start);
    std::vector<std::wstring> cells;
    for (size_t cell = start; cell <= end;) {
      const size_t comma = std::min(expected.find(',', cell), end);
      cells.emplace_back(expected.begin() + static_cast<std::ptrdiff_t>(cell),
                         expected.begin() + static_cast<std::ptrdiff_t>(comma));
      cell = comma + 1;
    }
    rows.push_back(cells);
    start = end + 1;
  }
  ASSERT_GT(rows.size(), 3u);

  DialogDriver dialog(fs::path(TABRINO_OSM_GENERATED_DIR) / "cameras.osm.pbf");
  ASSERT_TRUE(WaitFor([&] { return dialog.Text(IDC_LOADED_COUNT) == std::to_wstring(rows.size()); }))
      << dialog.Text(IDC_LOADED_COUNT) << " " << dialog.LastMessage();
  ASSERT_TRUE(dialog.WaitForOpen());
  ASSERT_EQ(dialog.RowCount(), static_cast<int>(rows.size()));
  for (size_t row = 0; row < rows.size(); ++row) {
    std::vector<std::wstring> shown;
    for (int column = 0; column < 7; ++column) shown.push_back(dialog.Cell(static_cast<int>(row), column));
    EXPECT_EQ(shown, rows[row]) << "row " << row;
  }
  EXPECT_TRUE(dialog.Enabled(IDC_CONVERSION));
  EXPECT_TRUE(dialog.Enabled(IDC_FINDINGS_LIST));  // what the extract left out
}

// A KML and an OV2 open as the lists their cameras make: a row per camera,
// its cells as a list would hold them, ready to convert.
TEST(DialogStartTest, AKmlAndAnOv2ShowTheirCameras) {
  tabrino::test::TempDir dir;
  tabrino::test::writeText(dir / "cams.kml",
                           "<kml><Document>\n"
                           "<Placemark><name>A@50</name><Point><coordinates>11.5,48.1</coordinates></Point></Placemark>\n"
                           "<Placemark><Point><coordinates>11.6,48.2,300</coordinates></Point></Placemark>\n"
                           "</Document></kml>\n");
  // An OV2 point record: type 2, length, longitude and latitude × 100000, the name.
  std::string ov2("\x02\x18\x00\x00\x00", 5);
  for (const std::int32_t value : {1156789, 4812345}) {
    for (int i = 0; i < 4; ++i) ov2 += static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
  }
  ov2 += std::string("Blitzer@80", 11);
  tabrino::test::writeText(dir / "cams.ov2", ov2);
  const struct {
    const char* file;
    std::vector<std::vector<std::wstring>> rows;
  } cases[] = {
      {"cams.kml", {{L"1", L"11.5", L"48.1", L"1", L"50", L"0", L"0"}, {L"2", L"11.6", L"48.2", L"1", L"0", L"0", L"0"}}},
      {"cams.ov2", {{L"1", L"11.5678", L"48.12341", L"1", L"80", L"0", L"0"}}},
  };
  for (const auto& c : cases) {
    DialogDriver dialog(dir / c.file);
    ASSERT_TRUE(WaitFor([&] { return dialog.Text(IDC_LOADED_COUNT) == std::to_wstring(c.rows.size()); }))
        << c.file << ": " << dialog.Text(IDC_LOADED_COUNT) << " " << dialog.LastMessage();
    ASSERT_TRUE(dialog.WaitForOpen());
    ASSERT_EQ(dialog.RowCount(), static_cast<int>(c.rows.size())) << c.file;
    for (size_t row = 0; row < c.rows.size(); ++row) {
      std::vector<std::wstring> shown;
      for (int column = 0; column < 7; ++column) shown.push_back(dialog.Cell(static_cast<int>(row), column));
      EXPECT_EQ(shown, c.rows[row]) << c.file << " row " << row;
    }
    EXPECT_TRUE(dialog.Enabled(IDC_CONVERSION)) << c.file;
  }
}

// An extract and a list in a folder whose name no ANSI code page spells are
// found and read by their wide names, and the database goes beside them.
TEST(DialogStartTest, AnExtractAndAListInAFolderOfAnyNameAreRead) {
  tabrino::test::TempDir dir;
  const fs::path folder = dir.path() / L"\u00dcberpr\u00fcfung \u30c7\u30fc\u30bf";
  fs::create_directories(folder);
  fs::copy_file(fs::path(TABRINO_OSM_GENERATED_DIR) / "cameras.osm.pbf", folder / L"\u30ab\u30e1\u30e9.osm.pbf");
  tabrino::test::writeText(folder / L"b\u00fc.txt", NumberedList(3));
  const std::string extract = tabrino::test::readText(fs::path(TABRINO_OSM_FIXTURE_DIR) / "cameras.txt");
  const auto extractRows = static_cast<size_t>(std::count(extract.begin(), extract.end(), '\n') - 1);

  DialogDriver dialog(std::vector<fs::path>{folder / L"\u30ab\u30e1\u30e9.osm.pbf", folder / L"b\u00fc.txt"});
  ASSERT_TRUE(WaitFor([&] { return dialog.Text(IDC_LOADED_COUNT) == std::to_wstring(extractRows + 3); }))
      << dialog.Text(IDC_LOADED_COUNT) << " " << dialog.LastMessage();
  ASSERT_TRUE(dialog.WaitForOpen());
  EXPECT_EQ(dialog.Cell(static_cast<int>(extractRows), 0), L"1");  // the list's first row follows the extract's
  ASSERT_TRUE(dialog.Convert());
  EXPECT_TRUE(fs::exists(DatabaseIn(folder))) << dialog.LastMessage();
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
