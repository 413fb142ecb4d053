#include "app/kestrix_app.h"

#include "ui/kestrix_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <vector>

CKestrixApp theApp;

namespace {

// The lists named on the command line (as "Open with" names them), in order.
std::vector<std::filesystem::path> ListsFromCommandLine() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!arguments) return {};
  std::vector<std::filesystem::path> lists;
  for (int i = 1; i < count; ++i) {
    if (arguments[i][0] == L'\0') continue;
    std::error_code ec;
    std::filesystem::path list = std::filesystem::absolute(arguments[i], ec);  // against the folder it was started in
    lists.push_back(ec ? std::filesystem::path(arguments[i]) : list);
  }
  ::LocalFree(arguments);
  return lists;
}

}  // namespace

BOOL CKestrixApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  CWinApp::InitInstance();
  SetRegistryKey(L"Local AppWizard-Generated Applications");

  CKestrixDlg dialog;
  dialog.SetStartupLists(ListsFromCommandLine());
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  // The dialog has closed: end the process rather than run a message loop.
  return FALSE;
}
