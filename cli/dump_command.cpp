#include "cli/dump_command.h"

#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/byte_source.h"
#include "core/db_dump.h"
#include "core/db_inspect.h"
#include "core/file_io.h"
#include "core/geo_export.h"

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

// GPX, KML or GeoJSON, put in place only once complete, like the list.
void exportTo(const DumpOptions& options, ExportFormat format, ByteSource& source, std::uint64_t recordCount,
              const ProgressCallback& progress) {
  const std::string title =
      isStandardStream(options.file) ? sourceName(options.file) : displayPath(argumentPath(options.file).filename());
  if (options.output.empty() || isStandardStream(options.output)) {
    exportRecords(source, recordCount, format, title, [](const std::string& text) {
      errno = 0;
      if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        throw FileWriteError("standard output", systemErrorText(errno ? errno : EIO));
      }
    }, progress);
    return;
  }
  AtomicFileWriter out(argumentPath(options.output));
  exportRecords(source, recordCount, format, title, [&](const std::string& text) { out.write(text); }, progress);
  out.commit();
}

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
    const ExportFormat format = exportFormatNamed(options.format).value_or(ExportFormat::List);
    if (format != ExportFormat::List) {
      exportTo(options, format, *source, report.recordCount, progress.callback("Dumping"));
    } else if (toStandardOutput) {
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
