// Runs the real main dialog modally on its own thread and drives it through
// window messages, as a user's clicks would. The file chooser and message
// boxes are replaced so that nothing waits for a person.
#pragma once

#include "ui/kestrix_dlg.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tabrino::test {

struct ShownMessage {
  std::wstring text;
  UINT type;
};

class TestableDlg : public CKestrixDlg {
 public:
  std::wstring choice;  // what the chooser returns
  std::vector<std::filesystem::path> choices;  // several lists chosen together, in place of `choice`
  bool confirm = true;  // whether the user confirms the chooser
  bool realChooser = false;  // show the system's chooser instead
  std::wstring mapChoice;  // what the map's chooser returns (empty: the name offered)
  bool confirmMap = true;   // whether the user confirms the map's chooser
  bool pictureOpens = true;  // whether something opens the map
  std::wstring reportChoice;  // what the chooser of a findings report returns (empty: cancelled)
  ExportChoices exportChoice;  // what the export's window returns
  bool confirmExport = true;   // whether the user confirms it
  bool realExportWindow = false;  // show the export's own window instead
  // The answer to a Yes/No/Cancel or Yes/No question (closing during a job: go on).
  std::atomic<int> questionAnswer{IDCANCEL};
  // While set, a message stays up (running a modal loop, as a real one does).
  std::atomic<bool> holdMessages{false};
  std::atomic<HWND> window{nullptr};
  // While set, a job's work waits once its table is shown (an Open before
  // its check, a Conversion before its write).
  std::atomic<bool> holdShownTable{false};
  // While set, a job's work waits before it starts.
  std::atomic<bool> holdJobStart{false};

  // What the dialog procedure (for kThrowMessage, as its wParam says) or the
  // next job's work (once) throws: the barriers at the entry points that
  // Windows calls.
  enum class Throw { Nothing, OutOfMemory, Error };
  static constexpr UINT kThrowMessage = WM_APP + 0x200;
  std::atomic<Throw> throwInWork{Throw::Nothing};

  std::vector<ShownMessage> Messages();
  std::vector<std::wstring> Pictures();
  std::wstring MapOffered();  // the name the map's chooser offered last  // what was handed to the picture viewer

 protected:
  BOOL OnInitDialog() override;
  bool ChooseListFiles(std::vector<std::filesystem::path>& lists) override;
  bool ChooseReportFile(std::wstring& path) override;
  int ShowMessage(const std::wstring& text, UINT type) override;
  bool ChooseMapFile(std::wstring& path) override;
  bool ChooseExport(ExportChoices& choices) override;
  bool ShowPicture(const std::wstring& path) override;
  void TableReadable() override;
  void JobWorkStarting() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // The held question ends as answered No.
  void WithdrawCloseQuestion() override { m_withdrawn = true; }

 private:
  std::mutex m_mutex;
  std::vector<ShownMessage> m_messages;
  std::vector<std::wstring> m_pictures;
  std::wstring m_mapOffered;
  std::atomic<bool> m_withdrawn{false};
};

// The width of an icon's image in pixels (0 for no icon).
int IconWidth(HICON icon);

bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(60));

class DialogDriver {
 public:
  // The dialog is up when this returns (throws if it never comes);
  // `startupList` is the list named on its command line.
  explicit DialogDriver(const std::filesystem::path& startupList = {});
  // Several lists named on its command line.
  explicit DialogDriver(std::vector<std::filesystem::path> startupLists);
  ~DialogDriver();  // dismisses any held message and closes the dialog
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  HWND Item(int id) const { return ::GetDlgItem(m_window, id); }
  bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
  void Click(int id) { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }
  std::wstring Text(int id) const;
  int RowCount() const;
  std::wstring Cell(int row, int column) const;

  // Open with the chooser answering `list`; returns once the list is read
  // and its message, if any, dismissed.
  void Open(const std::filesystem::path& list);
  // The same with several lists chosen together.
  void Open(const std::vector<std::filesystem::path>& lists);
  // Presses Open with the chooser answering `list`, and returns at once.
  void StartOpen(const std::filesystem::path& list);
  // Waits until the running Open has ended: OK is the last button enabled again.
  bool WaitForOpen() { return WaitFor([this] { return Enabled(IDOK); }); }
  // Presses Conversion; true once the run has ended and its message was dismissed.
  bool Convert();
  std::wstring LastMessage();

 protected:
  TestableDlg m_dialog;
  HWND m_window = nullptr;

 private:
  std::thread m_ui;
};

}  // namespace tabrino::test
