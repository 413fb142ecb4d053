#include "ui/kestrix_dlg.h"

#include "core/map/camera_map.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/list/text_import.h"
#include "core/texts/user_texts.h"
#include "framework/exception_text.h"
#include "framework/file_dialog.h"
#include "framework/win_app.h"
#include "ui/about_dlg.h"
#include "ui/run_options_dlg.h"
#include "core/run/table_findings.h"
#include "ui/system_error.h"
#include "ui/text_encoding.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {

// "Left out 3 rows: 2 by the box, 1 by the types", in the Options' words.
std::string LeftOutText(const tabrino::FilterCounts& counts) {
  static const char* const kNames[tabrino::kFilterKindCount] = {"the types", "the speeds", "the box", "the region",
                                                                "the ignore list"};
  std::uint64_t total = 0;
  std::string parts;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] == 0) continue;
    total += counts[i];
    parts += (parts.empty() ? "" : ", ") + std::to_string(counts[i]) + " by " + kNames[i];
  }
  return "Left out " + std::to_string(total) + (total == 1 ? " row" : " rows") + (parts.empty() ? "" : ": " + parts);
}

constexpr UINT WM_JOB_DONE = WM_APP + 1;
constexpr UINT WM_OPEN_STARTUP_LIST = WM_APP + 2;
constexpr UINT WM_ARRANGE = WM_APP + 3;  // after the system has scaled the controls to a new DPI
constexpr UINT WM_TABLE_READABLE = WM_APP + 4;
constexpr UINT WM_LIST_CHANGED = WM_APP + 5;  // a list's file changed under the rows shown
constexpr UINT_PTR kJobTimer = 1;
constexpr UINT kJobTimerPeriodMs = 50;  // as often as the eye can follow

constexpr int kBaseDpi = 96;
// Column widths at 96 DPI, and the widest text each column commonly holds:
// a column is never narrower than its sample in the list's font.
constexpr int kColumnWidths[tabrino::kColumnCount] = {56, 80, 80, 80, 80, 80, 80};
constexpr const wchar_t* kColumnSamples[tabrino::kColumnCount] = {
    L"0000000", L"-180.0000000", L"-90.0000000", L"TYPE", L"SPEED", L"DIRTYPE", L"DIRECTION"};
constexpr int kColumnPadding = 16;  // the list view's margins around a cell's text, at 96 DPI

// The map, and what the chooser offers for it.
constexpr wchar_t kMapExtension[] = L"html";
constexpr wchar_t kMapFilter[] = L"Map page(*.html)|*.html|All Files(*.*)|*.*||";

// Everything Open reads comes first, so that a folder of lists and extracts
// shows them all; then each format alone.
constexpr wchar_t kListFilter[] =
    L"Camera lists and extracts(*.txt;*.csv;*.osm.pbf)|*.txt;*.csv;*.osm.pbf|"
    L"Text File(*.txt) |*.txt|CSV File(*.csv)|*.csv|OpenStreetMap extract(*.osm.pbf)|*.osm.pbf|All Files(*.*)|*.*||";

