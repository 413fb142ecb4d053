#include "core/export/ov2_file.h"

#include "core/base/errors.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace tabrino {
namespace {

void putInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((bits >> shift) & 0xFF);
}

void setInt32(std::string& out, std::size_t at, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

// Every field takes part, so that no two different cameras tie and the
// order, and with it the file, depends on the cameras alone.
auto byLongitude(const CameraRecord& c) {
  return std::tie(c.longitude, c.latitude, c.type, c.speed, c.directionType, c.directionCode);
}
auto byLatitude(const CameraRecord& c) {
  return std::tie(c.latitude, c.longitude, c.type, c.speed, c.directionType, c.directionCode);
}

class TreeWriter {
 public:
  TreeWriter(std::string& out, const NameTemplate& names) : out_(out), names_(names) {}

  void block(CameraRecord* first, CameraRecord* last) {
    std::int32_t west = std::numeric_limits<std::int32_t>::max(), east = std::numeric_limits<std::int32_t>::min();
    std::int32_t south = west, north = east;
    for (const CameraRecord* c = first; c != last; ++c) {
      west = std::min(west, c->longitude);
      east = std::max(east, c->longitude);
      south = std::min(south, c->latitude);
      north = std::max(north, c->latitude);
    }
    const std::size_t start = out_.size();
    out_ += static_cast<char>(kOv2Skipper);
    putInt32(out_, 0);  // the length, once the block is written
    putInt32(out_, east * kOv2PerStoredUnit);
    putInt32(out_, north * kOv2PerStoredUnit);
    putInt32(out_, west * kOv2PerStoredUnit);
    putInt32(out_, south * kOv2PerStoredUnit);
    const auto count = static_cast<std::size_t>(last - first);
    if (count <= kOv2LeafCameras) {
      std::sort(first, last, [](const CameraRecord& a, const CameraRecord& b) { return byLatitude(a) < byLatitude(b); });
      for (const CameraRecord* c = first; c != last; ++c) poi(*c);
    } else {
      // Longitude spans more degrees than latitude for the same distance
      // away from the equator; the cut is a balanced one all the same.
      const bool alongLongitude = std::int64_t{east} - west >= std::int64_t{north} - south;
      CameraRecord* middle = first + count / 2;
      if (alongLongitude) {
        std::nth_element(first, middle, last,
                         [](const CameraRecord& a, const CameraRecord& b) { return byLongitude(a) < byLongitude(b); });
      } else {
        std::nth_element(first, middle, last,
                         [](const CameraRecord& a, const CameraRecord& b) { return byLatitude(a) < byLatitude(b); });
      }
      block(first, middle);
      block(middle, last);
    }
    setInt32(out_, start + 1, length(out_.size() - start));
  }

 private:
  void poi(const CameraRecord& camera) {
    const std::size_t start = out_.size();
    out_ += static_cast<char>(kOv2Poi);
    putInt32(out_, 0);
    putInt32(out_, camera.longitude * kOv2PerStoredUnit);
    putInt32(out_, camera.latitude * kOv2PerStoredUnit);
    names_.appendName(out_, camera);
    out_ += '\0';
    setInt32(out_, start + 1, length(out_.size() - start));
  }

  static std::int32_t length(std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
      throw TooLargeError("an OV2 file holds at most 2 GiB; --max-per-file or --split-by cuts it into smaller files");
    }
    return static_cast<std::int32_t>(bytes);
  }

  std::string& out_;
  const NameTemplate& names_;
};

}  // namespace

void appendOv2File(std::string& out, std::vector<CameraRecord> cameras, const NameTemplate& names) {
  if (cameras.empty()) return;
  TreeWriter(out, names).block(cameras.data(), cameras.data() + cameras.size());
}

}  // namespace tabrino
