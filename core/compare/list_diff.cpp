#include "core/compare/list_diff.h"

#include "core/base/prefetch.h"
#include "core/database/record_reader.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <array>

namespace tabrino {
namespace {

std::uint64_t biased(std::int32_t value) noexcept { return static_cast<std::uint32_t>(value) ^ 0x80000000u; }
std::int32_t unbiased(std::uint64_t bits) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits) ^ 0x80000000u);
}

CameraSet::Entry entryOf(const CameraRecord& record, std::uint32_t origin) noexcept {
  return {biased(record.latitude) << 32 | biased(record.longitude),
          std::uint64_t{record.directionType} << 56 | std::uint64_t{record.directionCode} << 48 |
              std::uint64_t{record.type} << 40 | std::uint64_t{record.speed} << 32 | origin};
}

bool entryOrder(const CameraSet::Entry& a, const CameraSet::Entry& b) noexcept {
  return a.place != b.place ? a.place < b.place : a.rest < b.rest;
}

// Place and direction: what matches two cameras.
bool sameCamera(const CameraSet::Entry& a, const CameraSet::Entry& b) noexcept {
  return a.place == b.place && a.rest >> 48 == b.rest >> 48;
}
bool beforeCamera(const CameraSet::Entry& a, const CameraSet::Entry& b) noexcept {
  return a.place != b.place ? a.place < b.place : a.rest >> 48 < b.rest >> 48;
}
std::uint64_t typeAndSpeed(const CameraSet::Entry& e) noexcept { return e.rest >> 32 & 0xFFFF; }
std::uint32_t origin(const CameraSet::Entry& e) noexcept { return static_cast<std::uint32_t>(e.rest); }

}  // namespace

bool startsLikeDatabase(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  UniqueFile file = openFile(path, "rb");
  std::array<std::uint8_t, kMagic.size()> start{};
  return file && startsWithMagic(start.data(), std::fread(start.data(), 1, start.size(), file.get()));
}

CameraRecord CameraSet::record(std::size_t camera) const noexcept {
  const Entry& e = cameras_[camera];
  return {unbiased(e.place >> 32),
          unbiased(e.place),
          static_cast<std::uint8_t>(e.rest >> 40),
          static_cast<std::uint8_t>(e.rest >> 32),
          static_cast<std::uint8_t>(e.rest >> 56),
          static_cast<std::uint8_t>(e.rest >> 48)};
}

std::uint64_t CameraSet::number(std::size_t camera) const noexcept {
  const std::uint32_t at = origin(cameras_[camera]);
  return fromDatabase_ ? std::uint64_t{at} + 1 : table_.tag(at) + 1;
}

std::uint64_t CameraSet::fileOrder(std::size_t camera) const noexcept {
  const std::uint32_t at = origin(cameras_[camera]);
  return fromDatabase_ ? at : table_.fileIndex(at);
}

ImportResult CameraSet::loadList(const std::filesystem::path& path, const ProgressCallback& progress) {
  const ListImport import = [&](CameraTable& table, const ImportOptions& options) {
    return importCameraList(path, table, options);
  };
  return loadList(import, progress);
}

ImportResult CameraSet::loadList(const ListStream& in, const ProgressCallback& progress) {
  const ListImport import = [&](CameraTable& table, const ImportOptions& options) {
    return importCameraStream(in, table, options);
  };
  return loadList(import, progress);
}

ImportResult CameraSet::loadList(const ListImport& import, const ProgressCallback& progress) {
  fromDatabase_ = false;
  cameras_.clear();
  ImportOptions options;
  options.progress = progress;
  const ImportResult result = import(table_, options);
  if (!result.loaded()) return result;
  // The table's own sort is the fast part of the order: what is left is to
  // order the rows of each latitude.
  table_.sortByLatitude();
  cameras_.reserve(static_cast<std::size_t>(table_.recordCount()));
  const std::size_t rows = table_.size();
  for (std::size_t position = 0; position < rows; ++position) {
    // Rows read in sorted order lie scattered in memory: ask for them ahead.
    if (position + kPrefetchDistance < rows) table_.prefetch(position + kPrefetchDistance);
    if (const auto record = table_.record(position)) {
      cameras_.push_back(entryOf(*record, static_cast<std::uint32_t>(position)));
    }
  }
  order();
  return result;
}

DatabaseInspection CameraSet::loadDatabase(ByteSource& source, const ProgressCallback& progress) {
  fromDatabase_ = true;
  table_.clear();
  cameras_.clear();
  DatabaseInspection inspection = inspectDatabase(source, progress);
  cameras_.reserve(static_cast<std::size_t>(recordsInSource(source, inspection.recordCount)));
  std::uint32_t index = 0;
  forEachRecord(source, inspection.recordCount,
                [&](const CameraRecord& record) { cameras_.push_back(entryOf(record, index++)); });
  order();
  return inspection;
}

void CameraSet::order() {
  // Databases and sorted lists come in latitude order already; only a
  // damaged file needs the whole sort.
  const bool byLatitude = std::is_sorted(cameras_.begin(), cameras_.end(), [](const Entry& a, const Entry& b) {
    return a.place >> 32 < b.place >> 32;
  });
  if (!byLatitude) {
    std::sort(cameras_.begin(), cameras_.end(), entryOrder);
    return;
  }
  for (auto run = cameras_.begin(); run != cameras_.end();) {
    auto end = run + 1;
    while (end != cameras_.end() && end->place >> 32 == run->place >> 32) ++end;
    if (end - run > 1) std::sort(run, end, entryOrder);
    run = end;
  }
}

