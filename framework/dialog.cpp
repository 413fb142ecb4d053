#include "framework/dialog.h"

#include "framework/exception_text.h"
#include "framework/win_app.h"

#include <algorithm>
#include <new>
#include <vector>

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (!control.m_hWnd) control.m_hWnd = ::GetDlgItem(pDX->m_hDialog, id);
}

void DDX_Text(CDataExchange* pDX, int id, std::wstring& value) {
  HWND control = ::GetDlgItem(pDX->m_hDialog, id);
  if (!pDX->m_bSaveAndValidate) {
    ::SetWindowTextW(control, value.c_str());
    return;
  }
  std::vector<wchar_t> text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1);
  ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  value = text.data();
}

namespace {

// The modeless dialogs of this thread, and the hook that gives them their keys.
thread_local std::vector<HWND> t_modeless;
thread_local HHOOK t_modelessHook = nullptr;
thread_local bool t_inModelessKeys = false;

}  // namespace

LRESULT CALLBACK CDialog::ModelessKeys(int code, WPARAM wParam, LPARAM lParam) {
  auto* message = reinterpret_cast<MSG*>(lParam);
  // IsDialogMessage calls this hook again, for the same message.
  if (code == MSGF_DIALOGBOX && !t_inModelessKeys && message->hwnd) {
    for (HWND dialog : t_modeless) {
      if (message->hwnd != dialog && !::IsChild(dialog, message->hwnd)) continue;
      t_inModelessKeys = true;
      const BOOL handled = ::IsDialogMessageW(dialog, message);
      t_inModelessKeys = false;
      if (handled) return 1;
      break;
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CDialog::Create() {
  const HWND window =
      ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate),
                           m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
  if (!window) return false;
  m_modeless = true;
  if (!t_modelessHook) {
    t_modelessHook = ::SetWindowsHookExW(WH_MSGFILTER, &CDialog::ModelessKeys, nullptr, ::GetCurrentThreadId());
  }
  t_modeless.push_back(window);
  ::ShowWindow(window, SW_SHOW);
  return true;
}

INT_PTR CDialog::DoModal() {
  const INT_PTR result =
      ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate),
                        m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, &CDialog::DialogProc,
                        reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}

void CDialog::CenterOnOwner() {
  const HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  RECT self, around;
  if (!owner || !::GetWindowRect(m_hWnd, &self) || !::GetWindowRect(owner, &around)) return;
  const int width = self.right - self.left;
  const int height = self.bottom - self.top;
  int x = (around.left + around.right - width) / 2;
  int y = (around.top + around.bottom - height) / 2;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
  }
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange exchange{saveAndValidate, m_hWnd};
  DoDataExchange(&exchange);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message == WM_INITDIALOG) {
    result = OnInitDialog();
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    OnOK();
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<CDialog*>(lParam)->m_hWnd = window;
  }
  auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;  // messages before WM_INITDIALOG

  dialog->m_callDefault = false;
  LRESULT result = 0;
  if (message == WM_NCDESTROY && dialog->m_modeless) {
    // Gone: the object may be shown again, or destroyed.
    t_modeless.erase(std::remove(t_modeless.begin(), t_modeless.end(), window), t_modeless.end());
    if (t_modeless.empty() && t_modelessHook) {
      ::UnhookWindowsHookEx(t_modelessHook);
      t_modelessHook = nullptr;
    }
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    dialog->m_modeless = false;
    dialog->m_hWnd = nullptr;
    return FALSE;
  }
  try {
    if (!dialog->OnMessage(message, wParam, lParam, result) || dialog->m_callDefault) return FALSE;
  } catch (...) {
    // Unpainted, the window would be painted (and fail) again at once.
    if (message == WM_PAINT) ::ValidateRect(window, nullptr);
    dialog->ShowException(CurrentExceptionText());
    return FALSE;
  }

  switch (message) {  // these return their result directly, not through DWLP_MSGRESULT
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM:
      return static_cast<INT_PTR>(result);
    default:
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

void CDialog::OnException(const std::wstring& text) { AfxMessageBox(text, MB_OK | MB_ICONERROR); }

void CDialog::ShowException(const std::wstring& text) noexcept {
  if (m_showingException) return;
  m_showingException = true;
  try {
    if (text.empty()) throw std::bad_alloc();
    OnException(text);
  } catch (...) {
    // Not even memory for the words: the system's own box needs none.
    ::MessageBoxW(m_hWnd, L"Out of memory.", nullptr, MB_OK | MB_ICONERROR);
  }
  m_showingException = false;
}

void CDialog::ReportCurrentException(HWND window) noexcept {
  const HWND root = ::GetAncestor(window, GA_ROOT);
  // Only a dialog of this framework holds a CDialog in its user data.
  const bool ours = root && ::GetWindowLongPtrW(root, DWLP_DLGPROC) ==
                                reinterpret_cast<LONG_PTR>(&CDialog::DialogProc);
  auto* dialog = ours ? reinterpret_cast<CDialog*>(::GetWindowLongPtrW(root, DWLP_USER)) : nullptr;
  const std::wstring text = CurrentExceptionText();
  if (dialog) {
    dialog->ShowException(text);
  } else {
    ::MessageBoxW(root, text.empty() ? L"Out of memory." : text.c_str(), nullptr, MB_OK | MB_ICONERROR);
  }
}
