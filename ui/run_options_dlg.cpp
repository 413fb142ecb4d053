#include "ui/run_options_dlg.h"

#include "core/base/errors.h"
#include "framework/file_dialog.h"
#include "ui/system_error.h"
#include "ui/text_encoding.h"

#include <new>

BEGIN_MESSAGE_MAP(CRunOptionsDlg, CDialog)
  ON_BN_CLICKED(IDC_OPT_REGION_BROWSE, OnBnClickedRegionBrowse)
  ON_BN_CLICKED(IDC_OPT_IGNORE_BROWSE, OnBnClickedIgnoreBrowse)
END_MESSAGE_MAP()

BOOL CRunOptionsDlg::OnInitDialog() {
  m_strBox = WideFromUtf8(m_choices.box);
  m_strRegion = m_choices.region.wstring();
  m_strTypes = WideFromUtf8(m_choices.types);
  m_strSpeeds = WideFromUtf8(m_choices.speeds);
  m_strIgnoreList = m_choices.ignoreList.wstring();
  m_strNear = WideFromUtf8(m_choices.nearMetres);
  m_strMaxRecords = WideFromUtf8(m_choices.maxRecords);
  m_strCameraType = WideFromUtf8(m_choices.cameraType);
  m_strCameraSpeed = WideFromUtf8(m_choices.cameraSpeed);
  CDialog::OnInitDialog();  // shows the members
  ::CheckDlgButton(m_hWnd, IDC_OPT_DROP, m_choices.dropDuplicates ? BST_CHECKED : BST_UNCHECKED);
  CenterOnOwner();
  return TRUE;
}

void CRunOptionsDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, IDC_OPT_BOX, m_strBox);
  DDX_Text(pDX, IDC_OPT_REGION, m_strRegion);
  DDX_Text(pDX, IDC_OPT_TYPES, m_strTypes);
  DDX_Text(pDX, IDC_OPT_SPEEDS, m_strSpeeds);
  DDX_Text(pDX, IDC_OPT_IGNORE, m_strIgnoreList);
  DDX_Text(pDX, IDC_OPT_NEAR, m_strNear);
  DDX_Text(pDX, IDC_OPT_MAX, m_strMaxRecords);
  DDX_Text(pDX, IDC_OPT_CAMERA_TYPE, m_strCameraType);
  DDX_Text(pDX, IDC_OPT_CAMERA_SPEED, m_strCameraSpeed);
}

tabrino::RunChoices CRunOptionsDlg::ChoicesShown() const {
  tabrino::RunChoices choices;
  choices.box = Utf8FromWide(m_strBox);
  choices.region = m_strRegion;
  choices.types = Utf8FromWide(m_strTypes);
  choices.speeds = Utf8FromWide(m_strSpeeds);
  choices.ignoreList = m_strIgnoreList;
  choices.dropDuplicates = ::IsDlgButtonChecked(m_hWnd, IDC_OPT_DROP) == BST_CHECKED;
  choices.nearMetres = Utf8FromWide(m_strNear);
  choices.maxRecords = Utf8FromWide(m_strMaxRecords);
  choices.cameraType = Utf8FromWide(m_strCameraType);
  choices.cameraSpeed = Utf8FromWide(m_strCameraSpeed);
  return choices;
}

void CRunOptionsDlg::Browse(int id, const wchar_t* filter) {
  UpdateData(TRUE);
  std::wstring& field = id == IDC_OPT_REGION ? m_strRegion : m_strIgnoreList;
  CFileDialog chooser(TRUE, nullptr, field.c_str(), OFN_FILEMUSTEXIST, filter, this);
  if (chooser.DoModal() != IDOK) return;
  field = chooser.GetPathName();
  UpdateData(FALSE);
}

void CRunOptionsDlg::ShowProblem(const std::string& problem) {
  ::SetDlgItemTextW(m_hWnd, IDC_OPT_PROBLEM, WideFromUtf8(problem).c_str());
}

void CRunOptionsDlg::OnOK() {
  UpdateData(TRUE);
  const tabrino::RunChoices choices = ChoicesShown();
  if (const auto problem = tabrino::problemWith(choices)) {
    ShowProblem(*problem);
    return;
  }
  // The region and the ignore list are read now, so that a file that cannot
  // be used is mended here rather than found at the conversion.
  try {
    m_options = tabrino::pipelineOptions(choices);
  } catch (const tabrino::TabrinoError& error) {
    const std::wstring reason = ReasonText(error.code(), error.ownReason());
    ShowProblem(reason.empty() ? error.messageText() : error.messageText() + ": " + Utf8FromWide(reason));
    return;
  } catch (const std::bad_alloc&) {
    ShowProblem("Not enough memory to read the region or the ignore list.");
    return;
  }
  m_choices = choices;
  CDialog::OnOK();
}
