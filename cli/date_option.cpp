#include "cli/date_option.h"

#include "core/model/calendar_date.h"

#include <charconv>
#include <cstdlib>

namespace tabrino::cli {
namespace {

bool readNumber(std::string_view text, int& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace

std::optional<DbDate> parseIsoDate(std::string_view text) {
  int year = 0, month = 0, day = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  if (!readNumber(text.substr(0, 4), year) || !readNumber(text.substr(5, 2), month) ||
      !readNumber(text.substr(8, 2), day)) {
    return std::nullopt;
  }
  if (year < 1 || month < 1 || day < 1) return std::nullopt;  // two digits each: they fit a byte
  const DbDate date{static_cast<std::uint16_t>(year), static_cast<std::uint8_t>(month),
                    static_cast<std::uint8_t>(day)};
  if (!isCalendarDate(date)) return std::nullopt;
  return date;
}

ResolvedDate resolveDate(const std::string& dateOption) {
  if (!dateOption.empty()) {
    if (auto date = parseIsoDate(dateOption)) return {date, {}};
    return {std::nullopt, "--date: expected a calendar date as YYYY-MM-DD, got \"" + dateOption + "\""};
  }
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
    long long seconds = 0;
    const std::string_view text(epoch);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), seconds);
    // The last second that --date could name: 9999-12-31 23:59:59 UTC.
    constexpr long long kLastSecond = 253402300799LL;
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || seconds < 0 || seconds > kLastSecond) {
      return {std::nullopt, "SOURCE_DATE_EPOCH: expected whole seconds since 1970 up to the year 9999, got \"" +
                                std::string(text) + "\""};
    }
    return {utcDate(seconds), {}};
  }
  return {todayInUtc(), {}};
}

}  // namespace tabrino::cli
