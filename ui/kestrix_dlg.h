// The main dialog: the camera list, the two counts, Open and Conversion.
#pragma once

#include "core/camera_db_format.h"
#include "core/camera_table.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "ui/conversion_worker.h"
#include "ui/resource.h"

#include <cstdint>
#include <filesystem>
#include <string>

class CKestrixDlg : public CDialog {
 public:
  enum { IDD = IDD_MAIN_DIALOG };
  explicit CKestrixDlg(CWnd* pParent = nullptr);

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  // Refused while a conversion runs: the dialog outlives its worker.
  void OnOK() override;
  void OnCancel() override;

  // The file chooser and message boxes, replaceable so tests can drive the dialog.
  virtual bool ChooseListFile(std::wstring& path);
  virtual int ShowMessage(const std::wstring& text, UINT type);
  // Opens a written picture in the default viewer.
  virtual void ShowPicture(const std::wstring& path);

  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnShowMap();
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnBnClickedOpen();
  void OnBnClickedConversion();
  void OnTimer(UINT_PTR nIDEvent);
  LRESULT OnConversionDone(WPARAM, LPARAM);
  void OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
  DECLARE_MESSAGE_MAP()

 private:
  void ShowTableRows();
  void EnableCommands(BOOL enable);
  void ShowWrittenCount(std::uint32_t accepted);

  HICON m_hIcon;
  CListCtrl m_cameraList;
  std::wstring m_strLoadedCount;
  CButton m_btnOpen;
  CButton m_btnConversion;
  CButton m_btnOK;
  tabrino::RandomBlock m_randomBlock{};
  std::wstring m_strWrittenCount;

  tabrino::CameraTable m_table;  // the only store of rows; the list view shows it
  std::filesystem::path m_listPath;  // the list the table came from; its picture goes beside it
  ConversionWorker m_worker;
  // From Conversion until its closing message has been dismissed: the
  // dialog may not close, and Open and Conversion wait.
  bool m_runActive = false;
  std::uint32_t m_shownWritten = 0;
};
