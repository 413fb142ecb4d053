#include "framework/file_dialog.h"

#include <algorithm>

namespace {
// Room for the longest path Windows can name.
constexpr size_t kPathCapacity = 32768;
}  // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, const wchar_t* defaultExtension, const wchar_t* fileName,
                         DWORD flags, const wchar_t* filter, CWnd* parent)
    : m_openFileDialog(openFileDialog),
      m_filter(filter ? filter : L""),
      m_defaultExtension(defaultExtension ? defaultExtension : L""),
      m_fileName(kPathCapacity, L'\0') {
  std::replace(m_filter.begin(), m_filter.end(), L'|', L'\0');
  if (fileName) std::wcsncpy(m_fileName.data(), fileName, kPathCapacity - 1);

  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
  m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
  m_ofn.nFilterIndex = 1;
  m_ofn.lpstrFile = m_fileName.data();
  m_ofn.nMaxFile = static_cast<DWORD>(m_fileName.size());
  m_ofn.lpstrDefExt = defaultExtension ? m_defaultExtension.c_str() : nullptr;
  // The Explorer-style chooser, as the framework always shows it.
  m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

std::vector<std::wstring> CFileDialog::GetPathNames() const {
  std::vector<std::wstring> parts;
  for (const wchar_t* part = m_fileName.data(); *part != L'\0'; part += parts.back().size() + 1) {
    parts.emplace_back(part);
  }
  if (parts.size() < 2) return parts;
  std::wstring folder = parts.front();
  if (folder.back() != L'\\') folder += L'\\';  // a drive's root ends in one already
  std::vector<std::wstring> paths;
  for (size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + parts[i]);
  return paths;
}

INT_PTR CFileDialog::DoModal() {
  const BOOL chosen = m_openFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
  return chosen ? IDOK : IDCANCEL;
}
