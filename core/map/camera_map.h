// A picture of where cameras are: one SVG file that any browser shows
// without a network. The cameras are drawn over land, coasts, lakes and
// country borders, under the names of places around them, zoomed to their
// extent with a margin in a projection that suits it (map_projection.h),
// with a graticule labelled in degrees, a scale bar in km where one scale
// holds across the map, a legend of camera types with their counts and a
// title line. Each camera is a mark coloured by type (with a tick along its
// heading when it watches one direction or both), unless the marks would
// pile on one another: then a density grid whose cells are coloured by count
// takes their place, so a million cameras still make a small file that a
// browser draws at once.
#pragma once

#include "core/database/camera_db_format.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrino {

struct MapTitle {
  std::string fileName;  // what the cameras came from
  std::string date;      // a database's date, or the day the picture was drawn
};

// Where the view goes: the cameras in bounds and near the rest, which the
// view is fitted to, and the indexes of those far from the rest (a stray
// 0,0 in a list of one country), which are left out of it and named to the
// user. Cameras out of bounds are in neither.
struct MapPlacement {
  std::vector<CameraRecord> shown;
  std::vector<std::size_t> strays;
  // The meridian the view centres on, in degrees: opposite the widest
  // stretch without cameras, so that those on both sides of the 180th
  // meridian sit together.
  double centralMeridian = 0;
};

MapPlacement placeOnMap(const std::vector<CameraRecord>& cameras);

// The SVG text, of the cameras placeOnMap shows; the panel says how
// many were left out. `densityGrid`, when given, says whether a grid took
// the marks' place.
std::string cameraMapSvg(const std::vector<CameraRecord>& cameras, const MapTitle& title,
                         bool* densityGrid = nullptr);

// Writes the picture through an AtomicFileWriter: it appears only once
// complete. Throws FileOpenError or FileWriteError.
void writeCameraMap(const std::filesystem::path& path, const std::vector<CameraRecord>& cameras,
                    const MapTitle& title);

}  // namespace tabrino
