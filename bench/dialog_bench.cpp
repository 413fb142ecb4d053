// Times Open and Conversion of a list in the real main dialog, and the same
// work done by the core alone in the same process, so the dialog's own cost
// shows. Windows only (run under Wine here).
//   dialog_bench LIST
#include "core/conversion_run.h"
#include "core/text_import.h"
#include "tests/dialog_driver.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
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
  tabrino::CameraTable table;
  const tabrino::ImportResult imported = tabrino::importCameraList(list, table);
  const double coreImport = MillisecondsSince(start);
  start = Clock::now();
  tabrino::runConversion(table, {folder, tabrino::utcDate(std::time(nullptr)), tabrino::drawRandomBlock(1)});
  const double coreConversion = MillisecondsSince(start);

  tabrino::test::DialogDriver dialog;
  start = Clock::now();
  dialog.Open(list);
  const double open = MillisecondsSince(start);
  start = Clock::now();
  const bool converted = dialog.Convert();
  const double conversion = MillisecondsSince(start);

  std::printf("rows %zu\ncore import ms %.0f\ncore conversion ms %.0f\ndialog open ms %.0f\ndialog conversion ms %.0f\n",
              imported.loadedCount, coreImport, coreConversion, open, conversion);
  std::printf("written count %ls\n", dialog.Text(IDC_WRITTEN_COUNT).c_str());
  return converted && imported.loaded() ? 0 : 1;
}
