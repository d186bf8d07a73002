#include "common/DateTime.hpp"

#include <cmath>

namespace zd {

namespace {
using namespace std::chrono;
constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};
} // namespace

std::int32_t DayNumberOf(year_month_day date) noexcept
{
    return static_cast<std::int32_t>((sys_days{date} - kEpoch).count());
}

year_month_day DateOfDayNumber(std::int32_t dayNumber) noexcept
{
    return year_month_day{kEpoch + days{dayNumber}};
}

std::optional<TDateTime> EncodeDateTime(int y, unsigned m, unsigned d, unsigned hour, unsigned minute,
    unsigned second, unsigned millisecond) noexcept
{
    const year_month_day date{year{y}, month{m}, day{d}};
    if (!date.ok() || y < 1 || y > 9999 || hour > 23 || minute > 59 || second > 59 || millisecond > 999)
        return std::nullopt;
    const double time = ((hour * 3600.0 + minute * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
    return DayNumberOf(date) + time;
}

TDateTimeParts DecodeDateTime(TDateTime value) noexcept
{
    TDateTimeParts parts;
    if (!std::isfinite(value) || value < -693593.0 || value > 2958466.0)
        return parts;
    // Round to the millisecond first, so 23:59:59.9996 does not show as 24:00.
    const auto totalMs = static_cast<std::int64_t>(std::llround(value * 86400000.0));
    std::int64_t dayNumber = totalMs / 86400000;
    std::int64_t msOfDay = totalMs % 86400000;
    if (msOfDay < 0) {
        // Negative date-times count the time of day away from day 0 (as the
        // fraction's absolute value); keep the same reading.
        msOfDay = -msOfDay;
    }
    const year_month_day date = DateOfDayNumber(static_cast<std::int32_t>(dayNumber));
    parts.Year = static_cast<int>(date.year());
    parts.Month = static_cast<unsigned>(date.month());
    parts.Day = static_cast<unsigned>(date.day());
    parts.Hour = static_cast<unsigned>(msOfDay / 3600000);
    parts.Minute = static_cast<unsigned>(msOfDay / 60000 % 60);
    parts.Second = static_cast<unsigned>(msOfDay / 1000 % 60);
    parts.Millisecond = static_cast<unsigned>(msOfDay % 1000);
    parts.DayOfWeek = weekday{sys_days{date}}.iso_encoding() - 1;
    return parts;
}

TDateTime DateTimeOfUnix(std::time_t time, bool local) noexcept
{
    std::tm tm{};
    if ((local ? localtime_r(&time, &tm) : gmtime_r(&time, &tm)) == nullptr)
        return 0;
    const auto value = EncodeDateTime(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1),
        static_cast<unsigned>(tm.tm_mday), static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
        static_cast<unsigned>(tm.tm_sec > 59 ? 59 : tm.tm_sec));
    return value.value_or(0);
}

TDateTime NowLocal() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return DateTimeOfUnix(now.tv_sec, true) + static_cast<double>(now.tv_nsec / 1000000) / 86400000.0;
}

TDateTime NowUtc() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return DateTimeOfUnix(now.tv_sec, false) + static_cast<double>(now.tv_nsec / 1000000) / 86400000.0;
}

} // namespace zd
