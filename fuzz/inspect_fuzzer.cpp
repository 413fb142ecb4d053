// libFuzzer target: inspecting and dumping any bytes at all must neither
// crash nor read outside them, and a file called sound must be exactly what
// the encoder makes of its records.
#include "core/platform/byte_source.h"
#include "core/database/db_inspect.h"
#include "core/export/geo_export.h"
#include "tests/database_oracle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tabrino;
  static std::FILE* const sink = std::fopen("/dev/null", "wb");
  const std::vector<std::uint8_t> image(data, data + size);
  MemorySource source(image);
  const DatabaseInspection report = inspectDatabase(source);
  if (sink && report.magicFound) {
    AtomicFileWriter out(sink, "/dev/null");
    exportRecords(source, report.recordCount, ExportFormat::List, "fuzz", [&](const std::string& text) { out.write(text); });
    out.commit();
  }

  if (report.sound()) {
    std::vector<CameraRecord> records;
    for (std::size_t i = 0; i < report.recordCount; ++i) records.push_back(decodeRecord(data + 32 + 12 * i));
    RandomBlock block{};
    std::copy(data + 16, data + 32, block.begin());
    if (encodeDatabase(report.date, block, records) != image) std::abort();
  }
  return 0;
}
