// Windows calls the program back through frames of its own (user32's, the C
// runtime's thread start) that an exception cannot cross in the 32-bit build:
// one that tried would end the program without a word. So every entry point
// (dialog, window and subclass procedures, thread entries) catches everything
// and says what it caught.
#pragma once

#include <string>

// Inside a catch block: what the exception in flight was, in words for the
// user ("Out of memory." for std::bad_alloc, else the exception's own text).
// Empty only when even that text could not be made.
std::wstring CurrentExceptionText() noexcept;

// The words for an exception's own text, `what` in UTF-8.
std::wstring UnexpectedExceptionText(const char* what);
