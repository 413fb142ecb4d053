// The conversion's Options: where to keep cameras (a box, a region file),
// which types and speeds, an ignore list, duplicates dropped, rows near each
// other reported, and a record limit. OK checks the texts and reads the
// files; a problem is said in the window, which stays open to mend it.
#pragma once

#include "core/run/run_choices.h"
#include "framework/dialog.h"
#include "ui/resource.h"

#include <string>

class CRunOptionsDlg : public CDialog {
 public:
  enum { IDD = IDD_RUN_OPTIONS };
  // `choices` and `options` are replaced only when the user confirms
  // choices that can be used.
  CRunOptionsDlg(CWnd* owner, tabrino::RunChoices& choices, tabrino::PipelineOptions& options)
      : CDialog(IDD, owner), m_choices(choices), m_options(options) {}

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* pDX) override;

 private:
  tabrino::RunChoices ChoicesShown() const;
  void ShowProblem(const std::string& problem);

  tabrino::RunChoices& m_choices;
  tabrino::PipelineOptions& m_options;
  std::wstring m_strBox, m_strRegion, m_strTypes, m_strSpeeds, m_strIgnoreList, m_strNear, m_strMaxRecords;
};
