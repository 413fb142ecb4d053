// The conversion's Options: where to keep cameras (a box, a region file),
// which types and speeds, an ignore list, duplicates dropped, rows near each
// other reported, and a record limit; and the type and speed that shared
// formats' cameras take when they do not say, for the files opened next. OK checks the texts and reads the
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
  void OnBnClickedRegionBrowse() { Browse(IDC_OPT_REGION, kRegionFilter); }
  void OnBnClickedIgnoreBrowse() { Browse(IDC_OPT_IGNORE, kListFilter); }
  DECLARE_MESSAGE_MAP()

 private:
  tabrino::RunChoices ChoicesShown() const;
  void ShowProblem(const std::string& problem);
  // Puts the file the user chooses into the field `id`.
  void Browse(int id, const wchar_t* filter);
  static constexpr const wchar_t* kRegionFilter =
      L"Regions (*.poly;*.geojson;*.json)|*.poly;*.geojson;*.json|All files (*.*)|*.*||";
  static constexpr const wchar_t* kListFilter = L"Lists (*.txt;*.csv)|*.txt;*.csv|All files (*.*)|*.*||";

  tabrino::RunChoices& m_choices;
  tabrino::PipelineOptions& m_options;
  std::wstring m_strBox, m_strRegion, m_strTypes, m_strSpeeds, m_strIgnoreList, m_strNear, m_strMaxRecords;
  std::wstring m_strCameraType, m_strCameraSpeed;
};
