// Times Open, Conversion and the map of a list in the real main dialog, the
// longest stretch in which the dialog's thread did not answer a message
// meanwhile, and the time of each key press and click in the filled camera
// list, typing an IDX among them. Also
// the same work done by the core alone in the same process, so the dialog's
// own cost shows. Windows only (run under Wine here).
//   dialog_bench LIST
#include "core/base/utf8_text.h"
#include "core/convert/conversion_run.h"
#include "core/check/duplicates.h"
#include "ui/idx_index.h"
#include "core/list/text_import.h"
#include "tests/dialog_driver.h"

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Asks the dialog's thread for an answer (WM_NULL) over and over, as Windows
// does before it calls a window "Not Responding", and keeps the longest wait.
class ResponsivenessProbe {
 public:
  explicit ResponsivenessProbe(HWND window)
      : m_thread([this, window] {
          while (!m_stop) {
            const auto start = Clock::now();
            DWORD_PTR answer = 0;
            ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer);
            const double waited = MillisecondsSince(start);
            double longest = m_longest.load();
            while (waited > longest && !m_longest.compare_exchange_weak(longest, waited)) {
            }
            m_answered = true;
            ::Sleep(10);
          }
        }) {
    while (!m_answered) ::Sleep(1);  // probing before the work starts
  }
  ~ResponsivenessProbe() {
    m_stop = true;
    m_thread.join();
  }
  double Longest() const { return m_longest; }

 private:
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_answered{false};
  std::atomic<double> m_longest{0};
  std::thread m_thread;
};