CameraDiff diffCameras(const CameraSet& before, const CameraSet& after) {
  CameraDiff diff;
  const std::vector<CameraSet::Entry>& a = before.cameras();
  const std::vector<CameraSet::Entry>& b = after.cameras();
  auto removed = [&](std::size_t i) {
    diff.differences.push_back({CameraChange::Removed, static_cast<std::uint32_t>(i), 0});
    ++diff.removed;
  };
  auto added = [&](std::size_t j) {
    diff.differences.push_back({CameraChange::Added, 0, static_cast<std::uint32_t>(j)});
    ++diff.added;
  };
  std::vector<std::size_t> groupA, groupB, leftA, leftB;
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && beforeCamera(a[i], b[j]))) {
      removed(i++);
      continue;
    }
    if (i == a.size() || beforeCamera(b[j], a[i])) {
      added(j++);
      continue;
    }
    // One place and direction on both sides: rows that agree in TYPE and
    // SPEED match first, each side in file order, then the rest pair up in
    // file order.
    std::size_t endA = i, endB = j;
    while (endA < a.size() && sameCamera(a[endA], a[i])) ++endA;
    while (endB < b.size() && sameCamera(b[endB], b[j])) ++endB;
    if (endA - i == 1 && endB - j == 1) {  // the usual case
      if (typeAndSpeed(a[i]) == typeAndSpeed(b[j])) {
        ++diff.unchanged;
      } else {
        diff.differences.push_back({CameraChange::Changed, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
        ++diff.changed;
      }
      ++i, ++j;
      continue;
    }
    groupA.clear();
    groupB.clear();
    for (; i < endA; ++i) groupA.push_back(i);
    for (; j < endB; ++j) groupB.push_back(j);
    auto byAgreementA = [&](std::size_t x, std::size_t y) {
      return typeAndSpeed(a[x]) != typeAndSpeed(a[y]) ? typeAndSpeed(a[x]) < typeAndSpeed(a[y])
                                                      : before.fileOrder(x) < before.fileOrder(y);
    };
    auto byAgreementB = [&](std::size_t x, std::size_t y) {
      return typeAndSpeed(b[x]) != typeAndSpeed(b[y]) ? typeAndSpeed(b[x]) < typeAndSpeed(b[y])
                                                      : after.fileOrder(x) < after.fileOrder(y);
    };
    std::sort(groupA.begin(), groupA.end(), byAgreementA);
    std::sort(groupB.begin(), groupB.end(), byAgreementB);
    leftA.clear();
    leftB.clear();
    for (std::size_t x = 0, y = 0; x < groupA.size() || y < groupB.size();) {
      if (y == groupB.size() || (x < groupA.size() && typeAndSpeed(a[groupA[x]]) < typeAndSpeed(b[groupB[y]]))) {
        leftA.push_back(groupA[x++]);
      } else if (x == groupA.size() || typeAndSpeed(b[groupB[y]]) < typeAndSpeed(a[groupA[x]])) {
        leftB.push_back(groupB[y++]);
      } else {
        ++diff.unchanged;
        ++x, ++y;
      }
    }
    auto byFileA = [&](std::size_t x, std::size_t y) { return before.fileOrder(x) < before.fileOrder(y); };
    auto byFileB = [&](std::size_t x, std::size_t y) { return after.fileOrder(x) < after.fileOrder(y); };
    std::sort(leftA.begin(), leftA.end(), byFileA);
    std::sort(leftB.begin(), leftB.end(), byFileB);
    const std::size_t paired = std::min(leftA.size(), leftB.size());
    for (std::size_t k = 0; k < paired; ++k) {
      diff.differences.push_back(
          {CameraChange::Changed, static_cast<std::uint32_t>(leftA[k]), static_cast<std::uint32_t>(leftB[k])});
      ++diff.changed;
    }
    for (std::size_t k = paired; k < leftA.size(); ++k) removed(leftA[k]);
    for (std::size_t k = paired; k < leftB.size(); ++k) added(leftB[k]);
  }
  auto fileOrderOf = [&](const CameraDifference& d) {
    return d.change == CameraChange::Removed ? before.fileOrder(d.before) : after.fileOrder(d.after);
  };
  std::sort(diff.differences.begin(), diff.differences.end(),
            [&](const CameraDifference& x, const CameraDifference& y) {
              if (x.change != y.change) return x.change < y.change;
              return fileOrderOf(x) < fileOrderOf(y);
            });
  return diff;
}

const char* cameraChangeName(CameraChange change) noexcept {
  switch (change) {
    case CameraChange::Added: return "added";
    case CameraChange::Removed: return "removed";
    case CameraChange::Changed: return "changed";
  }
  return "";
}

std::string diffReportHeader(const CameraSet& before, const CameraSet& after) {
  return std::string("change,old ") + (before.fromDatabase() ? "record" : "line") + ",new " +
         (after.fromDatabase() ? "record" : "line") + ",X,Y,TYPE,SPEED,DIRTYPE,DIRECTION,old TYPE,old SPEED\n";
}

std::string diffReportLine(const CameraSet& before, const CameraSet& after, const CameraDifference& difference) {
  const bool hasBefore = difference.change != CameraChange::Added;
  const bool hasAfter = difference.change != CameraChange::Removed;
  std::string line = cameraChangeName(difference.change);
  line += "," + (hasBefore ? std::to_string(before.number(difference.before)) : std::string());
  line += "," + (hasAfter ? std::to_string(after.number(difference.after)) : std::string());
  line += "," + recordFieldsText(hasAfter ? after.record(difference.after) : before.record(difference.before));
  if (difference.change == CameraChange::Changed) {
    const CameraRecord old = before.record(difference.before);
    line += "," + std::to_string(old.type) + "," + std::to_string(old.speed);
  } else {
    line += ",,";
  }
  return line + "\n";
}

}  // namespace tabrino
