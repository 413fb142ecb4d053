#include "core/formats/camera_formats.h"

#include "core/base/c_numbers.h"
#include "core/formats/format_readers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tabrino {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kReadBlock = std::size_t{1} << 20;

bool startsWith(std::string_view text, std::string_view start) noexcept {
  return text.substr(0, start.size()) == start;
}

std::string_view trimmed(std::string_view text) noexcept { return trimmedCell(text); }

// The list reader's header test on its first row (the first line with a
// comma): its second field, carriage returns dropped and cut at a zero
// byte, is exactly "X".
bool passesListHeader(std::string_view head) noexcept {
  while (!head.empty()) {
    const std::size_t end = std::min(head.find('\n'), head.size());
    const std::string_view line = head.substr(0, end);
    const std::size_t comma = line.find(',');
    if (comma != std::string_view::npos) {
      std::string second;
      for (const char c : line.substr(comma + 1, line.find(',', comma + 1) - comma - 1)) {
        if (c == '\0') break;
        if (c != '\r') second += c;
      }
      return second == "X";
    }
    head.remove_prefix(std::min(end + 1, head.size()));
  }
  return false;
}

// An OV2 begins with a record of type 0 to 3 whose length fits its type (a
// skipper's counts the block it heads, 21 bytes or more).
bool startsLikeOv2(std::string_view head) noexcept {
  if (head.size() < 5 || static_cast<unsigned char>(head[0]) > 3) return false;
  std::uint32_t length = 0;
  for (int i = 4; i >= 1; --i) length = length << 8 | static_cast<unsigned char>(head[static_cast<std::size_t>(i)]);
  switch (head[0]) {
    case 0: return length >= 5;
    case 1: return length >= 21;
    default: return length >= 14;
  }
}

// The local name of the document's root element, past the prolog,
// comments and a doctype; empty when the head ends first.
std::string_view xmlRootName(std::string_view text) noexcept {
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at)) {
    const std::string_view rest = text.substr(at + 1);
    if (startsWith(rest, "!--")) {
      at = text.find("-->", at);
      continue;
    }
    if (rest.empty() || rest.front() == '?' || rest.front() == '!') {
      at = text.find('>', at);
      continue;
    }
    const std::size_t end = rest.find_first_of(" \t\r\n/>");
    if (end == std::string_view::npos) return {};
    std::string_view name = rest.substr(0, end);
    if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);
    return name;
  }
  return {};
}

bool isNumberCell(std::string_view cell) noexcept {
  cell = trimmed(cell);
  return !cell.empty() && parseCDouble(cell).length == cell.size();
}

std::optional<CameraFormat> textFormat(std::string_view text) {
  // The first line that is not blank.
  std::string_view line;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    line = trimmed(text.substr(0, end));
    if (!line.empty()) break;
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  if (line.empty()) return std::nullopt;
  // The separator the header uses most: ',', ';' or a tab.
  char separator = ',';
  std::size_t most = 0;
  for (const char candidate : {',', ';', '\t'}) {
    const auto count = static_cast<std::size_t>(std::count(line.begin(), line.end(), candidate));
    if (count > most) {
      most = count;
      separator = candidate;
    }
  }
  if (most == 0) return std::nullopt;
  std::vector<std::string> cells;
  splitCsvRecord(line, separator, cells);
  // Our list's header miswritten (another case, another separator) is a
  // list whose header fails: its messages say how to mend it.
  if (cells.size() >= 3 && isNamed(trimmed(cells[0]), {"idx"}) && isNamed(trimmed(cells[1]), {"x"}) &&
      isNamed(trimmed(cells[2]), {"y"})) {
    return std::nullopt;
  }
  bool longitude = false, latitude = false;
  for (const std::string& cell : cells) {
    longitude = longitude || isNamed(trimmed(cell), {"x", "lon", "lng", "long", "longitude"});
    latitude = latitude || isNamed(trimmed(cell), {"y", "lat", "latitude"});
  }
  if (longitude && latitude) return CameraFormat::NamedCsv;
  // lon,lat,"name"[,"comment"]: two numbers, then a name that is not one.
  if (separator == ',' && (cells.size() == 3 || cells.size() == 4) && isNumberCell(cells[0]) &&
      isNumberCell(cells[1]) && !isNumberCell(cells[2])) {
    return CameraFormat::PoiCsv;
  }
  return std::nullopt;
}

