#include "cli/dump_command.h"

#include "cli/exit_codes.h"
#include "cli/filter_options.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/platform/byte_source.h"
#include "core/database/db_inspect.h"
#include "core/platform/file_io.h"
#include "core/export/geo_export.h"
#include "core/database/record_reader.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

namespace tabrino::cli {

int runDump(const DumpOptions& options) {
  std::vector<NamedFile> inputs = filterInputs(options.filter);
  inputs.insert(inputs.begin(), namedFile("the database", options.file));
  if (const auto refused = refuseUnsafeFiles({namedFile("-o", options.output)}, inputs, options.force)) {
    return *refused;
  }
  // Lines on a terminal would scroll through the bar.
  const bool toStandardOutput = options.output.empty() || isStandardStream(options.output);
  ProgressBar progress(!options.quiet && !(toStandardOutput && isTerminal(stdout)));
  const std::string shownName = sourceName(options.file);
  return runGuarded(progress, kFailure, "the file is too large for this machine", [&]() -> int {
    const CameraFilter filter = makeFilter(options.filter);
    const std::unique_ptr<ByteSource> source = openDatabase(options.file);
    const DatabaseInspection report = inspectDatabase(*source, progress.callback("Checking"));
    if (!report.magicFound) {
      progress.finish();
      std::cerr << messagePrefix() << shownName << " is not a camera database: "
                << report.problems.front().text << "\n";
      return kFailure;
    }
    const ExportFormat format = exportFormatNamed(options.format).value_or(ExportFormat::List);
    // A file appears only once complete: a partial list would convert into
    // a database with cameras missing.
    const std::unique_ptr<AtomicFileWriter> out = openOutput(options.output.empty() ? "-" : options.output);
    const std::string title = isStandardStream(options.file) ? sourceName(options.file)
                                                             : displayPath(argumentPath(options.file).filename());
    const TextWriter write = [&](const std::string& text) { out->write(text); };
    if (filter.active()) {
      const std::unique_ptr<ExportWriter> writer = makeExportWriter(format, write);
      writer->begin(title);
      forEachRecord(*source, report.recordCount, [&](const CameraRecord& record) {
        if (!filter.leftOutBy(record)) writer->add(record);
      }, progress.callback("Dumping"));
      writer->end();
    } else {
      exportRecords(*source, report.recordCount, format, title, write, progress.callback("Dumping"));
    }
    out->commit();
    progress.finish();
    if (!report.sound() && !options.quiet) {
      std::cerr << messagePrefix() << "warning: " << shownName << " is not sound; its " << report.recordCount
                << " records were dumped as they stand (tabrino inspect lists the problems)\n";
    }
    return kSuccess;
  });
}

}  // namespace tabrino::cli
