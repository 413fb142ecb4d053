#include "ui/about_dlg.h"

BOOL CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CenterOnOwner();
  return TRUE;
}