bool hasExtension(const std::filesystem::path& name, std::string_view extension) {
  return isNamed(name.extension().u8string(), {extension});
}

}  // namespace

const char* cameraFormatName(CameraFormat format) noexcept {
  switch (format) {
    case CameraFormat::Gpx: return "GPX";
    case CameraFormat::Kml: return "KML";
    case CameraFormat::Kmz: return "KMZ";
    case CameraFormat::GeoJson: return "GeoJSON";
    case CameraFormat::NamedCsv: return "CSV";
    case CameraFormat::PoiCsv: return "POI CSV";
    case CameraFormat::Ov2: return "OV2";
  }
  return "";
}

bool needsLongerHead(std::string_view head) noexcept { return !passesListHeader(head); }

std::optional<CameraFormat> cameraFormatOf(std::string_view head, const std::filesystem::path& name) {
  if (startsWith(head, "PK\x03\x04")) return CameraFormat::Kmz;
  if (startsLikeOv2(head)) return CameraFormat::Ov2;
  if (passesListHeader(head)) return std::nullopt;
  if (startsWith(head, kByteOrderMark)) head.remove_prefix(kByteOrderMark.size());
  const std::size_t first = head.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return std::nullopt;
  switch (head[first]) {
    case '\x1e':
    case '{': return CameraFormat::GeoJson;
    case '<': {
      const std::string_view root = xmlRootName(head.substr(first));
      if (root == "gpx") return CameraFormat::Gpx;
      if (root == "kml") return CameraFormat::Kml;
      if (!root.empty()) return std::nullopt;
      // A prolog longer than the head: the name tells.
      if (hasExtension(name, ".gpx")) return CameraFormat::Gpx;
      if (hasExtension(name, ".kml")) return CameraFormat::Kml;
      return std::nullopt;
    }
    default: return textFormat(head.substr(first));
  }
}

ByteStream::ByteStream(const CameraFileInput& input, CameraFormat format, const ProgressCallback& progress)
    : input_(input), format_(format), progress_(progress) {}

void ByteStream::fail(const std::string& reason) const { throw CameraFileError(input_.shownName, format_, reason); }

std::string_view ByteStream::next() {
  std::string_view bytes;
  if (!headGiven_) {
    headGiven_ = true;
    bytes = input_.alreadyRead;
  }
  if (bytes.empty() && input_.file) {
    buffer_.resize(kReadBlock);
    const std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), input_.file);
    if (got == 0 && std::ferror(input_.file)) {
      throw CameraFileError(input_.shownName, format_, std::error_code(errno ? errno : EIO, std::generic_category()));
    }
    bytes = std::string_view(buffer_.data(), got);
  }
  done_ += bytes.size();
  if (progress_ && !bytes.empty()) progress_(done_, std::max(done_, input_.size));
  return bytes;
}

std::string ByteStream::rest() {
  std::string all;
  for (std::string_view bytes = next(); !bytes.empty(); bytes = next()) all.append(bytes);
  return all;
}

CameraFileRead readCameraFile(CameraFormat format, const CameraFileInput& input, CameraTable& table,
                              const CameraFileOptions& options) {
  CameraSink::Setup setup;
  setup.table = &table;
  setup.findings = options.findings;
  setup.defaults = options.defaults;
  setup.fileSpeed = speedInFileName(input.path);
  setup.firstLine = options.firstLine;
  setup.keepText = options.keepText;
  setup.severalInputs = options.severalInputs;
  CameraSink sink(setup);
  ByteStream in(input, format, options.progress);
  CameraFileRead read;
  switch (format) {
    case CameraFormat::Gpx: read.lines = readGpx(in, sink); break;
    case CameraFormat::Kml: read.lines = readKml(in, sink); break;
    case CameraFormat::Kmz: read.lines = readKmz(in, sink); break;
    case CameraFormat::GeoJson: read.lines = readGeoJson(in, sink); break;
    case CameraFormat::NamedCsv: read.lines = readNamedCsv(in, sink); break;
    case CameraFormat::PoiCsv: read.lines = readPoiCsv(in, sink); break;
    case CameraFormat::Ov2: read.lines = readOv2(in, sink); break;
  }
  read.cameras = sink.cameras();
  if (options.keepText) read.text = sink.takeText();
  return read;
}

}  // namespace tabrino
