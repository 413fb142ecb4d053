#include "ui/kestrix_dlg.h"

#include "core/conversion_run.h"
#include "core/text_import.h"
#include "framework/file_dialog.h"
#include "framework/win_app.h"
#include "ui/about_dlg.h"
#include "ui/text_encoding.h"

#include <filesystem>
#include <new>
#include <vector>

namespace {

constexpr UINT WM_CONVERSION_DONE = WM_APP + 1;
constexpr UINT_PTR kWrittenCountTimer = 1;
constexpr UINT kWrittenCountPeriodMs = 50;  // as often as the eye can follow

constexpr int kColumnWidths[tabrino::kColumnCount] = {40, 80, 80, 80, 80, 80, 80};

tabrino::DbDate TodayInUtc() {
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  return {now.wYear, static_cast<std::uint8_t>(now.wMonth), static_cast<std::uint8_t>(now.wDay)};
}

std::filesystem::path CurrentDirectory() {
  std::vector<wchar_t> buffer(::GetCurrentDirectoryW(0, nullptr) + 1);
  const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  return std::filesystem::path(std::wstring(buffer.data(), length));
}

std::wstring WithReason(std::string_view text, const std::string& reason) {
  std::wstring message = WideFromUtf8(text);
  if (!reason.empty()) message += L"\n\n" + WideFromUtf8(reason);
  return message;
}

}  // namespace

CKestrixDlg::CKestrixDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

void CKestrixDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, IDC_CAMERA_LIST, m_cameraList);
  DDX_Text(pDX, IDC_LOADED_COUNT, m_strLoadedCount);
  DDX_Control(pDX, IDC_OPEN, m_btnOpen);
  DDX_Control(pDX, IDC_CONVERSION, m_btnConversion);
  DDX_Control(pDX, IDOK, m_btnOK);
  DDX_Text(pDX, IDC_WRITTEN_COUNT, m_strWrittenCount);
}

BEGIN_MESSAGE_MAP(CKestrixDlg, CDialog)
  ON_WM_SYSCOMMAND()
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_WM_TIMER()
  ON_BN_CLICKED(IDC_OPEN, OnBnClickedOpen)
  ON_BN_CLICKED(IDC_CONVERSION, OnBnClickedConversion)
  ON_NOTIFY(LVN_GETDISPINFOW, IDC_CAMERA_LIST, OnGetDispInfo)
  ON_MESSAGE(WM_CONVERSION_DONE, OnConversionDone)
END_MESSAGE_MAP()

BOOL CKestrixDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  if (HMENU systemMenu = GetSystemMenu(FALSE)) {
    wchar_t aboutText[256] = L"";
    if (::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, aboutText, 256) > 0) {
      ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
    }
  }
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  m_cameraList.SetExtendedStyle(m_cameraList.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  for (size_t column = 0; column < tabrino::kColumnCount; ++column) {
    m_cameraList.InsertColumn(static_cast<int>(column), WideFromUtf8(tabrino::kColumnTitles[column]).c_str(),
                              LVCFMT_CENTER, kColumnWidths[column]);
  }

  m_strLoadedCount = L"0";
  m_strWrittenCount = L"0";
  UpdateData(FALSE);
  return TRUE;
}

void CKestrixDlg::OnOK() {
  if (!m_runActive) CDialog::OnOK();
}

void CKestrixDlg::OnCancel() {
  if (!m_runActive) CDialog::OnCancel();
}

bool CKestrixDlg::ChooseListFile(std::wstring& path) {
  CFileDialog chooser(TRUE, nullptr, L"Quorvel.txt", OFN_FILEMUSTEXIST, L"Text File(*.txt) |*.txt||", this);
  if (chooser.DoModal() != IDOK) return false;
  path = chooser.GetPathName();
  return true;
}

int CKestrixDlg::ShowMessage(const std::wstring& text, UINT type) { return AfxMessageBox(text, type); }

void CKestrixDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal();
  } else {
    CDialog::OnSysCommand(nID, lParam);
  }
}

void CKestrixDlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = ::GetSystemMetrics(SM_CXICON);
  const int iconHeight = ::GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(&client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(m_hWnd, &paint);
}

HCURSOR CKestrixDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CKestrixDlg::OnBnClickedOpen() {
  std::wstring path;
  if (m_runActive || !ChooseListFile(path)) return;
  // The database is written beside the list it came from.
  const std::filesystem::path list(path);
  ::SetCurrentDirectoryW(list.parent_path().c_str());

  tabrino::ImportResult result;
  try {
    tabrino::ImportOptions options;
    options.keepText = true;  // the list view shows the cells
    result = tabrino::importCameraList(list, m_table, options);
  } catch (const std::bad_alloc&) {
    m_table.clear();
    ShowTableRows();
    ShowMessage(L"Not enough memory to load this list.", MB_OK | MB_ICONERROR);
    return;
  }
  ShowTableRows();
  if (!result.loaded()) {
    ShowMessage(WithReason(result.messageText(), result.systemReason), MB_OK);
    return;
  }
  m_strLoadedCount = std::to_wstring(result.loadedCount);
  m_strWrittenCount = L"0";
  UpdateData(FALSE);
}

void CKestrixDlg::OnBnClickedConversion() {
  if (m_table.empty() || m_runActive) return;

  m_runActive = true;
  m_table.sortByLatitude();
  m_cameraList.Invalidate(FALSE);
  EnableCommands(FALSE);
  UpdateData(FALSE);

  m_randomBlock = tabrino::drawRandomBlock(tabrino::timeSeed());
  const tabrino::ConversionSettings settings{CurrentDirectory(), TodayInUtc(), m_randomBlock};
  m_shownWritten = 0;
  if (!m_worker.Start(m_table, settings, m_hWnd, WM_CONVERSION_DONE)) {
    ShowMessage(L"The conversion could not be started.", MB_OK | MB_ICONERROR);
    EnableCommands(TRUE);
    m_runActive = false;
    return;
  }
  SetTimer(kWrittenCountTimer, kWrittenCountPeriodMs);
}

void CKestrixDlg::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kWrittenCountTimer) ShowWrittenCount(m_worker.AcceptedSoFar());
}

LRESULT CKestrixDlg::OnConversionDone(WPARAM, LPARAM) {
  KillTimer(kWrittenCountTimer);
  const ConversionWorker::Outcome outcome = m_worker.Finish();
  ShowWrittenCount(m_worker.AcceptedSoFar());

  if (outcome.completed) {
    ShowMessage(L"DB Conversion end. [" + outcome.summary.outputPath.wstring() + L"]", MB_OK);
  } else if (outcome.openFailed) {
    ShowMessage(outcome.failure, MB_OKCANCEL);
  } else {
    ShowMessage(outcome.failure, MB_OK | MB_ICONERROR);
  }
  EnableCommands(TRUE);
  m_runActive = false;
  return 0;
}

void CKestrixDlg::OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) {
  LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR)->item;
  if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && item.iSubItem >= 0 &&
      static_cast<size_t>(item.iSubItem) < tabrino::kColumnCount) {
    CopyAnsiToWideBuffer(m_table.cell(static_cast<size_t>(item.iItem), static_cast<tabrino::Column>(item.iSubItem)),
                         item.pszText, item.cchTextMax);
  }
  *pResult = 0;
}

void CKestrixDlg::ShowTableRows() {
  m_cameraList.SetItemCountEx(static_cast<int>(m_table.size()), 0);
  m_cameraList.Invalidate(FALSE);
}

void CKestrixDlg::EnableCommands(BOOL enable) {
  m_btnOpen.EnableWindow(enable);
  m_btnConversion.EnableWindow(enable);
  m_btnOK.EnableWindow(enable);
}

// A run that accepts no row leaves the previous count showing.
void CKestrixDlg::ShowWrittenCount(std::uint32_t accepted) {
  if (accepted == 0 || accepted == m_shownWritten) return;
  m_shownWritten = accepted;
  m_strWrittenCount = std::to_wstring(accepted);
  UpdateData(FALSE);
}