// A key press in the list as the dialog's thread serves it, painting included.
double KeyMilliseconds(HWND list, UINT key) {
  const auto start = Clock::now();
  ::SendMessageW(list, WM_KEYDOWN, key, 1);
  // A key that was down and is released (bits 30 and 31), once.
  ::SendMessageW(list, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  ::RedrawWindow(list, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return MillisecondsSince(start);
}

double ClickMilliseconds(HWND list, int row) {
  RECT rect{LVIR_BOUNDS, 0, 0, 0};
  ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
  const LPARAM at = MAKELPARAM(rect.left + 20, (rect.top + rect.bottom) / 2);
  const auto start = Clock::now();
  ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(list, WM_LBUTTONUP, 0, at);
  ::RedrawWindow(list, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return MillisecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dialog_bench LIST\n");
    return 2;
  }
  const std::filesystem::path list = std::filesystem::absolute(argv[1]);
  const std::filesystem::path folder = list.parent_path();

  auto start = Clock::now();
  tabrino::test::DialogDriver dialog;
  double openLongest = 0;
  double conversionLongest = 0;
  bool converted = false;
  {
    ResponsivenessProbe probe(::GetParent(dialog.Item(IDC_CAMERA_LIST)));
    start = Clock::now();
    dialog.StartOpen(list);
    // The rows show once read; the buttons come back once they are checked.
    tabrino::test::WaitFor([&] { return dialog.RowCount() > 0 || dialog.Enabled(IDOK); });
    std::printf("dialog open rows shown ms %.0f\n", MillisecondsSince(start));
    dialog.WaitForOpen();
    std::printf("dialog open ms %.0f\n", MillisecondsSince(start));
    std::printf("open message %ls\n", dialog.LastMessage().c_str());
    openLongest = probe.Longest();
  }
  {
    ResponsivenessProbe probe(::GetParent(dialog.Item(IDC_CAMERA_LIST)));
    start = Clock::now();
    converted = dialog.Convert();
    std::printf("dialog conversion ms %.0f\n", MillisecondsSince(start));
    conversionLongest = probe.Longest();
  }
  // The dialog's peak, before the core's own run below adds to it.
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory)) {
    std::printf("peak working set MB %.0f\n", memory.PeakWorkingSetSize / 1048576.0);
  }
  double mapLongest = 0;
  {
    ResponsivenessProbe probe(::GetParent(dialog.Item(IDC_CAMERA_LIST)));
    start = Clock::now();
    dialog.Click(IDC_MAP);  // beside the list, as the chooser offers
    dialog.WaitForOpen();
    std::printf("dialog map ms %.0f\n", MillisecondsSince(start));
    mapLongest = probe.Longest();
  }
  std::printf("longest unanswered ms during open %.0f\n", openLongest);
  std::printf("longest unanswered ms during map %.0f\n", mapLongest);
  std::printf("longest unanswered ms during conversion %.0f\n", conversionLongest);
  std::printf("written count %ls\n", dialog.Text(IDC_WRITTEN_COUNT).c_str());

  const HWND camera = dialog.Item(IDC_CAMERA_LIST);
  double slowest = 0;
  auto keep = [&](const char* what, double ms) {
    slowest = std::max(slowest, ms);
    std::printf("key %-10s ms %.1f\n", what, ms);
  };
  keep("click", ClickMilliseconds(camera, 1));
  for (int i = 0; i < 3; ++i) keep("Down", KeyMilliseconds(camera, VK_DOWN));
  for (int i = 0; i < 3; ++i) keep("PageDown", KeyMilliseconds(camera, VK_NEXT));
  keep("End", KeyMilliseconds(camera, VK_END));
  keep("Up", KeyMilliseconds(camera, VK_UP));
  keep("PageUp", KeyMilliseconds(camera, VK_PRIOR));
  keep("Home", KeyMilliseconds(camera, VK_HOME));
  keep("click", ClickMilliseconds(camera, 3));
  // The start of an IDX near the end, typed key by key.
  const std::wstring idx = dialog.Cell(static_cast<int>(::SendMessageW(camera, LVM_GETITEMCOUNT, 0, 0)) - 2, 0);
  double typing = 0;
  for (size_t i = 0; i < std::min<size_t>(idx.size(), 6); ++i) {
    const auto typed = Clock::now();
    ::SendMessageW(camera, WM_CHAR, idx[i], 1);
    ::RedrawWindow(camera, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    typing = std::max(typing, MillisecondsSince(typed));
  }
  keep("typing", typing);
  std::printf("typed IDX %ls found %ls\n", idx.substr(0, 6).c_str(),
              dialog.Cell(static_cast<int>(::SendMessageW(camera, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)), 0).c_str());
  std::printf("slowest key ms %.1f\n", slowest);

  // The findings window (gathered on the worker) and Go to row on its last
  // finding, which looks the row up on the dialog's thread.
  if (dialog.Enabled(IDC_FINDINGS_LIST)) {
    const HWND window = ::GetParent(camera);
    HWND findings = nullptr;
    double gatherLongest = 0;
    {
      ResponsivenessProbe probe(window);
      start = Clock::now();
      ::PostMessageW(dialog.Item(IDC_FINDINGS_LIST), BM_CLICK, 0, 0);
      tabrino::test::WaitFor([&] {
        for (HWND w = ::FindWindowW(L"#32770", nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
          if (::GetWindow(w, GW_OWNER) == window && ::GetDlgItem(w, IDC_FINDINGS_TABLE) && ::IsWindowVisible(w)) {
            findings = w;
            return true;
          }
        }
        return false;
      }, std::chrono::minutes(5));
      std::printf("findings window ms %.0f\n", MillisecondsSince(start));
      gatherLongest = probe.Longest();
    }
    std::printf("longest unanswered ms during findings %.0f\n", gatherLongest);
    if (findings) {
      const HWND table = ::GetDlgItem(findings, IDC_FINDINGS_TABLE);
      const auto count = ::SendMessageW(table, LVM_GETITEMCOUNT, 0, 0);
      std::printf("findings %ld\n", static_cast<long>(count));
      LVITEMW select{};
      select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      ::SendMessageW(table, LVM_SETITEMSTATE, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(&select));
      start = Clock::now();
      ::SendMessageW(::GetDlgItem(findings, IDC_GOTO_ROW), BM_CLICK, 0, 0);
      ::RedrawWindow(camera, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      std::printf("go to row of the last finding ms %.1f\n", MillisecondsSince(start));
      ::SendMessageW(findings, WM_COMMAND, IDCANCEL, 0);
    }
  }

  size_t loadedCount = 0;
  bool loaded = false;
  start = Clock::now();
  {
    tabrino::CameraTable table;
    const tabrino::ImportResult imported = tabrino::importCameraList(list, table);
    loadedCount = imported.loadedCount;
    loaded = imported.loaded();
    std::printf("rows %zu\ncore import ms %.0f\n", loadedCount, MillisecondsSince(start));
    start = Clock::now();
    tabrino::runConversion(table, {folder, tabrino::utcDate(std::time(nullptr)), tabrino::drawRandomBlock(1)});
    std::printf("core conversion ms %.0f\n", MillisecondsSince(start));
  }
  // What Open does besides the plain import, step by step: the text kept
  // for the list view, the findings, the duplicates, the text's encoding.
  {
    struct Count : tabrino::FindingSink {
      void add(const tabrino::ListFinding&) override { ++count; }
      std::uint64_t count = 0;
    } findings;
    tabrino::CameraTable table;
    tabrino::ImportOptions options;
    options.keepText = true;
    options.findings = &findings;
    start = Clock::now();
    tabrino::importCameraList(list, table, options);
    std::printf("core import keeping text ms %.0f\n", MillisecondsSince(start));
    // The check after the rows show: the duplicates, beside the IDX index.
    start = Clock::now();
    const tabrino::RowPositions order = table.latitudeOrder();
    std::printf("core latitude order ms %.0f\n", MillisecondsSince(start));
    start = Clock::now();
    tabrino::DuplicateScan(table, {0, false, nullptr}).report(findings);
    std::printf("core duplicates ms %.0f\n", MillisecondsSince(start));
    start = Clock::now();
    tabrino::IdxIndex index;
    index.indexRows(table);
    std::printf("core IDX index ms %.0f\n", MillisecondsSince(start));
    start = Clock::now();
    const bool utf8 = table.text().isValidUtf8();
    std::printf("text check ms %.0f (%s)\n", MillisecondsSince(start), utf8 ? "UTF-8" : "not UTF-8");
  }
  return converted && loaded ? 0 : 1;
}
