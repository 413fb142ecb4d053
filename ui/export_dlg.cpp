#include "ui/export_dlg.h"

#include "core/base/errors.h"
#include "core/map/type_marks.h"
#include "core/run/export_run.h"
#include "ui/text_encoding.h"

#include <charconv>
#include <new>
#include <system_error>

namespace {

constexpr tabrino::CameraFileFormat kFormats[] = {
    tabrino::CameraFileFormat::Ov2, tabrino::CameraFileFormat::PoiCsv, tabrino::CameraFileFormat::Csv,
    tabrino::CameraFileFormat::Gpx, tabrino::CameraFileFormat::Kml,    tabrino::CameraFileFormat::GeoJson};
constexpr const wchar_t* kFormatNames[] = {L"OV2 with skipper records", L"POI CSV", L"CSV with named columns",
                                           L"GPX", L"KML", L"GeoJSON"};
constexpr tabrino::SplitBy kSplits[] = {tabrino::SplitBy::Nothing, tabrino::SplitBy::Speed, tabrino::SplitBy::Type,
                                        tabrino::SplitBy::TypeAndSpeed};
constexpr const wchar_t* kSplitNames[] = {L"Nothing: one file", L"Speed", L"Type", L"Type and speed"};

template <typename T, std::size_t N>
int IndexOf(const T (&values)[N], T value) {
  for (std::size_t i = 0; i < N; ++i) {
    if (values[i] == value) return static_cast<int>(i);
  }
  return 0;
}

void FillCombo(HWND dialog, int id, const wchar_t* const* names, std::size_t count, int selected) {
  for (std::size_t i = 0; i < count; ++i) {
    ::SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
  }
  ::SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

std::size_t ComboChoice(HWND dialog, int id, std::size_t count) {
  const LRESULT chosen = ::SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
  return chosen >= 0 && static_cast<std::size_t>(chosen) < count ? static_cast<std::size_t>(chosen) : 0;
}

}  // namespace

BOOL CExportDlg::OnInitDialog() {
  m_strFolder = m_choices.folder.wstring();
  m_strTemplate = WideFromUtf8(m_choices.fileTemplate);
  m_strMax = m_choices.maxPerFile == 0 ? std::wstring() : std::to_wstring(m_choices.maxPerFile);
  CDialog::OnInitDialog();  // shows the members
  FillCombo(m_hWnd, IDC_EXP_FORMAT, kFormatNames, std::size(kFormatNames), IndexOf(kFormats, m_choices.format));
  FillCombo(m_hWnd, IDC_EXP_SPLIT, kSplitNames, std::size(kSplitNames), IndexOf(kSplits, m_choices.split));
  ::CheckDlgButton(m_hWnd, IDC_EXP_ICONS, m_choices.icons ? BST_CHECKED : BST_UNCHECKED);
  CenterOnOwner();
  return TRUE;
}

void CExportDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, IDC_EXP_FOLDER, m_strFolder);
  DDX_Text(pDX, IDC_EXP_TEMPLATE, m_strTemplate);
  DDX_Text(pDX, IDC_EXP_MAX, m_strMax);
}

void CExportDlg::ShowProblem(const std::wstring& problem) {
  ::SetDlgItemTextW(m_hWnd, IDC_EXP_PROBLEM, problem.c_str());
}

void CExportDlg::OnOK() {
  UpdateData(TRUE);
  ExportChoices choices;
  choices.format = kFormats[ComboChoice(m_hWnd, IDC_EXP_FORMAT, std::size(kFormats))];
  choices.split = kSplits[ComboChoice(m_hWnd, IDC_EXP_SPLIT, std::size(kSplits))];
  choices.folder = m_strFolder;
  choices.fileTemplate = Utf8FromWide(m_strTemplate);
  choices.icons = ::IsDlgButtonChecked(m_hWnd, IDC_EXP_ICONS) == BST_CHECKED;
  choices.regionName = m_choices.regionName;
  const std::string max = Utf8FromWide(m_strMax);
  if (!max.empty()) {
    const auto parsed = std::from_chars(max.data(), max.data() + max.size(), choices.maxPerFile);
    if (parsed.ec != std::errc() || parsed.ptr != max.data() + max.size() || choices.maxPerFile == 0) {
      ShowProblem(L"The most cameras a file is a whole number from 1, or empty for no limit.");
      return;
    }
  }
  std::error_code error;
  if (choices.folder.empty() || !std::filesystem::is_directory(choices.folder, error)) {
    ShowProblem(L"The folder must be one that exists.");
    return;
  }
  try {
    tabrino::FileNameFields fields;
    fields.fileTemplate = choices.fileTemplate;
    fields.region = m_choices.regionName;
    tabrino::checkFileTemplate(fields);
  } catch (const tabrino::TabrinoError& problem) {
    ShowProblem(WideFromUtf8(problem.messageText()));
    return;
  }
  m_choices = choices;
  CDialog::OnOK();
}

