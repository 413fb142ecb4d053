// One-line wrappers over the common controls our dialogs use.
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

class CButton : public CWnd {};

class CListCtrl : public CWnd {
 public:
  DWORD GetExtendedStyle() const {
    return static_cast<DWORD>(::SendMessageW(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  }
  DWORD SetExtendedStyle(DWORD style) {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
  }
  int InsertColumn(int column, const wchar_t* heading, int format, int width) {
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    info.fmt = format;
    info.cx = width;
    info.pszText = const_cast<wchar_t*>(heading);
    info.iSubItem = column;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&info)));
  }
  // A virtual list view holds no rows, only their number.
  BOOL SetItemCountEx(int count, DWORD flags = LVSICF_NOSCROLL) {
    return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, count, flags));
  }
  int GetItemCount() const { return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }
};
