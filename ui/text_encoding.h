// Text between the core (bytes, UTF-8 paths and messages) and the wide
// Windows API.
#pragma once

#include <string>
#include <string_view>

std::wstring WideFromUtf8(std::string_view text);
// Cell text is shown in the system's ANSI code page, as lists are written.
std::wstring WideFromAnsi(std::string_view text);
// Fills a caller's buffer (as list views ask), always terminated.
void CopyAnsiToWideBuffer(std::string_view text, wchar_t* buffer, int capacity);
