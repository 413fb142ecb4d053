// The main dialog: the camera list, the two counts, Open and Conversion.
#pragma once

#include "core/database/camera_db_format.h"
#include "core/list/camera_table.h"
#include "ui/idx_index.h"
#include "core/run/run_choices.h"
#include "framework/anchor_layout.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/tool_tip.h"
#include "ui/background_worker.h"
#include "ui/camera_list.h"
#include "ui/export_dlg.h"
#include "ui/findings_dlg.h"
#include "ui/list_jobs.h"
#include "ui/resource.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CKestrixDlg : public CDialog {
 public:
  enum { IDD = IDD_MAIN_DIALOG };
  explicit CKestrixDlg(CWnd* pParent = nullptr);
  ~CKestrixDlg() override;

  // The lists named on the command line, opened as one table as soon as the dialog shows.
  void SetStartupLists(std::vector<std::filesystem::path> lists) { m_startupLists = std::move(lists); }

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  // Refused while work runs: the dialog outlives its worker.
  void OnOK() override;
  void OnCancel() override;

  // The file chooser and message boxes, replaceable so tests can drive the dialog.
  // One or more lists, in the order the chooser gives them.
  virtual bool ChooseListFiles(std::vector<std::filesystem::path>& lists);
  virtual int ShowMessage(const std::wstring& text, UINT type);
  virtual bool ChooseReportFile(std::wstring& path);
  // `path` comes in as the name offered and goes out as the one chosen.
  virtual bool ChooseMapFile(std::wstring& path);
  // The export's choices, in its own window; false when cancelled.
  virtual bool ChooseExport(ExportChoices& choices);
  // Opens a written map in what the user views such files with; false when
  // nothing opened it.
  virtual bool ShowPicture(const std::wstring& path);
  // On the worker, once a job's table may be shown while the job goes on
  // with it (checking the rows read, writing the rows sorted): tells the
  // dialog's thread, without waiting for it.
  virtual void TableReadable();
  // On the worker, before each job's work: a seam for the tests, which make
  // it throw to see the dialog tell what the worker caught.
  virtual void JobWorkStarting() {}
  // What an exception that reached the dialog's thread was, in a message box.
  void OnException(const std::wstring& text) override;

  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnShowMap();
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnBnClickedOpen();
  void OnBnClickedConversion();
  void OnBnClickedFindings();
  void OnBnClickedMap() { OnShowMap(); }
  void OnBnClickedRunOptions();
  void OnBnClickedExport();
  void OnTimer(UINT_PTR nIDEvent);
  LRESULT OnJobDone(WPARAM, LPARAM);
  LRESULT OnTableReadable(WPARAM, LPARAM);
  LRESULT OnListChanged(WPARAM, LPARAM);
  LRESULT OnSetCursor(WPARAM, LPARAM lParam);
  LRESULT OnDropFiles(WPARAM hDrop, LPARAM);
  LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
  LRESULT OnSize(WPARAM, LPARAM);
  LRESULT OnGetMinMaxInfo(WPARAM, LPARAM lParam);
  LRESULT OnOpenStartupList(WPARAM, LPARAM);
  void OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
  void OnOdCacheHint(NMHDR* pNMHDR, LRESULT* pResult);
  void OnOdFindItem(NMHDR* pNMHDR, LRESULT* pResult);
  void OnCameraListCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
  DECLARE_MESSAGE_MAP()

 private:
  enum class Job { None, Open, Conversion, Report, Map, Findings, Export };

  // Open's work once lists have been chosen, dropped or named: one table of
  // them all, in this order.
  void OpenLists(std::vector<std::filesystem::path> lists);
  bool StartJob(Job job, std::function<void()> work);
  void FinishOpen();
  void FinishConversion();
  void FinishReport();
  void FinishMap();
  void FinishFindings();
  // Export's job, told whether it may replace files; once it has stopped at
  // files there already, asks, and runs again when the user agrees.
  void StartExport(bool replace);
  void FinishExport();
  // The work threw past its job's own handling: says what the worker caught.
  void FinishThrownJob(const BackgroundWorker::Thrown& thrown);
  // Closing while a job runs: remembered, and carried out when the job ends
  // (asked first whether to stop the job, where it can stop).
  void RequestClose();
 protected:
  // Takes away the question RequestClose is asking, as if answered No (close
  // when the work is done); replaceable, as ShowMessage is.
  virtual void WithdrawCloseQuestion();
 private:
  // The findings window (modeless, one at a time), and what the user asks
  // of it: save them all, or show a finding's row.
  void ShowFindingsWindow();
  // Before the findings it shows go.
  void CloseFindingsWindow();
  LRESULT OnGoToFinding(WPARAM index, LPARAM);
  LRESULT OnSaveFindings(WPARAM, LPARAM);
  void SaveFindings();
  // Selects the row of the line (from 1, over all lists) and shows it; false when no row has it.
  bool SelectRowOfLine(std::uint64_t line);
  // Whether a finding is about an extract's object rather than a line.
  bool AboutAnObject(const tabrino::ListFinding& finding) const;
  // The findings line: the first kind (cut with "…" where it must be) and
  // as many more as fit, then "N more: Findings...".
  void FitFindingsLine();
  // On the worker, after the table was sorted: the IDX index finds rows at
  // their new places.
  void FollowIndexToOrder() noexcept;
  // Keeps each tooltip's area over its control.
  void PlaceTips();
  void ShowWriteFailure(const WriteOutcome& outcome, UINT buttons);
  // Says so and returns true when writing `target` would replace the list
  // shown, or a file its owner marked read-only.
  bool RefuseToReplace(const std::filesystem::path& target, const wchar_t* what);
  void ShowFindings(const tabrino::FindingSummary* findings);
  void ShowTableRows(int selectedRow);
  // The rows an Open has read, in the list's encoding, none selected.
  void ShowReadRows();
  void EnableCommands(BOOL enable);
  void ShowCounts(const std::wstring& loaded, const std::wstring& written);
  void ShowWrittenCount(std::uint32_t accepted);
  void RefreshCursor();
  void RestoreFocus();
  int Dpi() const;
  void FitColumns(int dpi);
  void LoadIcons(int dpi);

  HICON m_hIcon;
  CCameraList m_cameraList;
  std::wstring m_strLoadedCount;
  CButton m_btnOpen;
  CButton m_btnConversion;
  CButton m_btnOK;
  tabrino::RandomBlock m_randomBlock{};
  std::wstring m_strWrittenCount;
  CProgressCtrl m_progress;
  CWnd m_findings;
  CButton m_btnFindings;
  CButton m_btnMap;
  CButton m_btnRunOptions;
  CButton m_btnExport;
  CToolTipCtrl m_tips;  // names the count fields, and holds the findings line's whole text

  HICON m_hSmallIcon = nullptr;
  bool m_ownIcons = false;  // icons loaded at the monitor's size, destroyed with the dialog
  // The only store of rows; the list view shows it. While a job sorts or
  // refills it, the list view is not let near it (m_rowsShown false); once
  // the job only reads it (checking the rows read, writing them once
  // sorted), it is shown again.
  tabrino::CameraTable m_table;
  bool m_rowsShown = true;
  bool m_toldListChanged = false;  // that a list's file changed since it was read
  // The rows by IDX, for typing in the table; rebuilt on the worker whenever
  // a job refills or sorts the table, and not read meanwhile.
  tabrino::IdxIndex m_idxIndex;
  UINT m_codePage = CP_ACP;  // how the cells' bytes are read: UTF-8 when the list is
  // Conversion is offered only for a list that passed the header test, and
  // writes beside that list.
  bool m_listLoaded = false;
  std::filesystem::path m_outputFolder;
  std::filesystem::path m_listPath;  // the first list shown; its picture goes beside it
  std::vector<std::filesystem::path> m_lists;  // every list shown, in order
  OpenedLists m_openedLists;                   // what each of them holds of the table
  tabrino::RunChoices m_runChoices;            // the conversion's options as the user wrote them
  tabrino::PipelineOptions m_runOptions;       // and as the conversion takes them; both kept for the session
  std::vector<std::filesystem::path> m_startupLists;
  std::filesystem::path m_chooserFolder;  // where the chooser starts when the current folder could not follow

  Job m_job = Job::None;
  std::vector<std::filesystem::path> m_openingLists;
  OpenedLists m_openingOpened;
  JobProgress m_jobProgress;
  OpenOutcome m_openOutcome;
  ConversionOutcome m_conversionOutcome;
  WriteOutcome m_reportOutcome;
  WriteOutcome m_mapOutcome;
  std::uint64_t m_findingsCount = 0;  // of the list shown; its report can be saved
  std::vector<std::pair<std::wstring, std::uint64_t>> m_findingKinds;  // each kind's summary and count
  // Every finding of the list shown, once the findings window asked for them.
  std::vector<tabrino::ListFinding> m_allFindings;
  std::unique_ptr<CFindingsDlg> m_findingsWindow;  // shows m_allFindings
  bool m_findingsGathered = false;
  bool m_openFindingsWindow = false;  // when the gathering job has ended
  WriteOutcome m_findingsOutcome;
  ExportChoices m_exportChoices;  // kept for the session
  ExportOutcome m_exportOutcome;
  bool m_exportReplacing = false;  // the user agreed to replace: export again once this job has ended
  int m_dpi = 96;
  CAnchorLayout m_layout;  // the table grows with the window; the rest keeps to the bottom
  HWND m_focusBeforeJob = nullptr;
  bool m_closeRequested = false;
  bool m_askingToClose = false;  // RequestClose's question is up
  // Declared after everything its work touches: members are destroyed in
  // reverse order, so the worker (whose destructor waits for the thread)
  // ends before the table and the outcomes go.
  BackgroundWorker m_worker;
};
