#include "app/kestrix_app.h"

#include "ui/kestrix_dlg.h"

#include <commctrl.h>

CKestrixApp theApp;

BOOL CKestrixApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  CWinApp::InitInstance();
  SetRegistryKey(L"Local AppWizard-Generated Applications");

  CKestrixDlg dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  // The dialog has closed: end the process rather than run a message loop.
  return FALSE;
}