// Functions of newer Windows, looked up so the program still starts on older ones.
template <typename Function>
Function User32Function(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

int SystemMetricForDpi(int metric, int dpi) {
  using GetForDpi = int(WINAPI*)(int, UINT);
  static const auto getForDpi = User32Function<GetForDpi>("GetSystemMetricsForDpi");
  return getForDpi ? getForDpi(metric, static_cast<UINT>(dpi)) : ::MulDiv(::GetSystemMetrics(metric), dpi, kBaseDpi);
}

std::wstring Paragraphs(const std::wstring& first, const std::wstring& second) {
  return second.empty() ? first : first + L"\n\n" + second;
}

// The start of a list that failed the header test, to guess why: a short
// read of a file that was just read whole.
std::string FirstLineOf(const std::filesystem::path& list) {
  const tabrino::UniqueFile file = tabrino::openFile(list, "rb");
  if (!file) return {};
  std::string bytes(4096, '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  return bytes.substr(0, bytes.find('\n'));
}

// The command line's second line under the headline, and the guess at why.
std::wstring WrongHeaderMessage(const std::wstring& headline, const std::filesystem::path& list) {
  const std::string reason =
      tabrino::displayPath(list.filename()) + ": " + std::string(tabrino::kNotTheHeaderText);
  return Paragraphs(Paragraphs(headline, WideFromUtf8(reason)),
                    WideFromUtf8(tabrino::otherSeparatorText(FirstLineOf(list))));
}

// The message box this thread shows over `owner` with a No button: the
// question about closing.
struct QuestionSearch {
  HWND owner;
  HWND found = nullptr;
};

BOOL CALLBACK FindQuestion(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<QuestionSearch*>(param);
  if (::GetWindow(window, GW_OWNER) != search->owner || !::GetDlgItem(window, IDNO)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

CKestrixDlg::CKestrixDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {
  m_jobProgress.onTableReadable = [this] { TableReadable(); };
}

CKestrixDlg::~CKestrixDlg() {
  if (m_ownIcons) {
    ::DestroyIcon(m_hIcon);
    ::DestroyIcon(m_hSmallIcon);
  }
}

void CKestrixDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, IDC_CAMERA_LIST, m_cameraList);
  DDX_Text(pDX, IDC_LOADED_COUNT, m_strLoadedCount);
  DDX_Control(pDX, IDC_OPEN, m_btnOpen);
  DDX_Control(pDX, IDC_CONVERSION, m_btnConversion);
  DDX_Control(pDX, IDOK, m_btnOK);
  DDX_Text(pDX, IDC_WRITTEN_COUNT, m_strWrittenCount);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
  DDX_Control(pDX, IDC_FINDINGS, m_findings);
  DDX_Control(pDX, IDC_FINDINGS_LIST, m_btnFindings);
  DDX_Control(pDX, IDC_MAP, m_btnMap);
  DDX_Control(pDX, IDC_RUN_OPTIONS, m_btnRunOptions);
  DDX_Control(pDX, IDC_EXPORT, m_btnExport);
}

BEGIN_MESSAGE_MAP(CKestrixDlg, CDialog)
  ON_WM_SYSCOMMAND()
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_WM_TIMER()
  ON_BN_CLICKED(IDC_OPEN, OnBnClickedOpen)
  ON_BN_CLICKED(IDC_CONVERSION, OnBnClickedConversion)
  ON_BN_CLICKED(IDC_FINDINGS_LIST, OnBnClickedFindings)
  ON_BN_CLICKED(IDC_MAP, OnBnClickedMap)
  ON_BN_CLICKED(IDC_RUN_OPTIONS, OnBnClickedRunOptions)
  ON_BN_CLICKED(IDC_EXPORT, OnBnClickedExport)
  ON_NOTIFY(LVN_GETDISPINFOW, IDC_CAMERA_LIST, OnGetDispInfo)
  ON_NOTIFY(LVN_ODCACHEHINT, IDC_CAMERA_LIST, OnOdCacheHint)
  ON_NOTIFY(LVN_ODFINDITEMW, IDC_CAMERA_LIST, OnOdFindItem)
  ON_NOTIFY(NM_CUSTOMDRAW, IDC_CAMERA_LIST, OnCameraListCustomDraw)
  ON_MESSAGE(CFindingsDlg::kGoToFinding, OnGoToFinding)
  ON_MESSAGE(CFindingsDlg::kSaveFindings, OnSaveFindings)
  ON_MESSAGE(WM_JOB_DONE, OnJobDone)
  ON_MESSAGE(WM_TABLE_READABLE, OnTableReadable)
  ON_MESSAGE(WM_LIST_CHANGED, OnListChanged)
  ON_MESSAGE(WM_SETCURSOR, OnSetCursor)
  ON_MESSAGE(WM_DROPFILES, OnDropFiles)
  ON_MESSAGE(WM_DPICHANGED, OnDpiChanged)
  ON_MESSAGE(WM_OPEN_STARTUP_LIST, OnOpenStartupList)
  ON_MESSAGE(WM_SIZE, OnSize)
  ON_MESSAGE(WM_ARRANGE, OnSize)
  ON_MESSAGE(WM_GETMINMAXINFO, OnGetMinMaxInfo)
END_MESSAGE_MAP()

BOOL CKestrixDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  if (HMENU systemMenu = GetSystemMenu(FALSE)) {
    // The About item stays last, after its separator.
    ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(systemMenu, MF_STRING, IDM_SHOWMAP, L"Show on map");
    wchar_t aboutText[256] = L"";
    if (::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, aboutText, 256) > 0) {
      ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
    }
  }
  m_dpi = Dpi();
  LoadIcons(m_dpi);

  m_cameraList.Subclass();
  m_cameraList.SetExtendedStyle(m_cameraList.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  for (size_t column = 0; column < tabrino::kColumnCount; ++column) {
    m_cameraList.InsertColumn(static_cast<int>(column), WideFromUtf8(tabrino::kColumnTitles[column]).c_str(),
                              LVCFMT_CENTER, kColumnWidths[column]);
  }
  FitColumns(m_dpi);
  using Anchor = CAnchorLayout::Anchor;
  m_layout.Begin(m_hWnd, m_dpi);
  m_layout.Add(IDC_CAMERA_LIST, Anchor::kAll);
  for (int id : {IDC_FINDINGS, IDC_PROGRESS}) m_layout.Add(id, Anchor::kLeft | Anchor::kRight | Anchor::kBottom);
  for (int id : {IDC_RUN_OPTIONS, IDC_MAP, IDC_FINDINGS_LIST, IDOK}) m_layout.Add(id, Anchor::kRight | Anchor::kBottom);
  for (int id : {IDC_OPEN, IDC_CONVERSION, IDC_EXPORT, IDC_LOADED_COUNT, IDC_WRITTEN_COUNT}) {
    m_layout.Add(id, Anchor::kLeft | Anchor::kBottom);
  }
  m_progress.SetRange32(0, JobProgress::kWhole);
  if (m_tips.Create(m_hWnd)) {
    // Each count is named by the hidden label before it, as a screen reader names it.
    for (int id : {IDC_WRITTEN_COUNT, IDC_LOADED_COUNT}) {
      wchar_t name[64] = L"";
      ::GetWindowTextW(::GetWindow(::GetDlgItem(m_hWnd, id), GW_HWNDPREV), name, 64);
      m_tips.AddTool(static_cast<UINT_PTR>(id), CToolTipCtrl::AreaOf(::GetDlgItem(m_hWnd, id)), name);  // ids are positive
    }
    m_tips.AddTool(IDC_FINDINGS, CToolTipCtrl::AreaOf(m_findings.m_hWnd), L"");
  }

  ShowCounts(L"0", L"0");
  if (!m_startupLists.empty() && !::PostMessageW(m_hWnd, WM_OPEN_STARTUP_LIST, 0, 0)) {
    OpenLists(m_startupLists);  // before the window shows, but the lists are not lost
  }
  return TRUE;
}

// OK is disabled while a job runs; Escape and the close box are not.
void CKestrixDlg::OnOK() {
  if (m_job == Job::None) CDialog::OnOK();
}

void CKestrixDlg::OnCancel() {
  if (m_job == Job::None) {
    CDialog::OnCancel();
  } else {
    RequestClose();
  }
}

void CKestrixDlg::RequestClose() {
  if (m_closeRequested || m_askingToClose) return;
  // Reading a list, writing a database and drawing a map can stop (at their
  // next block, or before the map's file is written); the other jobs take
  // seconds at most and are let finish. A job whose work is over is only
  // showing how it ended.
  const bool stoppable = m_job == Job::Open || m_job == Job::Conversion || m_job == Job::Map;
  if (!stoppable || m_worker.Done()) {
    m_closeRequested = true;
    return;
  }
  const wchar_t* what = m_job == Job::Conversion     ? L"writing the database"
                        : m_job == Job::Map           ? L"drawing the map"
                        : m_jobProgress.tableReadable ? L"checking the list"
                                                      : L"reading the list";
  m_askingToClose = true;
  const int answer = ShowMessage(std::wstring(L"Tabrino is still ") + what +
                                     L".\n\nYes: stop now and close; no file is left half-written.\n"
                                     L"No: close when the work is done.",
                                 MB_YESNOCANCEL | MB_ICONQUESTION);
  m_askingToClose = false;
  if (answer == IDYES || answer == IDNO) m_closeRequested = true;
  if (answer == IDYES) m_jobProgress.stop = true;
  // The job ended while the question was up: its end waited for the answer.
  if (m_job != Job::None && m_worker.Done()) OnJobDone(0, 0);
}

// The job ended first: the question is about work that is over, so it goes,
// answered as closing once the work is done, which it now is.
void CKestrixDlg::WithdrawCloseQuestion() {
  QuestionSearch search{m_hWnd};
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindQuestion, reinterpret_cast<LPARAM>(&search));
  if (search.found) ::SendMessageW(search.found, WM_COMMAND, IDNO, 0);
}

