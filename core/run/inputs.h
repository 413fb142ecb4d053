// Inputs read one after another into one table, whatever each is: a list
// or an OpenStreetMap extract, told apart by their first bytes, each read
// once (a pipe as well as a file), their lines numbered on as if they were
// one text. Every front end reads its inputs through this.
#pragma once

#include "core/list/camera_table.h"
#include "core/list/list_sources.h"
#include "core/list/text_import.h"
#include "core/osm/osm_extract.h"
#include "core/run/input_file.h"

#include <cstdint>

namespace tabrino {

struct InputOptions {
  ImportOptions import;  // findings, progress, and room to set aside for later lists (laterBytes)
  OsmDirectionUse osmDirection = OsmDirectionUse::Ignore;  // how an extract's direction tags are taken
  // More than one input: an extract's findings then name it, at its first line.
  bool severalInputs = false;
  // What a shared format's cameras take when they do not say (type, speed).
  CameraDefaults cameraDefaults = {};
};

// Reads `input` into `table` after the inputs `sources` names (the first
// clears the table) and adds it to `sources` once read. A shared format
// (GPX, KML, GeoJSON, CSV, OV2) gives a row per camera, on the line it was
// found on; an OV2's rows and findings are placed as an extract's. An extract gives the
// rows `tabrino from-osm` would write of it, its lines counted as that list's;
// a table that keeps its text keeps that list's text for them.
// Throws what reading an extract or a shared format throws.
ImportResult readInput(InputFile& input, CameraTable& table, ListSources& sources, const InputOptions& options);

}  // namespace tabrino
