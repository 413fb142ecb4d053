// The application object: one static instance whose InitInstance runs the
// program. When InitInstance returns FALSE the process ends.
#pragma once

#include "framework/wnd.h"

#include <string>

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }

  // Does nothing, on purpose: MFC names here the registry key an
  // application's settings and recent files go under. Tabrino writes none
  // (the dialog's Options last only for the session), so no key is named and
  // the registry is never touched; the call stays where the design has it.
  void SetRegistryKey(const wchar_t*) {}

  // The title of the application's message boxes: the program's file name.
  const std::wstring& GetAppName() const { return m_appName; }

  CWnd* m_pMainWnd = nullptr;

 private:
  std::wstring m_appName;
};

CWinApp* AfxGetApp();

// A message box with the application's title, owned by the main window.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);
