#include "ui/findings_dlg.h"

#include "core/texts/user_texts.h"
#include "ui/text_encoding.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

namespace {

struct ColumnSpec {
  const wchar_t* title;
  int width;  // at 96 DPI
};
constexpr ColumnSpec kColumns[] = {{L"Line", 60}, {L"List", 110}, {L"Kind", 140}, {L"Detail", 330}};
constexpr int kDetailColumn = 3;
constexpr int kBaseDpi = 96;

}  // namespace

CFindingsDlg::CFindingsDlg(CWnd* owner, const std::vector<tabrino::ListFinding>& findings, std::wstring listName,
                           const tabrino::ListSources* sources, unsigned codePage)
    : CDialog(IDD, owner),
      m_findings(findings),
      m_listName(std::move(listName)),
      m_sources(sources && sources->several() ? sources : nullptr),
      m_codePage(codePage) {}

BEGIN_MESSAGE_MAP(CFindingsDlg, CDialog)
  ON_BN_CLICKED(IDC_SAVE_FINDINGS, OnBnClickedSave)
  ON_BN_CLICKED(IDC_GOTO_ROW, OnBnClickedGoToRow)
  ON_NOTIFY(LVN_GETDISPINFOW, IDC_FINDINGS_TABLE, OnGetDispInfo)
  ON_NOTIFY(NM_DBLCLK, IDC_FINDINGS_TABLE, OnDblClk)
  ON_MESSAGE(WM_SIZE, OnSize)
  ON_MESSAGE(WM_GETMINMAXINFO, OnGetMinMaxInfo)
END_MESSAGE_MAP()

BOOL CFindingsDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_list.m_hWnd = ::GetDlgItem(m_hWnd, IDC_FINDINGS_TABLE);
  HDC screen = ::GetDC(m_hWnd);
  m_dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(m_hWnd, screen);
  m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  for (int column = 0; column < static_cast<int>(std::size(kColumns)); ++column) {
    m_list.InsertColumn(column, kColumns[column].title, LVCFMT_LEFT, ::MulDiv(kColumns[column].width, m_dpi, kBaseDpi));
  }
  m_list.SetItemCountEx(static_cast<int>(m_findings.size()), 0);
  if (!m_findings.empty()) m_list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  // Named by the lists they are in: the first list's name alone would
  // pass for all of them.
  const std::wstring in = m_sources ? std::to_wstring(m_sources->count()) + L" lists" : m_listName;
  const std::wstring title = L"Findings: " + std::to_wstring(m_findings.size()) + L" in " + in;
  SetWindowText(title.c_str());

  using Anchor = CAnchorLayout::Anchor;
  m_layout.Begin(m_hWnd, m_dpi);
  m_layout.Add(IDC_FINDINGS_TABLE, Anchor::kAll);
  for (int id : {IDC_GOTO_ROW, IDC_SAVE_FINDINGS, IDCANCEL}) m_layout.Add(id, Anchor::kRight | Anchor::kBottom);
  FitDetailColumn();
  CenterOnOwner();
  ::SetFocus(m_list.m_hWnd);
  return FALSE;  // the focus is set
}

// The owner shows the row behind this window, which stays, so that the next
// finding is a key away.
void CFindingsDlg::OnOK() {
  const int row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0 || static_cast<size_t>(row) >= m_findings.size()) return;
  ::SendMessageW(::GetWindow(m_hWnd, GW_OWNER), kGoToFinding, static_cast<WPARAM>(row), 0);
}

void CFindingsDlg::OnBnClickedSave() { ::SendMessageW(::GetWindow(m_hWnd, GW_OWNER), kSaveFindings, 0, 0); }

void CFindingsDlg::OnDblClk(NMHDR* pNMHDR, LRESULT* pResult) {
  if (reinterpret_cast<NMITEMACTIVATE*>(pNMHDR)->iItem >= 0) OnOK();
  *pResult = 0;
}

void CFindingsDlg::OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) {
  LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR)->item;
  *pResult = 0;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
  item.pszText[0] = L'\0';
  if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= m_findings.size()) return;
  const tabrino::ListFinding& finding = m_findings[static_cast<size_t>(item.iItem)];
  // An extract's findings have no line; they name their object in the detail.
  const tabrino::ListSources::Place where =
      m_sources && finding.lineNumber != 0 ? m_sources->place(finding.lineNumber)
                                           : tabrino::ListSources::Place{nullptr, finding.lineNumber};
  std::wstring text;
  switch (item.iSubItem) {
    case 0: text = where.lineNumber != 0 ? std::to_wstring(where.lineNumber) : L""; break;
    case 1: text = where.name ? WideFromUtf8(*where.name) : m_listName; break;
    case 2: text = WideFromUtf8(tabrino::findingKindWords(finding.kind)); break;
    case 3: CopyCellToWideBuffer(finding.detail, m_codePage, item.pszText, item.cchTextMax); return;
    default: return;
  }
  ::lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
}

LRESULT CFindingsDlg::OnSize(WPARAM, LPARAM) {
  if (IsIconic()) return 0;
  m_layout.Arrange(m_dpi);
  FitDetailColumn();
  return 0;
}

void CFindingsDlg::FitDetailColumn() {
  if (!m_list.m_hWnd) return;
  RECT area;
  ::GetClientRect(m_list.m_hWnd, &area);  // without the scroll bar
  int others = 0;
  for (int column = 0; column < kDetailColumn; ++column) others += m_list.GetColumnWidth(column);
  const int least = ::MulDiv(kColumns[kDetailColumn].width, m_dpi, kBaseDpi);
  m_list.SetColumnWidth(kDetailColumn, std::max(least, static_cast<int>(area.right) - others));
}

LRESULT CFindingsDlg::OnGetMinMaxInfo(WPARAM, LPARAM lParam) {
  const SIZE smallest = m_layout.MinimumSize(m_dpi);
  if (smallest.cx > 0) reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {smallest.cx, smallest.cy};
  return 0;
}
