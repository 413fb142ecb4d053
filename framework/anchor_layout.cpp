#include "framework/anchor_layout.h"

#include <algorithm>

void CAnchorLayout::Begin(HWND dialog, int dpi) {
  m_dialog = dialog;
  m_dpi = dpi;
  RECT client, window;
  ::GetClientRect(dialog, &client);
  ::GetWindowRect(dialog, &window);
  m_client = {client.right, client.bottom};
  m_window = {window.right - window.left, window.bottom - window.top};
  m_items.clear();
}

void CAnchorLayout::Add(int id, unsigned anchors) {
  const HWND control = ::GetDlgItem(m_dialog, id);
  RECT rect;
  if (!control || !::GetWindowRect(control, &rect)) return;
  ::MapWindowPoints(nullptr, m_dialog, reinterpret_cast<POINT*>(&rect), 2);
  m_items.push_back({id, anchors, rect});
}

void CAnchorLayout::Arrange(int dpi) const {
  RECT client;
  if (m_items.empty() || !::GetClientRect(m_dialog, &client)) return;
  auto scale = [&](int value) { return ::MulDiv(value, dpi, m_dpi); };
  // How far the client area is beyond its smallest size, never less.
  const int grownX = std::max(0L, client.right - scale(m_client.cx));
  const int grownY = std::max(0L, client.bottom - scale(m_client.cy));
  HDWP positions = ::BeginDeferWindowPos(static_cast<int>(m_items.size()));
  for (const Item& item : m_items) {
    RECT rect{scale(item.rect.left), scale(item.rect.top), scale(item.rect.right), scale(item.rect.bottom)};
    if (item.anchors & kRight) {
      rect.right += grownX;
      if (!(item.anchors & kLeft)) rect.left += grownX;
    }
    if (item.anchors & kBottom) {
      rect.bottom += grownY;
      if (!(item.anchors & kTop)) rect.top += grownY;
    }
    const HWND control = ::GetDlgItem(m_dialog, item.id);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (positions) {
      positions = ::DeferWindowPos(positions, control, nullptr, rect.left, rect.top, rect.right - rect.left,
                                   rect.bottom - rect.top, flags);
    } else {
      ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, flags);
    }
  }
  if (positions) ::EndDeferWindowPos(positions);
  // Moved controls are not always told to paint again (Wine leaves them
  // blank): the whole client area, controls and all, is painted afresh.
  ::RedrawWindow(m_dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

SIZE CAnchorLayout::MinimumSize(int dpi) const {
  return {::MulDiv(m_window.cx, dpi, m_dpi), ::MulDiv(m_window.cy, dpi, m_dpi)};
}
