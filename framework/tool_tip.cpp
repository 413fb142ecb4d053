#include "framework/tool_tip.h"

CToolTipCtrl::~CToolTipCtrl() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

bool CToolTipCtrl::Create(HWND owner) {
  m_owner = owner;
  m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
  if (m_hWnd) SendMessage(TTM_SETMAXTIPWIDTH, 0, 600);  // a long text wraps rather than runs off the screen
  return m_hWnd != nullptr;
}

TTTOOLINFOW CToolTipCtrl::Info(UINT_PTR id) const {
  TTTOOLINFOW info{};
  // The size Windows before Vista knows, which every version accepts.
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = m_owner;
  info.uId = id;
  return info;
}

void CToolTipCtrl::AddTool(UINT_PTR id, const RECT& area, const wchar_t* text) {
  TTTOOLINFOW info = Info(id);
  info.uFlags = TTF_SUBCLASS;
  info.rect = area;
  info.lpszText = const_cast<wchar_t*>(text);
  SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::SetToolRect(UINT_PTR id, const RECT& area) {
  TTTOOLINFOW info = Info(id);
  info.rect = area;
  SendMessage(TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::SetToolText(UINT_PTR id, const wchar_t* text) {
  TTTOOLINFOW info = Info(id);
  info.lpszText = const_cast<wchar_t*>(text);
  SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

RECT CToolTipCtrl::AreaOf(HWND control) {
  RECT area{};
  ::GetWindowRect(control, &area);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&area), 2);
  return area;
}
