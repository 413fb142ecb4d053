// Reading a speed-camera list for a command (convert, map): where its
// findings go, and what the terminal is told.
#pragma once

#include "cli/input_file.h"
#include "cli/progress_bar.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/list/list_sources.h"
#include "core/formats/camera_fields.h"

#include <optional>
#include <string>
#include <vector>

namespace tabrino::cli {

// --camera-type and --camera-speed: what the cameras of GPX, KML, GeoJSON,
// CSV and OV2 files take when they do not say.
struct CameraDefaultOptions {
  std::optional<int> type;   // 0 to 255, checked by the option
  std::optional<int> speed;  // 0 to 255, checked by the option
  CameraDefaults defaults() const {
    CameraDefaults chosen;
    if (type) chosen.type = static_cast<std::uint8_t>(*type);
    chosen.speed = speed;
    return chosen;
  }
};

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
void openReport(std::optional<FindingReport>& report, const std::string& argument,
                const ListSources* sources = nullptr);

// Reads the lists named by `arguments` ("-": standard input) into `table`
// in the order given, each after the one before, their lines numbered on as
// if they were one text (`sources` names them, for findings). An argument
// may name an OpenStreetMap extract (osmDirection: how its direction tags
// are taken). Each input is opened once; `firstInput`, when given, is the
// first argument's, already open (map tells a list by its first bytes).
// `cameraDefaults` fill the type and speed a shared format's cameras do not
// give. With keepText the table keeps the lists' text (for their cells).
// Says "Loaded N rows from LIST" for each unless quiet. Returns false after
// saying on stderr why a list could not be read.
bool readCameraList(const std::vector<std::string>& arguments, CameraTable& table, ListSources& sources,
                    ListFindings& findings, ProgressBar& progress, bool quiet, const std::string& osmDirection = "",
                    InputFile* firstInput = nullptr, const CameraDefaults& cameraDefaults = {},
                    bool keepText = false);

}  // namespace tabrino::cli