ExportOutcome ExportJob(const tabrino::CameraTable& table, const tabrino::ListSources& sources,
                        const tabrino::PipelineOptions& options, const ExportChoices& choices, bool replace,
                        JobProgress& progress) {
  ExportOutcome outcome;
  outcome.path = choices.folder;
  try {
    // The filters take rows out of the table they run on: a copy of the
    // rows (16 bytes each), so that the table shown stays as it is.
    tabrino::CameraTable rows;
    rows.reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) rows.appendRow(table.row(i), table.tag(i));
    const tabrino::ExportSelection selection = tabrino::selectCameras(rows, sources, options);
    outcome.cameras = selection.cameras.size();
    if (selection.outcome == tabrino::ExportSelection::Outcome::FilteredAll) {
      outcome.stop = ExportOutcome::Stop::FilteredAll;
      return outcome;
    }
    if (selection.outcome == tabrino::ExportSelection::Outcome::OverLimit) {
      outcome.stop = ExportOutcome::Stop::OverLimit;
      return outcome;
    }
    tabrino::FolderExport plan;
    plan.format = choices.format;
    plan.folder = choices.folder;
    plan.split = choices.split;
    plan.fileNames.fileTemplate = choices.fileTemplate;
    plan.fileNames.region = choices.regionName;
    plan.maxPerFile = choices.maxPerFile;
    if (choices.icons) plan.iconLook = tabrino::typeIconLook;  // as the map draws each type
    const std::vector<tabrino::CameraGroup> groups = tabrino::folderExportGroups(selection.cameras, plan);
    if (!replace) {
      std::error_code error;
      for (const std::filesystem::path& file : tabrino::folderExportFiles(groups, plan)) {
        if (std::filesystem::exists(file, error)) outcome.existing.push_back(file);
      }
      if (!outcome.existing.empty()) {
        outcome.stop = ExportOutcome::Stop::FilesExist;
        return outcome;
      }
    }
    const std::vector<tabrino::ExportedFile> written =
        tabrino::writeFolderExport(groups, plan, [&](std::uint64_t done, std::uint64_t total) {
          progress.done = static_cast<std::uint32_t>(total == 0 ? 0 : done * JobProgress::kWhole / total);
        });
    outcome.files = written.size();
  } catch (const tabrino::TabrinoError& error) {
    outcome.kind = dynamic_cast<const tabrino::FileOpenError*>(&error) ? WriteOutcome::Kind::CreateFailed
                   : dynamic_cast<const tabrino::FileWriteError*>(&error) ? WriteOutcome::Kind::WriteFailed
                                                                          : WriteOutcome::Kind::Failed;
    outcome.headline = error.messageText();
    outcome.error = error.code();
    outcome.reason = error.ownReason();
  } catch (const std::bad_alloc&) {
    outcome.kind = WriteOutcome::Kind::OutOfMemory;
  }
  progress.done = JobProgress::kWhole;
  return outcome;
}

std::wstring ExportEndText(const ExportOutcome& outcome, const ExportChoices& choices,
                           const tabrino::PipelineOptions& options) {
  const std::wstring folder = choices.folder.wstring();
  switch (outcome.stop) {
    case ExportOutcome::Stop::FilteredAll: return L"The options left no camera: nothing was exported.";
    case ExportOutcome::Stop::OverLimit:
      return L"More cameras than the options' most records (" + std::to_wstring(outcome.cameras) + L" of " +
             std::to_wstring(options.maxRecords.value_or(0)) + L"): nothing was exported.";
    case ExportOutcome::Stop::FilesExist:
      return std::to_wstring(outcome.existing.size()) + (outcome.existing.size() == 1 ? L" file" : L" files") +
             L" in " + folder + L" would be replaced, " + outcome.existing.front().filename().wstring() +
             L" among them. Replace them?";
    case ExportOutcome::Stop::Written: break;
  }
  return L"Exported " + std::to_wstring(outcome.cameras) + (outcome.cameras == 1 ? L" camera" : L" cameras") +
         L" in " + std::to_wstring(outcome.files) + (outcome.files == 1 ? L" file" : L" files") + L" to " + folder +
         L" (listed in manifest.csv).";
}
