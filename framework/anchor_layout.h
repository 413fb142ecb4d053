// Keeps a dialog's controls where they stand against its edges as it is
// resized: a control anchored to both left and right takes the new width, one
// anchored to the right alone moves with it (the same for top and bottom).
// The size the dialog had when the controls were added is its smallest.
#pragma once

#include <windows.h>

#include <vector>

class CAnchorLayout {
 public:
  enum Anchor : unsigned { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8, kAll = 15 };

  // Call once the dialog has its template size, at the dialog's `dpi`.
  void Begin(HWND dialog, int dpi);
  void Add(int id, unsigned anchors);
  // Places every control for the dialog's present size; distances to the
  // edges were measured at Begin's DPI and are scaled to `dpi`.
  void Arrange(int dpi) const;
  // The window size below which the controls would overlap, at `dpi`.
  SIZE MinimumSize(int dpi) const;

 private:
  struct Item {
    int id;
    unsigned anchors;
    RECT rect;  // in the client area, at m_dpi
  };
  HWND m_dialog = nullptr;
  int m_dpi = 96;
  SIZE m_client{};
  SIZE m_window{};
  std::vector<Item> m_items;
};
