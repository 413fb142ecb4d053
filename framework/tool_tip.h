// A tooltip control whose tools are areas of one window's client area. The
// control watches that window's mouse messages itself (TTF_SUBCLASS), so an
// area may lie over a disabled control, which gets no mouse messages of its
// own: they go to the window beneath it.
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

class CToolTipCtrl : public CWnd {
 public:
  CToolTipCtrl() = default;
  ~CToolTipCtrl();
  CToolTipCtrl(const CToolTipCtrl&) = delete;
  CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

  // Creates the control for `owner`'s client area; false if it could not be.
  bool Create(HWND owner);
  // `text` is copied; `id` names the area later.
  void AddTool(UINT_PTR id, const RECT& area, const wchar_t* text);
  void SetToolRect(UINT_PTR id, const RECT& area);
  void SetToolText(UINT_PTR id, const wchar_t* text);
  // The area over the child window `control`, as it now stands.
  static RECT AreaOf(HWND control);

 private:
  TTTOOLINFOW Info(UINT_PTR id) const;
  HWND m_owner = nullptr;
};
