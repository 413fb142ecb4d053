// The application: starts the common controls and runs the main dialog.
#pragma once

#include "framework/win_app.h"

class CKestrixApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};
