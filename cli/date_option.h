// The date written into a database: --date, else SOURCE_DATE_EPOCH (so that
// builds of device images are reproducible), else today in UTC.
#pragma once

#include "core/model/calendar_date.h"

#include <optional>
#include <string>
#include <string_view>

namespace tabrino::cli {

struct ResolvedDate {
  std::optional<DbDate> date;
  std::string problem;  // why there is no date
};

std::optional<DbDate> parseIsoDate(std::string_view text);
ResolvedDate resolveDate(const std::string& dateOption);

}  // namespace tabrino::cli
