// A window handle and the few calls our dialogs make on any window.
#pragma once

#include <windows.h>

class CWnd {
 public:
  HWND m_hWnd = nullptr;

  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
  HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }
  void SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }
  UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds) { return ::SetTimer(m_hWnd, id, milliseconds, nullptr); }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

 protected:
  // Asks for the system's default handling of the message being served.
  void Default() { m_callDefault = true; }
  bool m_callDefault = false;
};
