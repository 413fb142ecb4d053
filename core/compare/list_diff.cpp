#include "core/compare/list_diff.h"

#include "core/base/prefetch.h"
#include "core/database/record_reader.h"
#include "core/platform/file_io.h"

#include <algorithm>
#include <array>
#include <numeric>

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

namespace {

void addRemoved(CameraDiff& diff, std::size_t i) {
  diff.differences.push_back({CameraChange::Removed, static_cast<std::uint32_t>(i), 0});
  ++diff.removed;
}
void addAdded(CameraDiff& diff, std::size_t j) {
  diff.differences.push_back({CameraChange::Added, 0, static_cast<std::uint32_t>(j)});
  ++diff.added;
}
void addChanged(CameraDiff& diff, std::size_t i, std::size_t j) {
  diff.differences.push_back({CameraChange::Changed, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
  ++diff.changed;
}

// Puts cameras [from, to) of `set` in `group`, ordered by TYPE and SPEED,
// then as in the set's file. (Inline: a diff calls it for each place that has
// several cameras, hundreds of thousands of times in large lists.)
inline void gatherByAgreement(std::vector<std::size_t>& group, const CameraSet& set, std::size_t from, std::size_t to) {
  const std::vector<CameraSet::Entry>& c = set.cameras();
  group.resize(to - from);
  std::iota(group.begin(), group.end(), from);
  std::sort(group.begin(), group.end(), [&](std::size_t x, std::size_t y) {
    return typeAndSpeed(c[x]) != typeAndSpeed(c[y]) ? typeAndSpeed(c[x]) < typeAndSpeed(c[y])
                                                    : set.fileOrder(x) < set.fileOrder(y);
  });
}

void sortInFileOrder(std::vector<std::size_t>& cameras, const CameraSet& set) {
  std::sort(cameras.begin(), cameras.end(),
            [&](std::size_t x, std::size_t y) { return set.fileOrder(x) < set.fileOrder(y); });
}

// Matches the cameras of one place and direction where a side has more than
// one: those that agree in TYPE and SPEED match first, each side in file
// order, then the rest pair up in file order. Its lists are reused group
// after group.
class GroupMatcher {
 public:
  GroupMatcher(const CameraSet& before, const CameraSet& after, CameraDiff& diff)
      : before_(before), after_(after), diff_(diff) {}

  // Cameras [i, endA) of the old set and [j, endB) of the new.
  void match(std::size_t i, std::size_t endA, std::size_t j, std::size_t endB) {
    gatherByAgreement(groupA_, before_, i, endA);
    gatherByAgreement(groupB_, after_, j, endB);
    matchAgreeing();
    pairTheRest();
  }

 private:
  // Counts the cameras that agree as unchanged, leaving the rest in leftA_
  // and leftB_.
  void matchAgreeing() {
    const std::vector<CameraSet::Entry>& a = before_.cameras();
    const std::vector<CameraSet::Entry>& b = after_.cameras();
    leftA_.clear();
    leftB_.clear();
    for (std::size_t x = 0, y = 0; x < groupA_.size() || y < groupB_.size();) {
      if (y == groupB_.size() || (x < groupA_.size() && typeAndSpeed(a[groupA_[x]]) < typeAndSpeed(b[groupB_[y]]))) {
        leftA_.push_back(groupA_[x++]);
      } else if (x == groupA_.size() || typeAndSpeed(b[groupB_[y]]) < typeAndSpeed(a[groupA_[x]])) {
        leftB_.push_back(groupB_[y++]);
      } else {
        ++diff_.unchanged;
        ++x, ++y;
      }
    }
  }

  // Pairs the cameras left as changed, in file order; the longer side's
  // last are removed or added.
  void pairTheRest() {
    sortInFileOrder(leftA_, before_);
    sortInFileOrder(leftB_, after_);
    const std::size_t paired = std::min(leftA_.size(), leftB_.size());
    for (std::size_t k = 0; k < paired; ++k) addChanged(diff_, leftA_[k], leftB_[k]);
    for (std::size_t k = paired; k < leftA_.size(); ++k) addRemoved(diff_, leftA_[k]);
    for (std::size_t k = paired; k < leftB_.size(); ++k) addAdded(diff_, leftB_[k]);
  }

  const CameraSet& before_;
  const CameraSet& after_;
  CameraDiff& diff_;
  std::vector<std::size_t> groupA_, groupB_, leftA_, leftB_;
};

// Puts the differences in the order CameraDiff promises.
void sortDifferences(CameraDiff& diff, const CameraSet& before, const CameraSet& after) {
  auto fileOrderOf = [&](const CameraDifference& d) {
    return d.change == CameraChange::Removed ? before.fileOrder(d.before) : after.fileOrder(d.after);
  };
  std::sort(diff.differences.begin(), diff.differences.end(),
            [&](const CameraDifference& x, const CameraDifference& y) {
              if (x.change != y.change) return x.change < y.change;
              return fileOrderOf(x) < fileOrderOf(y);
            });
}

}  // namespace

// Walks both sets, in the order of place and direction, side by side.
CameraDiff diffCameras(const CameraSet& before, const CameraSet& after) {
  CameraDiff diff;
  const std::vector<CameraSet::Entry>& a = before.cameras();
  const std::vector<CameraSet::Entry>& b = after.cameras();
  GroupMatcher groups(before, after, diff);
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && beforeCamera(a[i], b[j]))) {
      addRemoved(diff, i++);
      continue;
    }
    if (i == a.size() || beforeCamera(b[j], a[i])) {
      addAdded(diff, j++);
      continue;
    }
    // One place and direction on both sides.
    std::size_t endA = i, endB = j;
    while (endA < a.size() && sameCamera(a[endA], a[i])) ++endA;
    while (endB < b.size() && sameCamera(b[endB], b[j])) ++endB;
    if (endA - i == 1 && endB - j == 1) {  // the usual case
      if (typeAndSpeed(a[i]) == typeAndSpeed(b[j])) {
        ++diff.unchanged;
      } else {
        addChanged(diff, i, j);
      }
    } else {
      groups.match(i, endA, j, endB);
    }
    i = endA, j = endB;
  }
  sortDifferences(diff, before, after);
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
