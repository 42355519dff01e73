// datetime.h -- local date-times and the 32-bit DOS date-time of the ZIP records.
#pragma once

#include <compare>
#include <cstdint>
#include <ctime>

namespace tarnwick {

// A calendar date and time of day in local time.
struct TDateTime {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    auto operator<=>(const TDateTime&) const = default;
};

// DOS date-time: bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours, 16-20 day, 21-24 month,
// 25-31 year - 1980.
bool IsValidDosDateTime(std::uint32_t dos);
// Raises EConvertError for a value that names no valid date-time.
TDateTime DosDateTimeToDateTime(std::uint32_t dos);
// Seconds are rounded down to even; a year outside 1980..2107 gives the nearest valid value,
// 1980-01-01 00:00:00 or 2107-12-31 23:59:58 (never 0, which names no date).
std::uint32_t DateTimeToDosDateTime(const TDateTime& value);

TDateTime UnixTimeToLocal(std::int64_t seconds, int nanoseconds = 0);
TDateTime Now();

}  // namespace tarnwick
