// The day a database carries in its header and its name.
#pragma once

#include <cstdint>
#include <string>

namespace tabrino {

struct DbDate {
  std::uint16_t year;
  std::uint8_t month;
  std::uint8_t day;
  bool operator==(const DbDate& other) const {
    return year == other.year && month == other.month && day == other.day;
  }
};

// A day that exists in the Gregorian calendar (any year).
bool isCalendarDate(DbDate date) noexcept;
// "YYYY-MM-DD", whatever the fields hold.
std::string isoDateText(DbDate date);

// The UTC calendar date of a moment given in seconds since 1970.
DbDate utcDate(std::int64_t unixSeconds) noexcept;
// Today in UTC, by the system clock.
DbDate todayInUtc() noexcept;

}  // namespace tabrino
