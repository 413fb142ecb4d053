// The camera table's list view: an owner-data list of up to millions of rows
// in which one row at a time is selected.
#pragma once

#include "framework/controls.h"

class CCameraList : public CListCtrl {
 public:
  // Hooks the control's messages; call once the control exists.
  void Subclass();
  // The selected row, or -1.
  int GetSelectedRow();
  // Selects and focuses one row (none for -1) and scrolls it into view.
  void SelectRow(int row);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT OnSubclassedMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void DropSelection();
};
