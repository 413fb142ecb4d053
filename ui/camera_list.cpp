#include "ui/camera_list.h"

#include "framework/dialog.h"

namespace {
constexpr UINT_PTR kSubclassId = 1;
}  // namespace

void CCameraList::Subclass() {
  ::SetWindowSubclass(m_hWnd, &CCameraList::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

// With LVS_SINGLESEL the selection mark is the selected row whenever there is
// one; asking for the selected row by search would walk the whole list.
int CCameraList::GetSelectedRow() {
  const int mark = GetSelectionMark();
  return mark >= 0 && (GetItemState(mark, LVIS_SELECTED) & LVIS_SELECTED) ? mark : -1;
}

void CCameraList::SelectRow(int row) {
  DropSelection();
  if (row < 0) return;
  SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SetSelectionMark(row);
  EnsureVisible(row, FALSE);
}

// Before the control moves the selection itself it deselects "all others",
// which in an owner-data list visits every row whenever any row is selected:
// seconds per key at a million rows. With the one selected row already
// deselected here, that step finds nothing to do.
void CCameraList::DropSelection() {
  const int selected = GetSelectedRow();
  if (selected >= 0) SetItemState(selected, 0, LVIS_SELECTED);
}

// Called by the list view through user32, which no exception may cross: the
// dialog says what was caught, and the message goes on to the control.
LRESULT CALLBACK CCameraList::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR self) {
  try {
    return reinterpret_cast<CCameraList*>(self)->OnSubclassedMessage(window, message, wParam, lParam);
  } catch (...) {
    CDialog::ReportCurrentException(window);
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CCameraList::OnSubclassedMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CCameraList* list = this;
  switch (message) {
    case WM_GETDLGCODE: {
      // Enter is the table's own: after typing an IDX it shows that row.
      // Left to the dialog, it would press the default button, OK, and
      // close the dialog with the list loaded.
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      const LRESULT code = ::DefSubclassProc(window, message, wParam, lParam);
      const bool enter = key && (key->message == WM_KEYDOWN || key->message == WM_CHAR) && key->wParam == VK_RETURN;
      return enter ? code | DLGC_WANTMESSAGE : code;
    }
    case WM_KEYDOWN:
    case WM_CHAR: {  // moving by key, or typing the start of an IDX
      if (wParam == VK_RETURN) {  // the row found by typing, in view; it never starts an IDX
        const int selected = list->GetSelectedRow();
        if (message == WM_KEYDOWN && selected >= 0) list->EnsureVisible(selected, FALSE);
        return 0;
      }
      const int selected = list->GetSelectedRow();
      if (selected >= 0) list->SetItemState(selected, 0, LVIS_SELECTED);
      const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
      // A key that led nowhere (Down on the last row) leaves the row selected.
      if (selected >= 0 && list->GetSelectedRow() < 0) list->SetItemState(selected, LVIS_SELECTED, LVIS_SELECTED);
      return result;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      list->DropSelection();
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(window, &CCameraList::SubclassProc, kSubclassId);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}
