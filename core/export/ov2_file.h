// The cameras as an OV2 file, the POI format of one family of navigation
// devices: little-endian records, coordinates in degrees × 100000. Each POI
// is a record of type 2 (type byte, record length, longitude, latitude, the
// name ending in a zero byte). Blocks of nearby POIs are headed by skipper
// records of type 1 (type byte, the block's length in bytes counting the
// skipper itself, then its box: east, north, west, south), so that a device
// passes over every block whose box is far from where it is. The blocks nest:
// a tree whose leaves hold at most kOv2LeafCameras cameras.
#pragma once

#include "core/export/camera_names.h"
#include "core/model/camera_record.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabrino {

inline constexpr std::uint8_t kOv2Poi = 2;
inline constexpr std::uint8_t kOv2Skipper = 1;
inline constexpr std::uint8_t kOv2Deleted = 0;
inline constexpr std::uint8_t kOv2ExtendedPoi = 3;
inline constexpr std::size_t kOv2SkipperSize = 21;
inline constexpr std::size_t kOv2PoiFixedSize = 13;  // type, length, longitude, latitude
inline constexpr std::size_t kOv2LeafCameras = 20;
// A stored coordinate (degrees × 10000) as OV2 holds it: the same place.
inline constexpr std::int32_t kOv2PerStoredUnit = 10;

// Appends the OV2 file of `cameras` to out: the whole of it, skipper tree and
// all. The same cameras in any order give the same bytes: each block is cut
// at the median of the longer side of its box, ties broken by the other
// coordinate and then the other fields. No cameras give an empty file.
// Throws TooLargeError for a file past the 2 GiB its lengths can count.
void appendOv2File(std::string& out, std::vector<CameraRecord> cameras, const NameTemplate& names);

}  // namespace tabrino
