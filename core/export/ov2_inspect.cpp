#include "core/export/ov2_inspect.h"

#include "core/export/ov2_file.h"
#include "core/model/camera_record.h"

#include <algorithm>

namespace tabrino {
namespace {

std::int32_t int32At(std::string_view bytes, std::size_t at) noexcept {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4; ++i) bits |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return static_cast<std::int32_t>(bits);
}

struct Box {
  std::int32_t east, north, west, south;
  bool holds(std::int32_t longitude, std::int32_t latitude) const noexcept {
    return longitude >= west && longitude <= east && latitude >= south && latitude <= north;
  }
};

class Walk {
 public:
  static constexpr std::size_t kMaxDepth = 100;

  Walk(std::string_view bytes, Ov2Inspection& report) : bytes_(bytes), report_(report) {}

  // The records in [at, end), under the boxes of `boxes`; returns the POIs
  // among them.
  std::uint64_t records(std::size_t at, std::size_t end, std::vector<Box>& boxes, bool& leaf) {
    std::uint64_t pois = 0;
    while (at < end) {
      const auto type = static_cast<unsigned char>(bytes_[at]);
      if (type > kOv2ExtendedPoi) {
        problem(at, "record of unknown type " + std::to_string(type) + "; the rest of the file cannot be read");
        return pois;
      }
      const std::size_t least = type == kOv2Skipper ? kOv2SkipperSize : kOv2PoiFixedSize + 1;
      if (end - at < 5) {
        problem(at, "record cut off by the end of its " + std::string(end == bytes_.size() ? "file" : "block"));
        return pois;
      }
      const std::int32_t length = int32At(bytes_, at + 1);
      if (length < 0 || static_cast<std::size_t>(length) < least) {
        problem(at, "record length " + std::to_string(length) + " is below the least, " + std::to_string(least) +
                        "; the rest of the file cannot be read");
        return pois;
      }
      const auto size = static_cast<std::size_t>(length);
      if (size > end - at) {
        problem(at, std::string(type == kOv2Skipper ? "skipper block" : "record") + " of " + std::to_string(size) +
                        " bytes runs past the end of its " + (end == bytes_.size() ? "file" : "block") + " by " +
                        std::to_string(size - (end - at)) + " bytes");
        return pois;
      }
      if (type == kOv2Skipper) {
        leaf = false;
        pois += skipper(at, size, boxes);
      } else {
        pois += poi(at, size, type, boxes);
      }
      at += size;
    }
    return pois;
  }

 private:
  std::uint64_t skipper(std::size_t at, std::size_t size, std::vector<Box>& boxes) {
    ++report_.skippers;
    const Box box{int32At(bytes_, at + 5), int32At(bytes_, at + 9), int32At(bytes_, at + 13), int32At(bytes_, at + 17)};
    if (box.west > box.east || box.south > box.north) {
      problem(at, "skipper box has west " + std::to_string(box.west) + " above east " + std::to_string(box.east) +
                      " or south " + std::to_string(box.south) + " above north " + std::to_string(box.north));
    }
    if (boxes.size() >= kMaxDepth) {
      // A walk this deep would be a chain of skippers made to exhaust the stack.
      problem(at, "skippers nested deeper than " + std::to_string(kMaxDepth) + "; the block is not read");
      return 0;
    }
    boxes.push_back(box);
    report_.depth = std::max(report_.depth, boxes.size());
    bool leaf = true;
    const std::uint64_t pois = records(at + kOv2SkipperSize, at + size, boxes, leaf);
    boxes.pop_back();
    if (leaf) report_.largestLeaf = std::max(report_.largestLeaf, pois);
    return pois;
  }

  std::uint64_t poi(std::size_t at, std::size_t size, unsigned char type, const std::vector<Box>& boxes) {
    if (type == kOv2Deleted) {
      ++report_.deleted;
      return 0;
    }
    ++(type == kOv2Poi ? report_.pois : report_.extendedPois);
    const std::int32_t longitude = int32At(bytes_, at + 5), latitude = int32At(bytes_, at + 9);
    if (bytes_[at + size - 1] != '\0') problem(at, "POI name does not end with a zero byte inside its record");
    if (!inBounds(latitude / kOv2PerStoredUnit, longitude / kOv2PerStoredUnit)) {
      problem(at, "POI at " + std::to_string(longitude) + "," + std::to_string(latitude) + " is off the earth");
    }
    for (std::size_t level = boxes.size(); level-- > 0;) {
      if (!boxes[level].holds(longitude, latitude)) {
        problem(at, "POI at " + std::to_string(longitude) + "," + std::to_string(latitude) +
                        " lies outside the box of a skipper above it");
        break;
      }
    }
    return 1;
  }

  void problem(std::size_t at, std::string text) {
    if (report_.problems.size() < kMaxListedOv2Problems) {
      report_.problems.push_back({at, std::move(text)});
    } else {
      ++report_.unlistedProblems;
    }
  }

  std::string_view bytes_;
  Ov2Inspection& report_;
};

}  // namespace

Ov2Inspection inspectOv2(std::string_view bytes) {
  Ov2Inspection report;
  report.fileSize = bytes.size();
  std::vector<Box> boxes;
  bool leaf = true;
  Walk(bytes, report).records(0, bytes.size(), boxes, leaf);
  std::sort(report.problems.begin(), report.problems.end(),
            [](const Ov2Problem& a, const Ov2Problem& b) { return a.offset < b.offset; });
  return report;
}

bool startsLikeOv2(std::string_view head) noexcept {
  if (head.size() < 5) return false;
  const auto type = static_cast<unsigned char>(head[0]);
  if (type > kOv2ExtendedPoi) return false;
  const std::int32_t length = int32At(head, 1);
  const std::size_t least = type == kOv2Skipper ? kOv2SkipperSize : kOv2PoiFixedSize + 1;
  return length >= 0 && static_cast<std::size_t>(length) >= least;
}

}  // namespace tabrino