bool CKestrixDlg::ChooseListFiles(std::vector<std::filesystem::path>& lists) {
  CFileDialog chooser(TRUE, nullptr, L"Quorvel.txt", OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT, kListFilter, this);
  if (!m_chooserFolder.empty()) chooser.m_ofn.lpstrInitialDir = m_chooserFolder.c_str();
  if (chooser.DoModal() != IDOK) return false;
  lists.clear();
  for (const std::wstring& path : chooser.GetPathNames()) lists.emplace_back(path);
  return !lists.empty();
}

int CKestrixDlg::ShowMessage(const std::wstring& text, UINT type) { return AfxMessageBox(text, type); }

void CKestrixDlg::OnException(const std::wstring& text) { ShowMessage(text, MB_OK | MB_ICONERROR); }

void CKestrixDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  // The system keeps the low four bits of a command id for itself.
  if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
    // Disabled, the dialog already has a modal window open (an About box,
    // a message, a chooser): one at a time.
    if (!::IsWindowEnabled(m_hWnd)) return;
    CAboutDlg about(this);
    about.DoModal();
  } else if ((nID & 0xFFF0) == IDM_SHOWMAP) {
    OnShowMap();
  } else {
    CDialog::OnSysCommand(nID, lParam);
  }
}

// The map goes where the user says, beside the list unless told otherwise,
// and is drawn on the worker: a large list takes seconds.
void CKestrixDlg::OnShowMap() {
  if (m_job != Job::None) return;
  if (!m_listLoaded || m_listPath.empty()) {
    ShowMessage(L"Open a list first: the map shows its cameras.", MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::filesystem::path offered = m_listPath;
  offered.replace_extension(std::wstring(L".") + kMapExtension);
  std::wstring path = offered.wstring();
  if (!ChooseMapFile(path)) return;
  UpdateWindow();
  const std::filesystem::path map(path);
  if (RefuseToReplace(map, L"The map")) return;
  const std::string listName = tabrino::displayPath(m_listPath.filename());
  StartJob(Job::Map, [this, map, listName] {
    m_mapOutcome = MapJob(m_table, map, listName, m_openedLists.sources, m_jobProgress);
  });
}

// The export writes a folder of files by the same core code as `tabrino
// export --output-dir`, of the cameras a conversion with the options would
// write, on the worker; it asks before it replaces any file.
void CKestrixDlg::OnBnClickedExport() {
  if (m_job != Job::None) return;
  if (!m_listLoaded) {
    ShowMessage(L"Open a list first: the export writes its cameras.", MB_OK | MB_ICONINFORMATION);
    return;
  }
  ExportChoices choices = m_exportChoices;
  if (choices.folder.empty()) choices.folder = m_listPath.parent_path();
  choices.regionName = tabrino::displayPath(m_runChoices.region.stem());
  if (!ChooseExport(choices)) return;
  m_exportChoices = choices;
  UpdateWindow();
  StartExport(false);
}

bool CKestrixDlg::ChooseExport(ExportChoices& choices) {
  CExportDlg dialog(this, choices);
  return dialog.DoModal() == IDOK;
}

void CKestrixDlg::StartExport(bool replace) {
  const ExportChoices choices = m_exportChoices;
  StartJob(Job::Export, [this, choices, replace] {
    m_exportOutcome = ExportJob(m_table, m_openedLists.sources, m_runOptions, choices, replace, m_jobProgress);
  });
}

void CKestrixDlg::FinishExport() {
  if (m_exportOutcome.kind != WriteOutcome::Kind::Completed) {
    ShowWriteFailure(m_exportOutcome, MB_OK);
    return;
  }
  const std::wstring text = ExportEndText(m_exportOutcome, m_exportChoices, m_runOptions);
  switch (m_exportOutcome.stop) {
    case ExportOutcome::Stop::FilesExist:
      m_exportReplacing = ShowMessage(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
      break;
    case ExportOutcome::Stop::Written: ShowMessage(text, MB_OK | MB_ICONINFORMATION); break;
    default: ShowMessage(text, MB_OK | MB_ICONWARNING); break;
  }
}

bool CKestrixDlg::ChooseMapFile(std::wstring& path) {
  const std::filesystem::path offered(path);
  CFileDialog chooser(FALSE, kMapExtension, offered.filename().c_str(), OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST,
                      kMapFilter, this);
  const std::wstring folder = offered.parent_path().wstring();
  if (!folder.empty()) chooser.m_ofn.lpstrInitialDir = folder.c_str();
  if (chooser.DoModal() != IDOK) return false;
  path = chooser.GetPathName();
  return true;
}

void CKestrixDlg::FinishMap() {
  if (m_mapOutcome.kind != WriteOutcome::Kind::Completed) {
    ShowWriteFailure(m_mapOutcome, MB_OK);
    return;
  }
  if (!ShowPicture(m_mapOutcome.path.wstring())) {
    ShowMessage(L"The map is in " + m_mapOutcome.path.wstring() +
                    L". Nothing on this computer opened it: open it in a web browser.",
                MB_OK | MB_ICONINFORMATION);
  }
}

bool CKestrixDlg::ShowPicture(const std::wstring& path) {
  // Above 32: something took the file.
  return reinterpret_cast<INT_PTR>(::ShellExecuteW(m_hWnd, L"open", path.c_str(), nullptr, nullptr,
                                                   SW_SHOWNORMAL)) > 32;
}

void CKestrixDlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = ::GetSystemMetrics(SM_CXICON);
  const int iconHeight = ::GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(&client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(m_hWnd, &paint);
}

HCURSOR CKestrixDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CKestrixDlg::OnBnClickedOpen() {
  std::vector<std::filesystem::path> lists;
  if (m_job != Job::None || !ChooseListFiles(lists)) return;
  UpdateWindow();  // the chooser's place is painted over at once, not after the list is read
  OpenLists(std::move(lists));
}

LRESULT CKestrixDlg::OnDropFiles(WPARAM hDrop, LPARAM) {
  const auto drop = reinterpret_cast<HDROP>(hDrop);
  std::vector<std::filesystem::path> lists;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::vector<wchar_t> path(::DragQueryFileW(drop, i, nullptr, 0) + 1);
    if (::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())) > 0) lists.emplace_back(path.data());
  }
  ::DragFinish(drop);
  // Dropped on a busy window, lists wait for the user to drop them again.
  if (!lists.empty() && m_job == Job::None) OpenLists(std::move(lists));
  return 0;
}

