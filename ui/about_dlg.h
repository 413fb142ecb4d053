// The About box, opened from the system menu: modal to the main dialog, which
// owns it (and is disabled while it is open), and centred on it.
#pragma once

#include "framework/dialog.h"
#include "ui/resource.h"

class CAboutDlg : public CDialog {
 public:
  enum { IDD = IDD_ABOUTBOX };
  explicit CAboutDlg(CWnd* owner) : CDialog(IDD, owner) {}

 protected:
  BOOL OnInitDialog() override;
};
