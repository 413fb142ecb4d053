#include "ui/system_error.h"

#include "ui/text_encoding.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace {

struct ErrorPair {
  int errnoValue;
  DWORD win32;
};

// The errno values the core reports, each with the Win32 error Windows gives
// for the same situation (the first of an errno's rows), and the Win32 errors
// the run-time turns into that errno.
constexpr ErrorPair kErrors[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},     {ENOENT, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},      {EACCES, ERROR_SHARING_VIOLATION},
    {EACCES, ERROR_LOCK_VIOLATION},     {EACCES, ERROR_WRITE_PROTECT},
    // Opening or replacing a folder as a file: what CreateFile and
    // MoveFileEx answer for it.
    {EISDIR, ERROR_ACCESS_DENIED},      {ENOSPC, ERROR_DISK_FULL},
    {ENOSPC, ERROR_HANDLE_DISK_FULL},   {EEXIST, ERROR_FILE_EXISTS},
    {EEXIST, ERROR_ALREADY_EXISTS},     {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},  {ENOMEM, ERROR_OUTOFMEMORY},
    {EROFS, ERROR_WRITE_PROTECT},       {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ENOTDIR, ERROR_DIRECTORY},         {EXDEV, ERROR_NOT_SAME_DEVICE},
    {EFBIG, ERROR_FILE_TOO_LARGE},      {EINVAL, ERROR_INVALID_PARAMETER},
    {EIO, ERROR_IO_DEVICE},             {EBADF, ERROR_INVALID_HANDLE},
};

// The core writes system errors as the generic category's text of an errno.
int ErrnoFromReason(const std::string& reason) {
  for (const ErrorPair& pair : kErrors) {
    if (std::generic_category().message(pair.errnoValue) == reason) return pair.errnoValue;
  }
  return 0;
}

}  // namespace

void ClearSystemError() { _doserrno = 0; }

unsigned long LastSystemError() { return _doserrno; }

unsigned long Win32ErrorFor(const std::string& reason, unsigned long runtimeError) {
  const int errnoValue = ErrnoFromReason(reason);
  if (errnoValue == 0) return 0;
  for (const ErrorPair& pair : kErrors) {
    if (pair.errnoValue == errnoValue && pair.win32 == runtimeError) return runtimeError;
  }
  for (const ErrorPair& pair : kErrors) {
    if (pair.errnoValue == errnoValue) return pair.win32;
  }
  return 0;
}

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

std::wstring ReasonText(const std::string& reason, unsigned long runtimeError) {
  const unsigned long error = Win32ErrorFor(reason, runtimeError);
  std::wstring message = error ? SystemMessage(error) : L"";
  return message.empty() ? WideFromUtf8(reason) : message;
}
