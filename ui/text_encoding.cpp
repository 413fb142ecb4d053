#include "ui/text_encoding.h"

#include <cstdint>
#include <cstring>

#include <windows.h>

#include <climits>

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8FromWide(std::wstring_view text) { return CellBytesFromWide(text, CP_UTF8); }

std::string CellBytesFromWide(std::wstring_view text, unsigned codePage) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

void CopyCellToWideBuffer(std::string_view text, unsigned codePage, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  // A cell longer than the buffer is cut: the list view shows only so much.
  const size_t room = static_cast<size_t>(capacity - 1);  // capacity > 0
  const int size = static_cast<int>(text.size() < room ? text.size() : room);  // at most room, an int
  const int written = size > 0 ? ::MultiByteToWideChar(codePage, 0, text.data(), size, buffer, capacity - 1) : 0;
  buffer[written > 0 ? written : 0] = L'\0';
}
