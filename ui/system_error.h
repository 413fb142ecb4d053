// Why something failed, in the words Windows users know: the system's own
// message for a Win32 error (FormatMessageW), the C run-time's for an errno
// value, each put into words only here, where it is shown.
#pragma once

#include <string>
#include <system_error>

// FormatMessageW's text for a Win32 error, without the trailing line break.
std::wstring SystemMessage(unsigned long error);

// The words for a failure's code: FormatMessageW's for a Win32 error (the
// system category), the C run-time's for an errno value (the generic
// category); empty for no code.
std::wstring ErrorCodeText(const std::error_code& code);

// What to show below a failure's headline: the words for its code when the
// system gave one, else the core's own reason as it stands.
std::wstring ReasonText(const std::error_code& code, const std::string& ownReason);
