#include "core/model/calendar_date.h"

#include <cstdio>
#include <ctime>

namespace tabrino {

bool isCalendarDate(DbDate date) noexcept {
  static constexpr std::uint8_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.month < 1 || date.month > 12 || date.day < 1) return false;
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  const unsigned days = date.month == 2 && leap ? 29u : kDays[date.month - 1];
  return date.day <= days;
}

std::string isoDateText(DbDate date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", unsigned{date.year}, unsigned{date.month},
                unsigned{date.day});
  return text;
}

DbDate utcDate(std::int64_t unixSeconds) noexcept {
  // Days to civil date in the proleptic Gregorian calendar (H. Hinnant).
  std::int64_t days = unixSeconds / 86400;
  if (unixSeconds % 86400 < 0) --days;
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return DbDate{static_cast<std::uint16_t>(year), static_cast<std::uint8_t>(month),
                static_cast<std::uint8_t>(day)};
}

DbDate todayInUtc() noexcept {
  // time() counts seconds since 1970 on every platform we build for (64-bit
  // time_t on Windows too).
  return utcDate(static_cast<std::int64_t>(std::time(nullptr)));
}

}  // namespace tabrino