LRESULT CKestrixDlg::OnOpenStartupList(WPARAM, LPARAM) {
  if (m_job == Job::None) OpenLists(m_startupLists);
  return 0;
}

void CKestrixDlg::OpenLists(std::vector<std::filesystem::path> lists) {
  // The first list's folder becomes the current one, as the chooser leaves
  // it on Windows (Wine's does not when a whole path is typed). The database
  // goes to m_outputFolder, not to whatever folder is current, so a folder
  // that cannot be made current only changes where the chooser starts: there,
  // by name.
  const std::filesystem::path folder = lists.front().parent_path();
  m_chooserFolder = ::SetCurrentDirectoryW(folder.c_str()) ? std::filesystem::path() : folder;
  m_openingLists = std::move(lists);
  CloseFindingsWindow();  // its findings are of the lists going
  // The table is refilled on the worker: the view lets go of it meanwhile.
  m_rowsShown = false;
  m_cameraList.SetItemCountEx(0, 0);
  StartJob(Job::Open, [this, defaults = tabrino::cameraDefaults(m_runChoices)] {
    OpenListJob(m_openingLists, defaults, m_table, m_openingOpened, m_idxIndex, m_jobProgress, m_openOutcome);
  });
}

void CKestrixDlg::OnBnClickedRunOptions() {
  if (m_job != Job::None) return;
  CRunOptionsDlg options(this, m_runChoices, m_runOptions);
  options.DoModal();
}

void CKestrixDlg::OnBnClickedConversion() {
  if (m_job != Job::None || !m_listLoaded || m_table.empty()) return;

  const tabrino::DbDate today = tabrino::todayInUtc();
  if (RefuseToReplace(m_outputFolder / tabrino::databaseFileName(today), L"The database")) return;
  m_randomBlock = tabrino::drawRandomBlock(tabrino::timeSeed());
  const tabrino::ConversionSettings settings{m_outputFolder, today, m_randomBlock};
  const int selectedRow = m_cameraList.GetSelectedRow();
  m_strWrittenCount = L"0";
  UpdateData(FALSE);
  // The sort moves rows under the view: it shows none until they stand still.
  m_rowsShown = false;
  StartJob(Job::Conversion, [this, settings, selectedRow] {
    m_conversionOutcome = ConversionJob(m_table, m_openedLists, m_runOptions, settings, selectedRow, m_jobProgress);
    FollowIndexToOrder();
  });
}

bool CKestrixDlg::StartJob(Job job, std::function<void()> work) {
  m_job = job;
  m_jobProgress.Reset();
  // A disabled button keeps no focus: the keyboard waits in the list, and
  // goes back to the button when the job is over.
  m_focusBeforeJob = ::GetFocus();
  if (m_focusBeforeJob && ::GetParent(m_focusBeforeJob) == m_hWnd && m_focusBeforeJob != m_cameraList.m_hWnd) {
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_cameraList.m_hWnd), TRUE);
  }
  EnableCommands(FALSE);
  m_progress.SetPos(0);
  m_findings.ShowWindow(SW_HIDE);  // the bar takes the findings' place
  m_progress.ShowWindow(SW_SHOW);
  auto seamThenWork = [this, work = std::move(work)] {
    JobWorkStarting();
    work();
  };
  if (!m_worker.Start(std::move(seamThenWork), m_hWnd, WM_JOB_DONE)) {
    m_progress.ShowWindow(SW_HIDE);
    m_findings.ShowWindow(SW_SHOW);
    ShowTableRows(-1);
    ShowMessage(L"The work could not be started: " + SystemMessage(::GetLastError()), MB_OK | MB_ICONERROR);
    m_job = Job::None;
    EnableCommands(TRUE);
    return false;
  }
  SetTimer(kJobTimer, kJobTimerPeriodMs);
  RefreshCursor();
  return true;
}

void CKestrixDlg::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent != kJobTimer || m_job == Job::None) return;
  m_progress.SetPos(static_cast<int>(m_jobProgress.done.load()));
  OnTableReadable(0, 0);  // should its message have been refused
  if (m_job == Job::Conversion) ShowWrittenCount(m_jobProgress.accepted.load());
  // Done without its message yet: the worker posts once, and a full queue
  // refuses the post.
  if (m_worker.Done()) OnJobDone(0, 0);
}

LRESULT CKestrixDlg::OnListChanged(WPARAM, LPARAM) {
  ShowMessage(Paragraphs(L"A list on screen changed on disk after it was opened, or can no longer be read: its cells "
                         L"are no longer shown.",
                         L"Open it again to see it as it is now."),
              MB_OK | MB_ICONWARNING);
  return 0;
}

void CKestrixDlg::TableReadable() { ::PostMessageW(m_hWnd, WM_TABLE_READABLE, 0, 0); }

// The rows a job has read or sorted, shown while it goes on with them.
LRESULT CKestrixDlg::OnTableReadable(WPARAM, LPARAM) {
  if (m_rowsShown || !m_jobProgress.tableReadable) return 0;
  if (m_job == Job::Open) {
    ShowCounts(std::to_wstring(m_openOutcome.loadedCount), L"0");
    ShowReadRows();
  } else if (m_job == Job::Conversion) {
    ShowTableRows(m_jobProgress.followedRow);
  }
  return 0;
}

LRESULT CKestrixDlg::OnJobDone(WPARAM, LPARAM) {
  // Handled already (by the timer, or by this message while a message box of
  // the end pumped a second one), or a late message of an earlier run.
  if (m_job == Job::None || !m_worker.Active() || !m_worker.Done()) return 0;
  if (m_askingToClose) {  // the end is told once the question has gone
    WithdrawCloseQuestion();
    return 0;
  }
  KillTimer(kJobTimer);
  m_worker.Finish();
  m_progress.ShowWindow(SW_HIDE);
  m_findings.ShowWindow(SW_SHOW);
  RefreshCursor();
  // Stopped to close: what the job left is of no use, and no one waits to read about it.
  if (m_closeRequested && m_jobProgress.stop) {
    m_job = Job::None;
    EndDialog(IDCANCEL);
    return 0;
  }
  if (m_worker.ThrownByWork().any) {
    FinishThrownJob(m_worker.ThrownByWork());
  } else {
    switch (m_job) {
      case Job::Open: FinishOpen(); break;
      case Job::Conversion: FinishConversion(); break;
      case Job::Report: FinishReport(); break;
      case Job::Map: FinishMap(); break;
      case Job::Findings: FinishFindings(); break;
      case Job::Export: FinishExport(); break;
      case Job::None: break;
    }
  }
  // Only now, with the closing message dismissed, may the user go on.
  m_job = Job::None;
  EnableCommands(TRUE);
  RestoreFocus();
  if (m_closeRequested) {
    EndDialog(IDCANCEL);
  } else if (std::exchange(m_openFindingsWindow, false)) {
    ShowFindingsWindow();
  } else if (std::exchange(m_exportReplacing, false)) {
    StartExport(true);
  }
  return 0;
}

