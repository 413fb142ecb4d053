// The findings window: every finding of the list shown (line, list, kind,
// detail) in a virtual list, so that millions open at once. It changes
// nothing itself: it closes with what the user asked for (save them all, or
// go to a line's row), and the main dialog does it.
#pragma once

#include "core/list/list_findings.h"
#include "core/list/list_sources.h"
#include "framework/anchor_layout.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "ui/resource.h"

#include <cstdint>
#include <string>
#include <vector>

class CFindingsDlg : public CDialog {
 public:
  enum { IDD = IDD_FINDINGS };
  // What DoModal returns besides IDCANCEL.
  enum Result { kSave = 100, kGoToRow = 101 };

  // `codePage`: how the list's bytes in the details are read. With several
  // lists in `sources`, each finding shows its own list and its line there.
  CFindingsDlg(CWnd* owner, const std::vector<tabrino::ListFinding>& findings, std::wstring listName,
               const tabrino::ListSources* sources, unsigned codePage);
  // The line whose row the user asked for (with kGoToRow).
  std::uint64_t ChosenLine() const { return m_chosenLine; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;  // Enter in the list: go to the row
  void OnBnClickedSave() { EndDialog(kSave); }
  void OnBnClickedGoToRow() { OnOK(); }
  void OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
  void OnDblClk(NMHDR* pNMHDR, LRESULT* pResult);
  LRESULT OnSize(WPARAM, LPARAM);
  LRESULT OnGetMinMaxInfo(WPARAM, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  const std::vector<tabrino::ListFinding>& m_findings;
  std::wstring m_listName;
  const tabrino::ListSources* m_sources;
  unsigned m_codePage;
  std::uint64_t m_chosenLine = 0;
  CListCtrl m_list;
  CAnchorLayout m_layout;
  int m_dpi = 96;
};
