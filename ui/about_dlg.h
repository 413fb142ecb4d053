// The About box, opened from the system menu.
#pragma once

#include "framework/dialog.h"
#include "ui/resource.h"

class CAboutDlg : public CDialog {
 public:
  enum { IDD = IDD_ABOUTBOX };
  CAboutDlg() : CDialog(IDD) {}
};