// The job's outcome says nothing, so only what the worker caught is told.
// A job that was filling or sorting the table leaves it in no state to show
// or convert: the dialog drops it, as after a list that could not be read;
// the others only read it, and it stays.
void CKestrixDlg::FinishThrownJob(const BackgroundWorker::Thrown& thrown) {
  if (m_job == Job::Open || m_job == Job::Conversion) {
    m_table.clear();
    m_idxIndex.clear();
    m_listLoaded = false;
    ShowFindings(nullptr);
    ShowCounts(L"0", L"0");
    ShowTableRows(-1);
  } else if (m_job == Job::Findings) {
    std::vector<tabrino::ListFinding>().swap(m_allFindings);
    m_findingsGathered = false;
    m_openFindingsWindow = false;
  }
  ShowMessage(thrown.outOfMemory ? L"Out of memory." : UnexpectedExceptionText(thrown.what.empty() ? nullptr : thrown.what.c_str()),
              MB_OK | MB_ICONERROR);
}

void CKestrixDlg::RestoreFocus() {
  HWND target = m_focusBeforeJob;
  if (!target || ::GetParent(target) != m_hWnd) return;
  if (!::IsWindowEnabled(target)) target = m_btnOpen.m_hWnd;  // Conversion, after a list that failed
  SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

void CKestrixDlg::FinishOpen() {
  const OpenOutcome& outcome = m_openOutcome;
  const bool failed = outcome.outOfMemory || !outcome.failure.empty();
  if (failed) m_table.clear();  // what was read of it is of no use
  const bool untouched = outcome.outcome == tabrino::ImportOutcome::OpenFailed && !outcome.tableRefilled && !failed;
  if (!untouched) m_openedLists = std::move(m_openingOpened);  // the table holds what this open read
  // Rows shown while they were checked stay where the user scrolled them.
  if (failed || !m_rowsShown) ShowReadRows();
  // The system's reason for a list that could not be opened or read names
  // the list, as the command line does; with several lists, so does any
  // other failure's headline.
  const std::wstring listName =
      outcome.failedList.empty() ? L"" : WideFromUtf8(tabrino::displayPath(outcome.failedList.filename()));
  const std::wstring failedName = m_openingLists.size() > 1 ? listName : L"";
  if (outcome.outOfMemory) {
    m_listLoaded = false;
    ShowFindings(nullptr);
    ShowCounts(L"0", L"0");
    ShowMessage(L"Not enough memory to load this list.", MB_OK | MB_ICONERROR);
    return;
  }
  if (!outcome.failure.empty()) {  // the table was emptied, as for a lack of memory
    m_listLoaded = false;
    ShowFindings(nullptr);
    ShowCounts(L"0", L"0");
    const std::wstring failure = WideFromUtf8(outcome.failure);
    ShowMessage(Paragraphs(failedName.empty() ? failure : failedName + L": " + failure,
                           ReasonText(outcome.error, outcome.reason)),
                MB_OK | MB_ICONERROR);
    return;
  }
  const std::wstring headline = WideFromUtf8(tabrino::ImportResult{outcome.outcome, 0, 0, {}}.messageText());
  const std::wstring reason = ReasonText(outcome.error, outcome.reason);
  const std::wstring namedReason = listName.empty() || reason.empty() ? reason : listName + L": " + reason;
  switch (outcome.outcome) {
    case tabrino::ImportOutcome::OpenFailed:
      if (untouched) {  // the table and the counts are as they were
        ShowMessage(Paragraphs(headline, namedReason), MB_OK | MB_ICONERROR);
        return;
      }
      [[fallthrough]];  // the lists before it were read: the table shows them, as after a failed read
    case tabrino::ImportOutcome::ReadFailed:
    case tabrino::ImportOutcome::WrongHeader:
      // The table shows what was read, so the user sees why; nothing in it
      // may become a database.
      m_listLoaded = false;
      ShowFindings(nullptr);  // those of a list that is not one mean nothing
      ShowCounts(L"0", L"0");
      if (outcome.outcome == tabrino::ImportOutcome::WrongHeader) {
        ShowMessage(WrongHeaderMessage(headline, outcome.failedList), MB_OK | MB_ICONWARNING);
      } else {
        ShowMessage(Paragraphs(headline, namedReason), MB_OK | MB_ICONERROR);
      }
      return;
    case tabrino::ImportOutcome::Loaded:
      m_listLoaded = true;
      m_lists = m_openingLists;
      m_listPath = m_lists.front();
      m_outputFolder = m_listPath.parent_path();  // the database goes beside the first list
      ShowFindings(&outcome.findings);
      ShowCounts(std::to_wstring(outcome.loadedCount), L"0");
      return;
  }
}

void CKestrixDlg::FinishConversion() {
  const ConversionOutcome& outcome = m_conversionOutcome;
  if (!m_rowsShown) ShowTableRows(m_jobProgress.followedRow);
  using Kind = WriteOutcome::Kind;
  using Outcome = tabrino::PipelineResult::Outcome;
  if (outcome.kind == Kind::Completed && outcome.result.outcome != Outcome::Written) {
    ShowCounts(m_strLoadedCount, L"0");
    ShowMessage(outcome.result.outcome == Outcome::FilteredAll
                    ? L"The options left no camera: nothing was written."
                    : L"More cameras than the options' most records (" + std::to_wstring(outcome.result.cameras) +
                          L" of " + std::to_wstring(m_runOptions.maxRecords.value_or(0)) + L"): nothing was written.",
                MB_OK | MB_ICONWARNING);
    return;
  }
  if (outcome.kind == Kind::Completed) {
    ShowCounts(m_strLoadedCount, std::to_wstring(outcome.summary.recordsWritten));
    std::string counts =
        tabrino::conversionCountsText(outcome.summary.recordsWritten, outcome.summary.rowsSkipped) + ".";
    if (m_runOptions.filter.active()) counts += "\n" + LeftOutText(outcome.result.filtered) + ".";
    if (m_runOptions.dropDuplicates) counts += "\nDropped " + std::to_string(outcome.summary.rowsLeftOut) + " duplicates.";
    if (m_openedLists.leftOutBy) {
      // The rows left out are findings now, as in a report of the command line.
      tabrino::FindingSummary findings = m_openOutcome.findings;
      tabrino::reportLeftOut(m_openedLists.leftOut, *m_openedLists.leftOutBy, findings);
      ShowFindings(&findings);
    }
    ShowMessage(Paragraphs(WideFromUtf8(tabrino::conversionEndText(Utf8FromWide(outcome.path.wstring()))),
                           WideFromUtf8(counts)),
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  ShowCounts(m_strLoadedCount, L"0");  // no record was written
  // OK and Cancel on "File open Error", as the program always asked; either
  // answer leaves everything as it is.
  ShowWriteFailure(outcome, outcome.kind == Kind::CreateFailed ? MB_OKCANCEL : MB_OK);
}

void CKestrixDlg::ShowWriteFailure(const WriteOutcome& outcome, UINT buttons) {
  if (outcome.kind == WriteOutcome::Kind::OutOfMemory) {
    ShowMessage(L"Not enough memory to write " + outcome.path.wstring() + L".", MB_OK | MB_ICONERROR);
    return;
  }
  ShowMessage(Paragraphs(WideFromUtf8(outcome.headline), ReasonText(outcome.error, outcome.reason)),
              buttons | MB_ICONERROR);
}

// The list on screen is the only copy of what the table shows; a file written
// over it would take it away, so nothing is written.
bool CKestrixDlg::RefuseToReplace(const std::filesystem::path& target, const wchar_t* what) {
  const bool shown = std::any_of(m_lists.begin(), m_lists.end(),
                                 [&](const std::filesystem::path& list) { return tabrino::sameFile(target, list); });
  if (shown) {
    ShowMessage(std::wstring(what) + L" " + target.wstring() + L" is the list on screen: writing it would destroy "
                L"the list. Nothing was written; give the list another name, or choose another file.",
                MB_OK | MB_ICONWARNING);
    return true;
  }
  // Its owner marked it to be kept.
  if (tabrino::isReadOnlyFile(target)) {
    ShowMessage(target.wstring() + L" is read-only; not replaced.", MB_OK | MB_ICONWARNING);
    return true;
  }
  return false;
}

// The findings are gathered once per list, on the worker: a broken list of
// millions of lines has millions of them.
void CKestrixDlg::OnBnClickedFindings() {
  if (m_job != Job::None || m_findingsCount == 0) return;
  if (m_findingsGathered) {
    ShowFindingsWindow();
    return;
  }
  StartJob(Job::Findings,
           [this] { m_findingsOutcome = CollectFindingsJob(m_table, m_openedLists, m_allFindings); });
}

void CKestrixDlg::FinishFindings() {
  if (m_findingsOutcome.kind != WriteOutcome::Kind::Completed) {
    ShowWriteFailure(m_findingsOutcome, MB_OK);
    return;
  }
  m_findingsGathered = true;
  m_openFindingsWindow = true;  // once the job is over: the window may ask for another
}

void CKestrixDlg::ShowFindingsWindow() {
  if (m_findingsWindow && m_findingsWindow->m_hWnd) {
    ::SetActiveWindow(m_findingsWindow->m_hWnd);
    return;
  }
  m_findingsWindow = std::make_unique<CFindingsDlg>(this, m_allFindings, m_listPath.filename().wstring(),
                                                    &m_openedLists.sources, m_codePage);
  if (!m_findingsWindow->Create()) {
    ShowMessage(L"The findings window could not be opened: " + SystemMessage(::GetLastError()), MB_OK | MB_ICONERROR);
  }
}

void CKestrixDlg::CloseFindingsWindow() {
  if (m_findingsWindow && m_findingsWindow->m_hWnd) m_findingsWindow->DestroyWindow();
  m_findingsWindow.reset();
}

// The dialog disabled has a modal window up (a message, a chooser): the
// findings window, still enabled, waits for it, one at a time.
LRESULT CKestrixDlg::OnSaveFindings(WPARAM, LPARAM) {
  if (::IsWindowEnabled(m_hWnd)) SaveFindings();
  return 0;
}

// The row is selected in the table behind the window, which keeps the
// keyboard for the next finding.
LRESULT CKestrixDlg::OnGoToFinding(WPARAM index, LPARAM) {
  // A job that refills or sorts the table has it; the others only read it.
  if (!::IsWindowEnabled(m_hWnd) || !m_rowsShown || m_job == Job::Open || m_job == Job::Conversion ||
      index >= m_allFindings.size()) {
    return 0;
  }
  const tabrino::ListFinding& finding = m_allFindings[index];
  if (finding.objectRow != 0 && SelectRowOfLine(finding.objectRow)) return 0;
  if (AboutAnObject(finding)) {
    // "relation 107 (enforcement=check)", "node 5: no location": the object comes first.
    const std::string object = finding.detail.substr(0, std::min(finding.detail.find(" ("), finding.detail.find(':')));
    ShowMessage(WideFromUtf8(object) + L" made no camera: the table has no row of it.", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  if (!SelectRowOfLine(finding.lineNumber)) {
    ShowMessage(L"Line " + std::to_wstring(finding.lineNumber) + L" made no row: the table does not show it.",
                MB_OK | MB_ICONINFORMATION);
  }
  return 0;
}

bool CKestrixDlg::AboutAnObject(const tabrino::ListFinding& finding) const {
  if (finding.lineNumber == 0) return true;  // of a lone extract
  // Among several lists, an extract's stand at its header line.
  return std::any_of(m_openedLists.parts.begin(), m_openedLists.parts.end(), [&](const OpenedLists::Part& part) {
    return part.extract && part.firstLine + 1 == finding.lineNumber;
  });
}

// Rows carry their line counted from the header as 0; findings count it as 1.
bool CKestrixDlg::SelectRowOfLine(std::uint64_t line) {
  for (size_t row = 0; row < m_table.size(); ++row) {
    if (m_table.tag(row) + 1 != line) continue;
    m_cameraList.SelectRow(static_cast<int>(row));
    return true;
  }
  return false;
}

void CKestrixDlg::SaveFindings() {
  std::wstring path;
  if (m_job != Job::None || m_findingsCount == 0 || !ChooseReportFile(path)) return;
  UpdateWindow();
  const std::filesystem::path report(path);
  if (RefuseToReplace(report, L"The findings file")) return;
  StartJob(Job::Report, [this, report] { m_reportOutcome = FindingsReportJob(m_table, m_openedLists, report); });
}

bool CKestrixDlg::ChooseReportFile(std::wstring& path) {
  CFileDialog chooser(FALSE, L"csv", L"findings.csv", OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST,
                      L"CSV File(*.csv)|*.csv|All Files(*.*)|*.*||", this);
  if (!m_outputFolder.empty()) chooser.m_ofn.lpstrInitialDir = m_outputFolder.c_str();
  if (chooser.DoModal() != IDOK) return false;
  path = chooser.GetPathName();
  return true;
}

void CKestrixDlg::FinishReport() {
  if (m_reportOutcome.kind == WriteOutcome::Kind::Completed) {
    ShowMessage(WideFromUtf8(tabrino::findingsReportWrittenText(Utf8FromWide(m_reportOutcome.path.wstring()))),
                MB_OK | MB_ICONINFORMATION);
  } else {
    ShowWriteFailure(m_reportOutcome, MB_OK);
  }
}

// In the command line's words, each kind with its count and first lines:
// "2 rows skipped, coordinates out of range: line 4, line 6; ...".
void CKestrixDlg::ShowFindings(const tabrino::FindingSummary* findings) {
  m_findingsCount = findings ? findings->total() : 0;
  m_findingKinds.clear();
  if (findings) {
    for (const std::string& kind : tabrino::findingSummaryLines(*findings, false, &m_openedLists.sources)) {
      // Each kind's line starts with its count.
      m_findingKinds.emplace_back(WideFromUtf8(kind), std::strtoull(kind.c_str(), nullptr, 10));
    }
  }
  m_findingsGathered = false;  // those of another list
  CloseFindingsWindow();
  std::vector<tabrino::ListFinding>().swap(m_allFindings);
  FitFindingsLine();
}

void CKestrixDlg::FitFindingsLine() {
  std::wstring whole;
  for (const auto& kind : m_findingKinds) whole += (whole.empty() ? L"" : L"; ") + kind.first;
  m_tips.SetToolText(IDC_FINDINGS, whole.c_str());
  RECT area;
  ::GetClientRect(m_findings.m_hWnd, &area);
  HDC dc = ::GetDC(m_findings.m_hWnd);
  const HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(m_findings.SendMessage(WM_GETFONT)));
  auto fits = [&](const std::wstring& text) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx <= area.right;
  };
  std::wstring shown = whole;
  if (!fits(whole) && !m_findingKinds.empty()) {
    // The first kind always, then whole kinds as far as they fit, and how
    // many findings the rest hold.
    auto more = [](std::uint64_t rest) {
      return rest == 0 ? std::wstring() : L"; " + std::to_wstring(rest) + L" more: Findings...";
    };
    std::uint64_t rest = m_findingsCount - m_findingKinds.front().second;
    std::wstring head = m_findingKinds.front().first;
    if (fits(head + more(rest))) {
      for (auto kind = m_findingKinds.begin() + 1; kind != m_findingKinds.end(); ++kind) {
        const std::wstring longer = head + L"; " + kind->first;
        if (!fits(longer + more(rest - kind->second))) break;
        head = longer;
        rest -= kind->second;
      }
    } else {
      // Cut where it must be: the longest start of it that fits with "…".
      std::size_t fitting = 0, tooLong = head.size();
      while (fitting + 1 < tooLong) {
        const std::size_t middle = (fitting + tooLong) / 2;
        (fits(head.substr(0, middle) + L"\u2026" + more(rest)) ? fitting : tooLong) = middle;
      }
      head = head.substr(0, fitting) + L"\u2026";
    }
    shown = head + more(rest);
  }
  ::SelectObject(dc, oldFont);
  ::ReleaseDC(m_findings.m_hWnd, dc);
  m_findings.SetWindowText(shown.c_str());
}

LRESULT CKestrixDlg::OnSetCursor(WPARAM, LPARAM) {
  if (!m_worker.Active()) {
    Default();
    return FALSE;
  }
  // Arrow and hourglass: busy, yet the window still answers.
  ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
  return TRUE;
}

void CKestrixDlg::RefreshCursor() {
  POINT point;
  if (!::GetCursorPos(&point)) return;
  const HWND under = ::WindowFromPoint(point);
  if (under == m_hWnd || ::IsChild(m_hWnd, under)) {
    ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
}

LRESULT CKestrixDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
  const int dpi = HIWORD(wParam);
  for (int column = 0; column < static_cast<int>(tabrino::kColumnCount); ++column) {
    m_cameraList.SetColumnWidth(column, ::MulDiv(m_cameraList.GetColumnWidth(column), dpi, m_dpi));
  }
  m_dpi = dpi;
  LoadIcons(dpi);
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  Default();  // the system scales the dialog's controls and fonts
  ::PostMessageW(m_hWnd, WM_ARRANGE, 0, 0);  // then they go back to their edges
  return 0;
}

LRESULT CKestrixDlg::OnSize(WPARAM, LPARAM) {
  if (IsIconic()) return 0;
  m_layout.Arrange(m_dpi);
  PlaceTips();
  FitFindingsLine();
  return 0;
}

void CKestrixDlg::PlaceTips() {
  if (!m_tips.m_hWnd) return;
  for (int id : {IDC_WRITTEN_COUNT, IDC_LOADED_COUNT, IDC_FINDINGS}) {
    m_tips.SetToolRect(static_cast<UINT_PTR>(id), CToolTipCtrl::AreaOf(::GetDlgItem(m_hWnd, id)));  // ids are positive
  }
}

LRESULT CKestrixDlg::OnGetMinMaxInfo(WPARAM, LPARAM lParam) {
  const SIZE smallest = m_layout.MinimumSize(m_dpi);
  if (smallest.cx > 0) reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {smallest.cx, smallest.cy};
  return 0;
}

int CKestrixDlg::Dpi() const {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (getDpiForWindow) return static_cast<int>(getDpiForWindow(m_hWnd));
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

void CKestrixDlg::FitColumns(int dpi) {
  for (int column = 0; column < static_cast<int>(tabrino::kColumnCount); ++column) {
    const int scaled = ::MulDiv(kColumnWidths[column], dpi, kBaseDpi);
    const int text = m_cameraList.GetStringWidth(kColumnSamples[column]) + ::MulDiv(kColumnPadding, dpi, kBaseDpi);
    m_cameraList.SetColumnWidth(column, std::max(scaled, text));
  }
}

void CKestrixDlg::LoadIcons(int dpi) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  auto load = [&](int widthMetric, int heightMetric) {
    return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                           SystemMetricForDpi(widthMetric, dpi),
                                           SystemMetricForDpi(heightMetric, dpi), LR_DEFAULTCOLOR));
  };
  HICON big = load(SM_CXICON, SM_CYICON);
  HICON small = load(SM_CXSMICON, SM_CYSMICON);
  if (!big || !small) {
    if (big) ::DestroyIcon(big);
    if (small) ::DestroyIcon(small);
    return;  // keep what the window shows
  }
  SetIcon(big, TRUE);
  SetIcon(small, FALSE);
  if (m_ownIcons) {
    ::DestroyIcon(m_hIcon);
    ::DestroyIcon(m_hSmallIcon);
  }
  m_hIcon = big;
  m_hSmallIcon = small;
  m_ownIcons = true;
}

void CKestrixDlg::OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) {
  LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR)->item;
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    item.pszText[0] = L'\0';
    if (m_rowsShown && item.iItem >= 0 && item.iSubItem >= 0 &&
        static_cast<size_t>(item.iSubItem) < tabrino::kColumnCount) {
      const std::string cell =
          m_table.cell(static_cast<size_t>(item.iItem), static_cast<tabrino::Column>(item.iSubItem));
      CopyCellToWideBuffer(cell, m_codePage, item.pszText, item.cchTextMax);
      // Cells are read from the list's file as they are shown; once it has
      // changed they are left empty, and the user is told once why.
      if (!m_toldListChanged && m_table.textChanged()) {
        m_toldListChanged = true;
        ::PostMessageW(m_hWnd, WM_LIST_CHANGED, 0, 0);
      }
    }
  }
  *pResult = 0;
}

