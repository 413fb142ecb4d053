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

bool IsUtf8(std::string_view text) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p != end) {
    // Lists are mostly ASCII: eight bytes at a time while no byte has its top bit.
    std::uint64_t word;
    while (end - p >= 8 && (std::memcpy(&word, p, sizeof word), (word & 0x8080808080808080u) == 0)) p += 8;
    if (p == end) break;
    const unsigned char lead = *p++;
    if (lead < 0x80) continue;
    int more;
    unsigned char low = 0x80, high = 0xBF;  // the range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (end - p < more || *p < low || *p > high) return false;
    for (++p, --more; more > 0; --more, ++p) {
      if (*p < 0x80 || *p > 0xBF) return false;
    }
  }
  return true;
}

void CopyCellToWideBuffer(std::string_view text, unsigned codePage, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  // A cell longer than the buffer is cut: the list view shows only so much.
  const int size = static_cast<int>(text.size() < static_cast<size_t>(capacity - 1) ? text.size() : capacity - 1);
  const int written = size > 0 ? ::MultiByteToWideChar(codePage, 0, text.data(), size, buffer, capacity - 1) : 0;
  buffer[written > 0 ? written : 0] = L'\0';
}
