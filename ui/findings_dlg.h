// The findings window: every finding of the lists shown (line, list, kind,
// detail) in a virtual list, so that millions open at once. Modeless and
// owned by the main dialog, it stays open while the user walks through the
// findings: it changes nothing itself, but asks its owner (by a sent
// message, the finding's index as wParam) to show a finding's row or to
// save them all.
#pragma once

#include "core/list/list_findings.h"
#include "core/list/list_sources.h"
#include "framework/anchor_layout.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "ui/resource.h"

#include <string>
#include <vector>

class CFindingsDlg : public CDialog {
 public:
  enum { IDD = IDD_FINDINGS };
  // What the window asks of its owner.
  static constexpr UINT kGoToFinding = WM_APP + 0x40;  // wParam: the finding's index
  static constexpr UINT kSaveFindings = WM_APP + 0x41;

  // `findings` and `sources` must outlive the window. `codePage`: how the
  // list's bytes in the details are read. With several lists in
  // `sources`, each finding shows its own list and its line there.
  CFindingsDlg(CWnd* owner, const std::vector<tabrino::ListFinding>& findings, std::wstring listName,
               const tabrino::ListSources* sources, unsigned codePage);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;  // Enter in the list: go to the row
  void OnCancel() override { DestroyWindow(); }
  void OnBnClickedSave();
  void OnBnClickedGoToRow() { OnOK(); }
  void OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
  void OnDblClk(NMHDR* pNMHDR, LRESULT* pResult);
  LRESULT OnSize(WPARAM, LPARAM);
  LRESULT OnGetMinMaxInfo(WPARAM, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  // The Detail column takes the room the others leave.
  void FitDetailColumn();

  const std::vector<tabrino::ListFinding>& m_findings;
  std::wstring m_listName;
  const tabrino::ListSources* m_sources;
  unsigned m_codePage;
  CListCtrl m_list;
  CAnchorLayout m_layout;
  int m_dpi = 96;
};
