// The system's file chooser.
#pragma once

#include "framework/wnd.h"

#include <commdlg.h>

#include <string>
#include <vector>

class CFileDialog {
 public:
  // `filter` is "Name|pattern|...||", as the framework has always taken it.
  CFileDialog(BOOL openFileDialog, const wchar_t* defaultExtension, const wchar_t* fileName, DWORD flags,
              const wchar_t* filter, CWnd* parent);

  INT_PTR DoModal();  // IDOK once the user has confirmed a choice, else IDCANCEL
  std::wstring GetPathName() const { return m_fileName.data(); }
  // Every file chosen, whole paths, in the chooser's order. With
  // OFN_ALLOWMULTISELECT the chooser gives the folder and then the names, each
  // ended by a zero and the last by two; one file comes as its whole path.
  std::vector<std::wstring> GetPathNames() const;

  OPENFILENAMEW m_ofn{};

 private:
  BOOL m_openFileDialog;
  std::wstring m_filter;
  std::wstring m_defaultExtension;
  std::vector<wchar_t> m_fileName;
};
