// An interactive map of cameras: one HTML page that works offline, on a
// slippy map (Leaflet, built into the program with its license). The world's
// land, lakes, borders and place names are drawn from the program's own
// data; OpenStreetMap's tiles are a layer to turn on when online. Cameras on
// both sides of the 180th meridian lie side by side. Every camera is in the page as
// packed binary (16 bytes each, in base64) and is drawn on a canvas, so a
// million stay smooth: a mark per camera with its type's colour and shape
// (and its heading when zoomed in), or a density grid when too many are in
// view. Each type is a layer; a click on a camera shows what it is.
#pragma once

#include "core/database/camera_db_format.h"
#include "core/list/list_sources.h"
#include "core/map/camera_map.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino {

// How the pop-ups name each camera: by the line of the list it came from
// (counted from 1, the header being line 1), or, when `lines` is empty, as
// the n-th record (a database's order).
struct CameraNumbers {
  std::vector<std::uint64_t> lines;  // one per camera, or none
  // Each camera's cells as its list wrote them (CameraTable::recordCells:
  // IDX, X, Y and DIRECTION, a line each), or empty (a database has none).
  // The page names cameras by IDX; when the values fit its budget it shows
  // them beside what the database stores.
  std::string cells;
  // With several lists, where each begins: a line then names its list
  // ("b.txt line 4").
  std::vector<ListSources::Start> lists;
};

// Whether this build carries Leaflet, and so the page: a build may be made
// without it (cmake/Leaflet.cmake), and then has only the SVG picture.
bool cameraPageBuiltIn();
// What a build without it says when asked for the page.
inline constexpr std::string_view kNoCameraPageText =
    "this build has no interactive page (it was built without Leaflet): write the SVG picture instead "
    "(-o FILE.svg or --format svg)";

// The page's HTML. Cameras out of bounds are left out. Throws TabrinoError in
// a build without the page.
std::string cameraPageHtml(const std::vector<CameraRecord>& cameras, const MapTitle& title,
                           const CameraNumbers& numbers = {});

// Writes the page through an AtomicFileWriter: it appears only once
// complete. Throws FileOpenError or FileWriteError, or TabrinoError in a
// build without the page.
void writeCameraPage(const std::filesystem::path& path, const std::vector<CameraRecord>& cameras,
                     const MapTitle& title, const CameraNumbers& numbers = {});

}  // namespace tabrino
