// One-line wrappers over the common controls our dialogs use.
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

// A message carries a signed number (an item, a column, -1 for none) in its
// unsigned WPARAM, and flags in its signed LPARAM, bit for bit: the control
// reads them back as the types they were.
inline WPARAM IntWParam(int value) noexcept { return static_cast<WPARAM>(value); }
inline LPARAM FlagsLParam(DWORD flags) noexcept { return static_cast<LPARAM>(flags); }

class CButton : public CWnd {};

class CProgressCtrl : public CWnd {
 public:
  void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, IntWParam(lower), upper); }
  int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, IntWParam(position), 0)); }
};

class CListCtrl : public CWnd {
 public:
  DWORD GetExtendedStyle() const {
    return static_cast<DWORD>(::SendMessageW(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  }
  DWORD SetExtendedStyle(DWORD style) {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, FlagsLParam(style)));
  }
  int InsertColumn(int column, const wchar_t* heading, int format, int width) {
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    info.fmt = format;
    info.cx = width;
    info.pszText = const_cast<wchar_t*>(heading);
    info.iSubItem = column;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, IntWParam(column), reinterpret_cast<LPARAM>(&info)));
  }
  int GetColumnWidth(int column) { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, IntWParam(column), 0)); }
  BOOL SetColumnWidth(int column, int width) {
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, IntWParam(column), MAKELPARAM(width, 0)));
  }
  // The width of a text in the list's font, in pixels.
  int GetStringWidth(const wchar_t* text) {
    return static_cast<int>(SendMessage(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
  }
  // A virtual list view holds no rows, only their number.
  BOOL SetItemCountEx(int count, DWORD flags = LVSICF_NOSCROLL) {
    return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, IntWParam(count), FlagsLParam(flags)));
  }
  BOOL SetItemState(int item, UINT state, UINT mask) {
    LVITEMW info{};
    info.state = state;
    info.stateMask = mask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, IntWParam(item), reinterpret_cast<LPARAM>(&info)));
  }
  UINT GetItemState(int item, UINT mask) { return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, IntWParam(item), FlagsLParam(mask))); }
  int GetSelectionMark() { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
  int SetSelectionMark(int item) { return static_cast<int>(SendMessage(LVM_SETSELECTIONMARK, 0, item)); }
  BOOL EnsureVisible(int item, BOOL partialOk) {
    return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, IntWParam(item), partialOk));
  }
};
