#include "ui/text_encoding.h"

#include <windows.h>

#include <climits>

namespace {
std::wstring toWide(UINT codePage, std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}
}  // namespace

std::wstring WideFromUtf8(std::string_view text) { return toWide(CP_UTF8, text); }
std::wstring WideFromAnsi(std::string_view text) { return toWide(CP_ACP, text); }

void CopyAnsiToWideBuffer(std::string_view text, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  // A cell longer than the buffer is cut: the list view shows only so much.
  const int size = static_cast<int>(text.size() < static_cast<size_t>(capacity - 1) ? text.size() : capacity - 1);
  const int written = size > 0 ? ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, buffer, capacity - 1) : 0;
  buffer[written > 0 ? written : 0] = L'\0';
}
