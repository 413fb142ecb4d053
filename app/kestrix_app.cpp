#include "app/kestrix_app.h"

#include "ui/kestrix_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>

CKestrixApp theApp;

namespace {

// The list named on the command line (as "Open with" names it), or empty.
std::filesystem::path ListFromCommandLine() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!arguments) return {};
  std::filesystem::path list;
  if (count >= 2 && arguments[1][0] != L'\0') {
    std::error_code ec;
    list = std::filesystem::absolute(arguments[1], ec);  // against the folder it was started in
    if (ec) list = arguments[1];
  }
  ::LocalFree(arguments);
  return list;
}

}  // namespace

BOOL CKestrixApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  CWinApp::InitInstance();
  SetRegistryKey(L"Local AppWizard-Generated Applications");

  CKestrixDlg dialog;
  dialog.SetStartupList(ListFromCommandLine());
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  // The dialog has closed: end the process rather than run a message loop.
  return FALSE;
}
