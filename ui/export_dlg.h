// The dialog's Export: what to write (a format, a folder, the split, the
// files' names, a cap, icons), asked in a window of its own, and the job that
// writes it on the worker with the core's export, as `tabrino export
// --output-dir` does.
#pragma once

#include "core/export/camera_files.h"
#include "core/export/camera_groups.h"
#include "core/list/camera_table.h"
#include "core/list/list_sources.h"
#include "core/run/conversion_pipeline.h"
#include "framework/dialog.h"
#include "ui/export_ids.h"
#include "ui/list_jobs.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The choices, kept for the session.
struct ExportChoices {
  tabrino::CameraFileFormat format = tabrino::CameraFileFormat::Ov2;
  std::filesystem::path folder;  // must exist
  tabrino::SplitBy split = tabrino::SplitBy::Speed;
  std::string fileTemplate = tabrino::FileNameFields::kDefault;
  std::uint64_t maxPerFile = 0;  // 0: no cap
  bool icons = true;
  std::string regionName;  // for {region}: the options' region file's name; not chosen in the window
};

class CExportDlg : public CDialog {
 public:
  enum { IDD = IDD_EXPORT };
  // `choices` is replaced only when the user confirms choices that can be used.
  CExportDlg(CWnd* owner, ExportChoices& choices) : CDialog(IDD, owner), m_choices(choices) {}

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* pDX) override;

 private:
  void ShowProblem(const std::wstring& problem);

  ExportChoices& m_choices;
  std::wstring m_strFolder, m_strTemplate, m_strMax;
};

struct ExportOutcome : WriteOutcome {
  enum class Stop { Written, FilesExist, FilteredAll, OverLimit };
  Stop stop = Stop::Written;
  std::vector<std::filesystem::path> existing;  // for FilesExist: what the export would replace
  std::uint64_t cameras = 0;  // chosen by the options
  std::size_t files = 0;      // camera files written
};

// Exports the table's cameras, chosen by `options` as a conversion chooses
// them, into choices.folder; the table is only read. Unless `replace`, stops
// before writing anything when a file it would write is there already.
ExportOutcome ExportJob(const tabrino::CameraTable& table, const tabrino::ListSources& sources,
                        const tabrino::PipelineOptions& options, const ExportChoices& choices, bool replace,
                        JobProgress& progress);

// What the dialog says of an export that ended (not for a failure).
std::wstring ExportEndText(const ExportOutcome& outcome, const ExportChoices& choices,
                           const tabrino::PipelineOptions& options);
