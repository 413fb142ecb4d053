// A .kmz: a zip archive holding one KML file, inflated with zlib and read as
// KML. An archive of several files (a KML with its pictures) is refused
// with a message that says so, rather than guessing which to read.
#include "core/formats/format_readers.h"

#include <zlib.h>

#include <algorithm>
#include <string>

namespace tabrino {
namespace {

std::uint32_t little(const std::string& bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalEntry = 0x04034b50;

std::string inflated(ByteStream& in, const std::string& bytes, std::size_t at, std::size_t size, std::size_t whole) {
  std::string out(whole, '\0');
  z_stream zip{};
  if (inflateInit2(&zip, -MAX_WBITS) != Z_OK) in.fail("zlib could not start");
  zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at));
  zip.avail_in = static_cast<uInt>(size);
  zip.next_out = reinterpret_cast<Bytef*>(out.data());
  zip.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&zip, Z_FINISH);
  inflateEnd(&zip);
  if (status != Z_STREAM_END || zip.total_out != whole) in.fail("its KML entry is damaged");
  return out;
}

}  // namespace

std::uint64_t readKmz(ByteStream& in, CameraSink& sink) {
  const std::string bytes = in.rest();
  // The end-of-directory record lies in the last 22 bytes, or before a comment.
  std::size_t end = std::string::npos;
  for (std::size_t at = bytes.size() >= 22 ? bytes.size() - 22 : std::string::npos;
       at != std::string::npos && bytes.size() - at <= 22 + 0xFFFF; --at) {
    if (little(bytes, at, 4) == kEndOfDirectory) {
      end = at;
      break;
    }
    if (at == 0) break;
  }
  if (end == std::string::npos) in.fail("not a complete zip archive");
  const std::uint32_t entries = little(bytes, end + 10, 2);
  const std::size_t directory = little(bytes, end + 16, 4);
  if (entries != 1) {
    in.fail("it holds " + std::to_string(entries) + " files; a .kmz is read when it holds one KML file");
  }
  if (directory + 46 > bytes.size() || little(bytes, directory, 4) != kDirectoryEntry) in.fail("a damaged zip directory");
  const std::uint32_t method = little(bytes, directory + 10, 2);
  const std::size_t packed = little(bytes, directory + 20, 4);
  const std::size_t whole = little(bytes, directory + 24, 4);
  const std::size_t nameLength = little(bytes, directory + 28, 2);
  const std::size_t local = little(bytes, directory + 42, 4);
  if (directory + 46 + nameLength > bytes.size()) in.fail("a damaged zip directory");
  std::string name = bytes.substr(directory + 46, nameLength);
  std::transform(name.begin(), name.end(), name.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".kml") != 0) {
    in.fail("its one file, " + bytes.substr(directory + 46, nameLength) + ", is not KML");
  }
  if (local + 30 > bytes.size() || little(bytes, local, 4) != kLocalEntry) in.fail("a damaged zip entry");
  const std::size_t data = local + 30 + little(bytes, local + 26, 2) + little(bytes, local + 28, 2);
  if (data > bytes.size() || packed > bytes.size() - data) in.fail("its KML entry is cut short");
  std::string kml;
  if (method == 0) {
    kml = bytes.substr(data, packed);
  } else if (method == 8) {
    kml = inflated(in, bytes, data, packed, whole);
  } else {
    in.fail("its KML entry is packed in a way zip readers rarely use (method " + std::to_string(method) + ")");
  }
  CameraFileInput inner;
  inner.alreadyRead = kml;
  inner.shownName = in.name();
  ByteStream kmlStream(inner, CameraFormat::Kmz, {});
  return readKml(kmlStream, sink);
}

}  // namespace tabrino
