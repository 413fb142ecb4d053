#include "dialog_driver.h"

#include <commctrl.h>

#include <new>
#include <stdexcept>

namespace tabrino::test {

std::vector<ShownMessage> TestableDlg::Messages() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages;
}

BOOL TestableDlg::OnInitDialog() {
  const BOOL result = CKestrixDlg::OnInitDialog();
  window = m_hWnd;
  return result;
}

void TestableDlg::TableReadable() {
  CKestrixDlg::TableReadable();
  while (holdShownTable) ::Sleep(5);
}

namespace {
void ThrowAs(TestableDlg::Throw what) {
  if (what == TestableDlg::Throw::OutOfMemory) throw std::bad_alloc();
  if (what == TestableDlg::Throw::Error) throw std::runtime_error("the disk caught fire");
}
}  // namespace

void TestableDlg::JobWorkStarting() {
  while (holdJobStart) ::Sleep(5);
  ThrowAs(throwInWork.exchange(Throw::Nothing));
}

bool TestableDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == kThrowMessage) ThrowAs(static_cast<Throw>(wParam));
  return CKestrixDlg::OnMessage(message, wParam, lParam, result);
}

bool TestableDlg::ChooseListFiles(std::vector<std::filesystem::path>& lists) {
  if (realChooser) return CKestrixDlg::ChooseListFiles(lists);
  if (!confirm) return false;
  lists = choices.empty() ? std::vector<std::filesystem::path>{choice} : choices;
  return true;
}

bool TestableDlg::ChooseReportFile(std::wstring& path) {
  path = reportChoice;
  return !path.empty();
}

bool TestableDlg::ChooseMapFile(std::wstring& path) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mapOffered = path;
  }
  if (!mapChoice.empty()) path = mapChoice;
  return confirmMap;
}

bool TestableDlg::ChooseExport(ExportChoices& choices) {
  if (realExportWindow) return CKestrixDlg::ChooseExport(choices);
  if (confirmExport) choices = exportChoice;
  return confirmExport;
}

bool TestableDlg::ShowPicture(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pictures.push_back(path);
  return pictureOpens;
}

std::wstring TestableDlg::MapOffered() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_mapOffered;
}

std::vector<std::wstring> TestableDlg::Pictures() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pictures;
}

int TestableDlg::ShowMessage(const std::wstring& text, UINT type) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back({text, type});
  }
  MSG msg;
  while (holdMessages && !m_withdrawn) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(5);
  }
  if (m_withdrawn.exchange(false)) return IDNO;
  const UINT buttons = type & MB_TYPEMASK;
  return buttons == MB_YESNOCANCEL || buttons == MB_YESNO ? questionAnswer.load() : IDOK;
}

int IconWidth(HICON icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  ::GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
  ::DeleteObject(info.hbmMask);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  return bitmap.bmWidth;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ::Sleep(5);
  }
  return true;
}

DialogDriver::DialogDriver(const std::filesystem::path& startupList)
    : DialogDriver(startupList.empty() ? std::vector<std::filesystem::path>() : std::vector{startupList}) {}

DialogDriver::DialogDriver(std::vector<std::filesystem::path> startupLists) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  m_dialog.SetStartupLists(std::move(startupLists));
  m_ui = std::thread([this] { m_dialog.DoModal(); });
  if (!WaitFor([this] { return m_dialog.window.load() != nullptr; })) {
    m_ui.detach();
    throw std::runtime_error("the dialog did not appear");
  }
  m_window = m_dialog.window;
}

DialogDriver::~DialogDriver() {
  m_dialog.holdMessages = false;
  m_dialog.holdShownTable = false;
  m_dialog.holdJobStart = false;
  if (::IsWindow(m_window)) {
    WaitFor([this] { return Enabled(IDOK); });
    ::PostMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
  }
  m_ui.join();
}

std::wstring DialogDriver::Text(int id) const {
  wchar_t text[256] = L"";
  ::GetWindowTextW(Item(id), text, 256);
  return text;
}

int DialogDriver::RowCount() const {
  return static_cast<int>(::SendMessageW(Item(IDC_CAMERA_LIST), LVM_GETITEMCOUNT, 0, 0));
}

std::wstring DialogDriver::Cell(int row, int column) const {
  wchar_t text[256] = L"";
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 256;
  ::SendMessageW(Item(IDC_CAMERA_LIST), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

void DialogDriver::Open(const std::filesystem::path& list) {
  StartOpen(list);
  WaitForOpen();
}

void DialogDriver::Open(const std::vector<std::filesystem::path>& lists) {
  m_dialog.choices = lists;
  Click(IDC_OPEN);
  WaitForOpen();
  m_dialog.choices.clear();
}

void DialogDriver::StartOpen(const std::filesystem::path& list) {
  m_dialog.choices.clear();
  m_dialog.choice = list.wstring();
  Click(IDC_OPEN);  // the list is read on the dialog's worker, with Open disabled
}

bool DialogDriver::Convert() {
  const size_t before = m_dialog.Messages().size();
  Click(IDC_CONVERSION);
  return WaitFor([&] { return m_dialog.Messages().size() > before && Enabled(IDOK); });
}

std::wstring DialogDriver::LastMessage() {
  const auto messages = m_dialog.Messages();
  return messages.empty() ? L"" : messages.back().text;
}

}  // namespace tabrino::test
