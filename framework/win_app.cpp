#include "framework/win_app.h"

#include "framework/exception_text.h"

#include <vector>

namespace {
CWinApp* g_app = nullptr;

std::wstring programName() {
  std::vector<wchar_t> path(32768);
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::wstring name(path.data(), length);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  return name.substr(0, name.find_last_of(L'.'));
}
}  // namespace

CWinApp::CWinApp() : m_appName(programName()) { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

int AfxMessageBox(const std::wstring& text, UINT type) {
  CWinApp* app = AfxGetApp();
  HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
  return ::MessageBoxW(owner, text.c_str(), app ? app->GetAppName().c_str() : L"", type);
}

// The program's entry: the application object was constructed before this.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CWinApp* app = AfxGetApp();
  try {
    if (app) app->InitInstance();
  } catch (...) {
    // Before or after the dialog, whose own procedure catches what its
    // handlers throw: said here, since the C runtime's frames end the
    // program without a word.
    const std::wstring text = CurrentExceptionText();
    ::MessageBoxW(nullptr, text.empty() ? L"Out of memory." : text.c_str(),
                  app ? app->GetAppName().c_str() : nullptr, MB_OK | MB_ICONERROR);
    return 1;
  }
  return 0;
}
