// Starts a worker thread at normal priority with the default stack, running
// proc(param). Unlike MFC's, which gives a CWinThread, it returns the
// thread's own handle, the caller's to wait on and close; nullptr where no
// thread could be started (proc then never runs).
#pragma once

#include <windows.h>

using AFX_THREADPROC = UINT (*)(LPVOID);

HANDLE AfxBeginThread(AFX_THREADPROC proc, LPVOID param);
