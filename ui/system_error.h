// Why something failed, in the words Windows users know: the system's own
// message for the Win32 error (FormatMessageW) rather than the C run-time's.
#pragma once

#include <string>

// The C run-time's record of the last Win32 error on this thread (_doserrno).
// Clear it before a core call, read it right after the call failed.
void ClearSystemError();
unsigned long LastSystemError();

// The Win32 error behind a failure: the core's `reason` (an errno text, as it
// reports system errors) and the Win32 error the run-time saw on the failing
// call, if any. The run-time's code is taken only when it agrees with the
// reason, since a later clean-up call may have left its own. 0 when the
// reason is not a system error at all.
unsigned long Win32ErrorFor(const std::string& reason, unsigned long runtimeError);

// FormatMessageW's text for a Win32 error, without the trailing line break.
std::wstring SystemMessage(unsigned long error);

// What to show below a failure's headline: the system's message when the
// reason is a system error, else the core's reason as it stands.
std::wstring ReasonText(const std::string& reason, unsigned long runtimeError);