// The rows about to be drawn: after the sort they lie scattered in memory,
// and their lines scattered over the list.
void CKestrixDlg::OnOdCacheHint(NMHDR* pNMHDR, LRESULT* pResult) {
  const auto* hint = reinterpret_cast<NMLVCACHEHINT*>(pNMHDR);
  if (m_rowsShown) {
    const int last = std::min(hint->iTo, static_cast<int>(m_table.size()) - 1);
    for (int row = std::max(hint->iFrom, 0); row <= last; ++row) m_table.prefetch(static_cast<size_t>(row));
    // Their cells are read from the list's file: a page at once.
    if (last >= hint->iFrom) m_table.prepareCells(static_cast<size_t>(std::max(hint->iFrom, 0)), static_cast<size_t>(last) + 1);
  }
  *pResult = 0;
}

// Typing in the list finds the next row whose IDX starts with what was typed
// (ASCII letters in either case), wrapping at the end, as a list that holds
// its rows would; through the index, since a scan of millions of rows would
// hold up every key.
void CKestrixDlg::OnOdFindItem(NMHDR* pNMHDR, LRESULT* pResult) {
  const auto* find = reinterpret_cast<NMLVFINDITEMW*>(pNMHDR);
  *pResult = -1;
  if (!m_rowsShown || m_job == Job::Open || m_job == Job::Conversion) return;  // the index is being rebuilt
  if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz) return;
  const size_t rows = m_table.size();
  const size_t start =
      find->iStart >= 0 && static_cast<size_t>(find->iStart) < rows ? static_cast<size_t>(find->iStart) : 0;
  const auto row = m_idxIndex.find(m_table, CellBytesFromWide(find->lvfi.psz, m_codePage), start,
                                   (find->lvfi.flags & LVFI_WRAP) != 0, (find->lvfi.flags & LVFI_PARTIAL) == 0);
  if (row) *pResult = static_cast<LRESULT>(*row);
}

