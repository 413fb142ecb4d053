#include "core/export/csv_export.h"

#include "core/model/coordinate_text.h"

namespace tabrino {

std::string csvQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    // A line end would end the row for readers that do not follow quotes.
    out += (c == '\n' || c == '\r') ? ' ' : c;
  }
  out += '"';
  return out;
}

namespace {

class PoiCsvWriter : public ExportWriter {
 public:
  PoiCsvWriter(const TextWriter& write, const NameTemplate& names) : ExportWriter(write), names_(names) {}

 protected:
  void header(std::string&, const std::string&) override {}
  void entry(std::string& out, std::uint64_t, const CameraRecord& record) override {
    out += exactCoordinateText(record.longitude) + "," + exactCoordinateText(record.latitude) + "," +
           csvQuoted(names_.name(record)) + "," + csvQuoted(cameraComment(record)) + "\n";
  }
  void footer(std::string&) override {}

 private:
  const NameTemplate& names_;
};

class CameraCsvWriter : public ExportWriter {
 public:
  CameraCsvWriter(const TextWriter& write, const NameTemplate& names) : ExportWriter(write), names_(names) {}

 protected:
  void header(std::string& out, const std::string&) override { out += kCameraCsvHeader; }
  void entry(std::string& out, std::uint64_t, const CameraRecord& record) override {
    const RecordTexts t = recordTexts(record);
    out += exactCoordinateText(record.longitude) + "," + exactCoordinateText(record.latitude) + "," + t.type + "," +
           t.speed + "," + t.dirType + "," + t.direction + "," + csvQuoted(names_.name(record)) + "\n";
  }
  void footer(std::string&) override {}

 private:
  const NameTemplate& names_;
};

}  // namespace

std::unique_ptr<ExportWriter> makePoiCsvWriter(const TextWriter& write, const NameTemplate& names) {
  return std::make_unique<PoiCsvWriter>(write, names);
}

std::unique_ptr<ExportWriter> makeCameraCsvWriter(const TextWriter& write, const NameTemplate& names) {
  return std::make_unique<CameraCsvWriter>(write, names);
}

}  // namespace tabrino
