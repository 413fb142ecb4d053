// CSV with named columns (any order, separated by ',', ';' or a tab, quoted
// as RFC 4180 says) and the headerless POI CSV of many devices
// (lon,lat,"name"[,"comment"]). Records are read one at a time: a quoted
// cell may run over several lines, and only one record is held.
#include "core/formats/format_readers.h"

#include "core/list/list_findings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace tabrino {
namespace {

std::string_view trimmed(std::string_view text) noexcept { return trimmedCell(text); }

// Hands on each record (its line feed dropped) with the line it starts on.
// A line feed inside quotes belongs to its cell.
template <typename OnRecord>
std::uint64_t forEachRecord(ByteStream& in, OnRecord onRecord) {
  std::string record;
  bool quoted = false;
  std::uint64_t line = 1;        // the line being read
  std::uint64_t recordLine = 1;  // the line the record began on
  for (std::string_view bytes = in.next(); !bytes.empty(); bytes = in.next()) {
    for (const char c : bytes) {
      if (c == '"') quoted = !quoted;
      if (c == '\n') {
        ++line;
        if (!quoted) {
          onRecord(std::string_view(record), recordLine);
          record.clear();
          recordLine = line;
          continue;
        }
      }
      record += c;
    }
  }
  if (!trimmed(record).empty()) {
    onRecord(std::string_view(record), recordLine);
    return line;
  }
  return line - 1;
}

// A cell with a decimal comma, as spreadsheets write where ';' or a tab
// separates cells: the comma read as a point.
std::string_view decimalPoint(std::string& cell, char separator) {
  if (separator != ',') std::replace(cell.begin(), cell.end(), ',', '.');
  return cell;
}

// The columns a header names; unnamed ones are left alone.
struct Columns {
  std::size_t x = 0, y = 0;
  std::vector<CameraField> fields;
};

}  // namespace

void splitCsvRecord(std::string_view record, char separator, std::vector<std::string>& cells) {
  cells.clear();
  cells.emplace_back();
  std::size_t i = 0;
  bool cellStart = true;
  while (i < record.size()) {
    const char c = record[i];
    if (cellStart) {
      // Spaces before a quoted cell are dropped; before another, kept.
      std::size_t quote = i;
      while (quote < record.size() && record[quote] == ' ') ++quote;
      if (quote < record.size() && record[quote] == '"') {
        std::string& cell = cells.back();
        for (i = quote + 1; i < record.size(); ++i) {
          if (record[i] == '"') {
            if (i + 1 < record.size() && record[i + 1] == '"') {
              cell += '"';
              ++i;
            } else {
              break;
            }
          } else if (record[i] != '\r') {
            cell += record[i];
          }
        }
        ++i;  // past the closing quote; what follows up to the separator is dropped
        while (i < record.size() && record[i] != separator) ++i;
        cellStart = false;
        continue;
      }
      cellStart = false;
    }
    if (c == separator) {
      cells.emplace_back();
      cellStart = true;
    } else if (c != '\r') {
      cells.back() += c;
    }
    ++i;
  }
}

std::uint64_t readNamedCsv(ByteStream& in, CameraSink& sink) {
  std::optional<Columns> columns;
  char separator = ',';
  std::vector<std::string> cells;
  std::string x, y;
  return forEachRecord(in, [&](std::string_view record, std::uint64_t line) {
    if (trimmed(record).empty()) return;
    if (!columns) {
      std::size_t most = 0;
      for (const char candidate : {',', ';', '\t'}) {
        const auto count = static_cast<std::size_t>(std::count(record.begin(), record.end(), candidate));
        if (count > most) {
          most = count;
          separator = candidate;
        }
      }
      splitCsvRecord(record, separator, cells);
      Columns named;
      named.x = named.y = cells.size();
      for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string_view name = trimmed(cells[i]);
        if (named.x == cells.size() && isNamed(name, {"x", "lon", "lng", "long", "longitude"})) named.x = i;
        if (named.y == cells.size() && isNamed(name, {"y", "lat", "latitude"})) named.y = i;
        named.fields.push_back(cameraFieldNamed(name));
      }
      columns = std::move(named);
      return;
    }
    splitCsvRecord(record, separator, cells);
    CameraFields fields;
    x = columns->x < cells.size() ? cells[columns->x] : std::string();
    y = columns->y < cells.size() ? cells[columns->y] : std::string();
    fields.x = decimalPoint(x, separator);
    fields.y = decimalPoint(y, separator);
    for (std::size_t i = 0; i < cells.size() && i < columns->fields.size(); ++i) {
      if (i == columns->x || i == columns->y) continue;
      switch (columns->fields[i]) {
        case CameraField::Type: fields.type = cells[i]; break;
        case CameraField::Speed: fields.speed = cells[i]; break;
        case CameraField::DirType: fields.dirType = cells[i]; break;
        case CameraField::Direction: fields.direction = cells[i]; break;
        case CameraField::Name: fields.name = cells[i]; break;
        case CameraField::SpeedUnit: fields.speedUnit = cells[i]; break;
        case CameraField::None: break;
      }
    }
    sink.add(fields, line);
  });
}

std::uint64_t readPoiCsv(ByteStream& in, CameraSink& sink) {
  std::vector<std::string> cells;
  return forEachRecord(in, [&](std::string_view record, std::uint64_t line) {
    if (trimmed(record).empty()) return;
    splitCsvRecord(record, ',', cells);
    if (cells.size() < 2) {
      if (sink.listening()) sink.find(line, FindingKind::NoComma, noCommaFinding(0, trimmed(record)).detail);
      return;
    }
    CameraFields fields;
    fields.x = trimmed(cells[0]);
    fields.y = trimmed(cells[1]);
    if (cells.size() > 2) fields.name = cells[2];
    sink.add(fields, line);
  });
}

}  // namespace tabrino
