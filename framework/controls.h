// One-line wrappers over the common controls our dialogs use.
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

class CButton : public CWnd {};

class CProgressCtrl : public CWnd {
 public:
  void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, lower, upper); }
  int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, position, 0)); }
};

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
  int GetColumnWidth(int column) { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, column, 0)); }
  BOOL SetColumnWidth(int column, int width) {
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)));
  }
  // The width of a text in the list's font, in pixels.
  int GetStringWidth(const wchar_t* text) {
    return static_cast<int>(SendMessage(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
  }
  // A virtual list view holds no rows, only their number.
  BOOL SetItemCountEx(int count, DWORD flags = LVSICF_NOSCROLL) {
    return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, count, flags));
  }
  BOOL SetItemState(int item, UINT state, UINT mask) {
    LVITEMW info{};
    info.state = state;
    info.stateMask = mask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&info)));
  }
  UINT GetItemState(int item, UINT mask) { return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, item, mask)); }
  int GetSelectionMark() { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
  int SetSelectionMark(int item) { return static_cast<int>(SendMessage(LVM_SETSELECTIONMARK, 0, item)); }
  BOOL EnsureVisible(int item, BOOL partialOk) {
    return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, item, partialOk));
  }
};
