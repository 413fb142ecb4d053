// Text between the core (bytes, UTF-8 paths and messages) and the wide
// Windows API.
#pragma once

#include <string>
#include <string_view>

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// What a cell holding `text` holds, in the code page its list is read in.
std::string CellBytesFromWide(std::wstring_view text, unsigned codePage);

// Fills a caller's buffer (as list views ask) with cell bytes read in a code
// page (CP_UTF8 or CP_ACP), always terminated.
void CopyCellToWideBuffer(std::string_view text, unsigned codePage, wchar_t* buffer, int capacity);
