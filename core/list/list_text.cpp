#include "core/list/list_text.h"

#include "core/list/camera_table.h"

namespace tabrino {

std::string listHeaderLine() {
  std::string line;
  for (std::string_view title : kColumnTitles) {
    if (!line.empty()) line += ',';
    line += title;
  }
  return line + '\n';
}

std::string listLine(std::uint64_t idx, const CameraRecord& record) {
  return std::to_string(idx) + ',' + recordFieldsText(record) + '\n';
}

}  // namespace tabrino
