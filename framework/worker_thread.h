// Starts a worker thread at normal priority with the default stack. The
// returned handle is the caller's to wait on and close.
#pragma once

#include <windows.h>

using AFX_THREADPROC = UINT (*)(LPVOID);

HANDLE AfxBeginThread(AFX_THREADPROC proc, LPVOID param);
