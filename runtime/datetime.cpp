// datetime.cpp -- conversions between local date-times, DOS date-times and POSIX time.
#include "datetime.h"

#include <chrono>

#include "errors.h"

namespace tarnwick {
namespace {

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool IsValidDosDateTime(std::uint32_t dos)
{
    const int seconds2 = dos & 0x1F;
    const int minute = (dos >> 5) & 0x3F;
    const int hour = (dos >> 11) & 0x1F;
    const int day = (dos >> 16) & 0x1F;
    const int month = (dos >> 21) & 0x0F;
    const int year = static_cast<int>((dos >> 25) & 0x7F) + 1980;
    return seconds2 < 30 && minute < 60 && hour < 24 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

TDateTime DosDateTimeToDateTime(std::uint32_t dos)
{
    if (!IsValidDosDateTime(dos))
        throw EConvertError("Date et heure incorrectes");
    TDateTime t;
    t.Second = static_cast<int>(dos & 0x1F) * 2;
    t.Minute = (dos >> 5) & 0x3F;
    t.Hour = (dos >> 11) & 0x1F;
    t.Day = (dos >> 16) & 0x1F;
    t.Month = (dos >> 21) & 0x0F;
    t.Year = static_cast<int>((dos >> 25) & 0x7F) + 1980;
    t.Millisecond = 0;
    return t;
}

std::uint32_t DateTimeToDosDateTime(const TDateTime& value)
{
    if (value.Year < 1980)
        return (1u << 16) | (1u << 21);  // 1980-01-01 00:00:00
    if (value.Year > 2107)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return (static_cast<std::uint32_t>(value.Year - 1980) << 25) |
           (static_cast<std::uint32_t>(value.Month) << 21) | (static_cast<std::uint32_t>(value.Day) << 16) |
           (static_cast<std::uint32_t>(value.Hour) << 11) | (static_cast<std::uint32_t>(value.Minute) << 5) |
           static_cast<std::uint32_t>(value.Second / 2);
}

TDateTime UnixTimeToLocal(std::int64_t seconds, int nanoseconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm {};
    if (::localtime_r(&t, &tm) == nullptr)
        return TDateTime{1980, 1, 1, 0, 0, 0, 0};
    return TDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                     tm.tm_sec > 59 ? 59 : tm.tm_sec, nanoseconds / 1000000};
}

TDateTime Now()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    return UnixTimeToLocal(ns / 1000000000, static_cast<int>(ns % 1000000000));
}

}  // namespace tarnwick
