#include "cli/dump_command.h"

#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/byte_source.h"
#include "core/db_dump.h"
#include "core/db_inspect.h"
#include "core/file_io.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

namespace tabrino::cli {
namespace {

// The -o file, removed again unless the dump completes: a partial list
// would convert into a database with cameras missing.
class OutputFile {
 public:
  explicit OutputFile(const std::filesystem::path& path) : path_(path) {
    errno = 0;
    file_ = openFile(path_, "wb");
    if (!file_) throw FileOpenError(displayPath(path_), systemErrorText(errno));
  }
  ~OutputFile() {
    if (file_) {
      file_.reset();
      std::error_code ignored;
      std::filesystem::remove(path_, ignored);
    }
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* get() const noexcept { return file_.get(); }
  void close() {
    errno = 0;
    if (std::fclose(file_.release()) != 0) throw FileWriteError(displayPath(path_), systemErrorText(errno ? errno : EIO));
  }

 private:
  std::filesystem::path path_;
  UniqueFile file_;
};

}  // namespace

int runDump(const DumpOptions& options) {
  // Lines on a terminal would scroll through the bar.
  const bool toStandardOutput = options.output.empty() || isStandardStream(options.output);
  ProgressBar progress(!options.quiet && !(toStandardOutput && isTerminal(stdout)));
  const std::string shownName = sourceName(options.file);
  try {
    const std::unique_ptr<ByteSource> source = openDatabase(options.file);
    const DatabaseInspection report = inspectDatabase(*source, progress.callback("Checking"));
    if (!report.magicFound) {
      progress.finish();
      std::cerr << "tabrino dump: " << shownName << " is not a camera database: "
                << report.problems.front().text << "\n";
      return 1;
    }
    if (toStandardOutput) {
      dumpRecords(*source, report.recordCount, stdout, "standard output", progress.callback("Dumping"));
    } else {
      OutputFile out(argumentPath(options.output));
      dumpRecords(*source, report.recordCount, out.get(), options.output, progress.callback("Dumping"));
      out.close();
    }
    progress.finish();
    if (!report.sound() && !options.quiet) {
      std::cerr << "tabrino dump: warning: " << shownName << " is not sound; its " << report.recordCount
                << " records were dumped as they stand (tabrino inspect lists the problems)\n";
    }
    return 0;
  } catch (const TabrinoError& error) {
    progress.finish();
    printError(std::cerr, error);
  }
  return 1;
}

}  // namespace tabrino::cli