// While the findings window keeps the keyboard, the row it went to is drawn
// in the selection's own colours, not in the faint grey of a list without
// the focus, so that it is seen behind the window.
void CKestrixDlg::OnCameraListCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
  *pResult = CDRF_DODEFAULT;
  if (!m_findingsWindow || !m_findingsWindow->m_hWnd) return;
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
    *pResult = CDRF_NOTIFYITEMDRAW;
    return;
  }
  if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT || ::GetFocus() == m_cameraList.m_hWnd) return;
  const int row = static_cast<int>(draw->nmcd.dwItemSpec);
  if (!(m_cameraList.GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED)) return;
  draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED);
  draw->clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
  draw->clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
}

void CKestrixDlg::FollowIndexToOrder() noexcept {
  try {
    m_idxIndex.followOrder(m_table);
  } catch (const std::bad_alloc&) {
    m_idxIndex.clear();  // typing finds nothing; the table itself is whole
  }
}

void CKestrixDlg::ShowReadRows() {
  m_codePage = m_openOutcome.utf8 ? CP_UTF8 : CP_ACP;
  m_toldListChanged = false;
  ShowTableRows(-1);
}

// A new set of rows (a list read, or the same rows sorted) starts without the
// old ones' scroll position, focus and selection, which would now point at
// other cameras; `selectedRow` is selected and shown (-1: none).
void CKestrixDlg::ShowTableRows(int selectedRow) {
  m_rowsShown = true;
  m_cameraList.SetItemCountEx(0, 0);  // an empty list keeps no scroll position, focus or selection
  m_cameraList.SetItemCountEx(static_cast<int>(m_table.size()), 0);
  m_cameraList.SetSelectionMark(-1);
  m_cameraList.SelectRow(selectedRow);
  m_cameraList.Invalidate(FALSE);
}

void CKestrixDlg::EnableCommands(BOOL enable) {
  m_btnOpen.EnableWindow(enable);
  m_btnConversion.EnableWindow(enable && m_listLoaded);
  m_btnFindings.EnableWindow(enable && m_findingsCount > 0);
  m_btnMap.EnableWindow(enable && m_listLoaded);
  m_btnExport.EnableWindow(enable && m_listLoaded);
  m_btnRunOptions.EnableWindow(enable);
  m_btnOK.EnableWindow(enable);  // last: an enabled OK says the others are as they will stay
}

void CKestrixDlg::ShowCounts(const std::wstring& loaded, const std::wstring& written) {
  m_strLoadedCount = loaded;
  m_strWrittenCount = written;
  UpdateData(FALSE);
}

void CKestrixDlg::ShowWrittenCount(std::uint32_t accepted) {
  const std::wstring text = std::to_wstring(accepted);
  if (text == m_strWrittenCount) return;
  m_strWrittenCount = text;
  UpdateData(FALSE);
}
