#include "ui/system_error.h"

#include "ui/text_encoding.h"

#include <windows.h>

#include <cwchar>

std::wstring SystemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", length);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  return message;
}

std::wstring ErrorCodeText(const std::error_code& code) {
  if (!code) return L"";
  if (code.category() == std::system_category()) {
    const std::wstring message = SystemMessage(static_cast<DWORD>(code.value()));
    if (!message.empty()) return message;
  } else if (code.category() == std::generic_category()) {
    // The run-time's table, as _wcserror gives it; its buffer is the
    // calling thread's own.
    if (const wchar_t* words = ::_wcserror(code.value())) return words;
  }
  return WideFromUtf8(code.message());
}

std::wstring ReasonText(const std::error_code& code, const std::string& ownReason) {
  return code ? ErrorCodeText(code) : WideFromUtf8(ownReason);
}
