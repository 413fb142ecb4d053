#include "framework/exception_text.h"

#include <windows.h>

#include <exception>
#include <new>

std::wstring UnexpectedExceptionText(const char* what) {
  std::wstring text = L"The program met an unexpected error";
  const int length = what ? ::MultiByteToWideChar(CP_UTF8, 0, what, -1, nullptr, 0) : 0;
  if (length > 1) {
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, what, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length) - 1);
    text += L": " + wide;
  }
  return text.back() == L'.' ? text : text + L".";
}

std::wstring CurrentExceptionText() noexcept {
  try {
    try {
      throw;
    } catch (const std::bad_alloc&) {
      return L"Out of memory.";
    } catch (const std::exception& error) {
      return UnexpectedExceptionText(error.what());
    } catch (...) {
      return UnexpectedExceptionText(nullptr);
    }
  } catch (...) {
    return std::wstring();  // no memory for the words: the caller has its own
  }
}
