// Reading a speed-camera list for a command (convert, map): where its
// findings go, and what the terminal is told.
#pragma once

#include "cli/input_file.h"
#include "cli/progress_bar.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"

#include <optional>
#include <string>
#include <vector>

namespace tabrino::cli {

// The findings of one list: counted for the terminal's summary unless the
// run is quiet, and handed to `report` too when there is one.
class ListFindings {
 public:
  ListFindings(bool quiet, FindingSink* report);
  ListFindings(const ListFindings&) = delete;
  ListFindings& operator=(const ListFindings&) = delete;

  // Where the import sends them; nullptr when nobody wants them.
  FindingSink* sink() noexcept { return sinks_.empty() ? nullptr : &fanOut_; }
  FindingSummary& summary() noexcept { return summary_; }
  const FindingSummary& summary() const noexcept { return summary_; }

 private:
  FindingSummary summary_;
  std::vector<FindingSink*> sinks_;
  FindingFanOut fanOut_;
};

// A report of findings for --report: a file, or standard output for "-".
// Throws FileOpenError.
void openReport(std::optional<FindingReport>& report, const std::string& argument);

// Reads the list named `argument` ("-": standard input), or the cameras of
// an OpenStreetMap extract (osmDirection: how its direction tags are taken),
// into `table` and says "Loaded N rows from LIST" unless quiet. Returns false
// after saying on stderr why the list could not be read.
bool readCameraList(const std::string& argument, CameraTable& table, ListFindings& findings, ProgressBar& progress,
                    bool quiet, const std::string& osmDirection = "");
// The same, of an input already open (map: told a list by its first bytes).
bool readCameraList(const std::string& argument, InputFile& input, CameraTable& table, ListFindings& findings,
                    ProgressBar& progress, bool quiet, const std::string& osmDirection = "");

}  // namespace tabrino::cli
