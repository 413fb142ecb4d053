#include "cli/convert_command.h"

#include "cli/date_option.h"
#include "cli/findings_summary.h"
#include "cli/messages.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/convert/conversion_run.h"
#include "core/list/duplicates.h"
#include "core/base/errors.h"
#include "core/platform/file_io.h"
#include "core/base/parallel.h"
#include "core/list/finding_spool.h"
#include "core/list/list_findings.h"
#include "core/list/text_import.h"
#include "core/texts/user_texts.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <new>
#include <optional>
#include <vector>

namespace tabrino::cli {

int runConvert(const ConvertOptions& options) {
  const auto date = resolveDate(options.date);
  if (!date.date) {
    std::cerr << "tabrino convert: " << date.problem << "\n";
    return 2;
  }
  const std::filesystem::path outputDirectory = argumentPath(options.outputDirectory);
  const std::filesystem::path database = outputDirectory / databaseFileName(*date.date);
  if (std::count(options.lists.begin(), options.lists.end(), "-") > 1) {
    std::cerr << "tabrino convert: standard input (-) can be only one of the lists\n";
    return 2;
  }
  std::vector<NamedFile> lists;
  for (const std::string& list : options.lists) {
    lists.push_back({"the list", list, isStandardStream(list) ? "" : argumentPath(list)});
  }
  std::vector<NamedFile> outputs{{"the database", displayPath(database), database}};
  if (!options.report.empty()) outputs.insert(outputs.begin(), {"--report", options.report, argumentPath(options.report)});
  if (const auto clash = clashingFiles(outputs, lists)) {
    std::cerr << "tabrino convert: " << *clash << "\n";
    return 2;
  }
  try {
    checkOutputFolder(database);
  } catch (const TabrinoError& error) {
    printError(std::cerr, error);
    return 1;
  }

  ProgressBar progress(!options.quiet);
  return runGuarded(progress, 1, "the list is too large for this machine", [&]() -> int {
    const CameraFilter filter = makeFilter(options.filter);
    // Findings are spooled while the list is read and written to the report
    // with the duplicates, which are known only once the whole list is. The
    // report is opened first: a report that cannot be written stops the run.
    ListSources sources;
    std::optional<FindingReport> report;
    std::optional<FindingSpool> spool;
    if (!options.report.empty()) {
      report.emplace(argumentPath(options.report), &sources);
      spool.emplace();
    }
    FindingSummary summary;
    std::vector<FindingSink*> sinks;
    if (!options.quiet) sinks.push_back(&summary);
    if (spool) sinks.push_back(&*spool);
    FindingFanOut findings(sinks);

    CameraTable table;
    ImportOptions importOptions;
    importOptions.findings = sinks.empty() ? nullptr : &findings;
    importOptions.progress = progress.callback("Reading");
    std::vector<std::size_t> loaded;
    for (std::size_t i = 0; i < options.lists.size(); ++i) {
      const std::string& argument = options.lists[i];
      importOptions.laterBytes = 0;
      for (std::size_t later = i + 1; later < options.lists.size(); ++later) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(argumentPath(options.lists[later]), ec);
        if (!ec) importOptions.laterBytes += size;
      }
      const ListInput input{sourceName(argument), isStandardStream(argument) ? std::filesystem::path() : argumentPath(argument),
                            isStandardStream(argument) ? stdin : nullptr};
      const ImportResult imported = importNextList(input, table, sources, importOptions);
      progress.finish();  // the terminal may show stdout and stderr on one screen
      if (!imported.loaded()) {
        printImportFailure(std::cerr, imported, input.name);
        return 1;
      }
      loaded.push_back(imported.loadedCount);
    }
    if (!options.quiet) {
      for (std::size_t i = 0; i < loaded.size(); ++i) {
        std::cout << "Loaded " << counted(loaded[i], "row", "rows") << " from " << sourceName(options.lists[i]) << "\n";
      }
    }

    // Read, filter, find duplicates, then check the limit.
    std::optional<LeftOutRows> leftOut;
    if (report && filter.active()) leftOut.emplace();
    const FilterCounts filtered = filterTable(table, filter, leftOut ? &*leftOut : nullptr);
    if (!options.quiet && filter.active()) std::cout << leftOutText(filter, filtered) << "\n";
    auto withinLimit = [&](std::uint64_t records) {
      if (!options.maxRecords || records <= *options.maxRecords) return true;
      progress.finish();
      std::cerr << "tabrino convert: " << counted(records, "camera", "cameras") << ", more than --max-records "
                << *options.maxRecords << "; nothing was written. --bbox, --polygon, --types, --speed, --exclude "
                << "and --drop-duplicates cut the count.\n";
      return false;
    };
    if (!options.dropDuplicates && !withinLimit(table.recordCount())) return 1;

    const ConversionSettings settings{outputDirectory, *date.date,
                                      drawRandomBlock(options.seed.value_or(timeSeed()))};
    table.sortByLatitude();
    std::optional<DuplicateScan> duplicates;
    auto scanDuplicates = [&] { duplicates.emplace(table, DuplicateOptions{options.nearMetres, options.dropDuplicates, &sources}); };
    const bool scanning = !sinks.empty() || options.dropDuplicates;
    ConversionSummary written;
    if (scanning && !report && !options.dropDuplicates) {
      // Only the summary waits for the duplicates: the search runs beside
      // the write.
      inParallel([&] { written = writeCameraDatabase(table, settings, {}, progress.callback("Writing")); },
                 scanDuplicates);
      duplicates->report(summary);
    } else {
      // The report is complete before the database is written, and the
      // duplicates decide what is dropped.
      std::vector<std::uint32_t> dropped;
      if (scanning) {
        scanDuplicates();
        if (options.dropDuplicates) {
          dropped = duplicates->droppedPositions();
          std::uint64_t droppedRecords = 0;
          for (const std::uint32_t position : dropped) droppedRecords += table.record(position) ? 1 : 0;
          if (!withinLimit(table.recordCount() - droppedRecords)) return 1;
        }
        if (!options.quiet) duplicates->report(summary);
        if (report) {
          // The list's findings and the rows filtered out, in line order.
          duplicates->reportWith(
              [&](FindingSink& sink) {
                if (!leftOut) return spool->replay(sink);
                LeftOutRows::Findings left(*leftOut, filter);
                FindingMerge merge(left, sink);
                spool->replay(merge);
                merge.finish();
              },
              *report);
          report->commit();
        }
      }
      written = writeCameraDatabase(table, settings, dropped, progress.callback("Writing"));
    }
    progress.finish();
    if (!options.quiet) {
      std::cout << conversionCountsText(written.recordsWritten, written.rowsSkipped);
      if (options.dropDuplicates) std::cout << "; dropped " << counted(written.rowsLeftOut, "duplicate", "duplicates");
      std::cout << "\n" << conversionEndText(displayPath(written.outputPath)) << "\n";
      std::cout.flush();
      printFindingsSummary(std::cerr, summary, options.report, &sources);
    }
    return 0;
  });
}

}  // namespace tabrino::cli
