#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>

namespace zd {

// A date-time is the number of days since 1899-12-30 as a double; the
// fraction is the time of day. Calendar work uses <chrono>. noexcept.

using TDateTime = double;

// The day number of a calendar date (36526 for 2000-01-01).
std::int32_t DayNumberOf(std::chrono::year_month_day date) noexcept;

// The calendar date of a day number.
std::chrono::year_month_day DateOfDayNumber(std::int32_t dayNumber) noexcept;

// A date-time from its parts; nullopt when the date does not exist or a part
// is out of range.
std::optional<TDateTime> EncodeDateTime(int year, unsigned month, unsigned day, unsigned hour = 0,
    unsigned minute = 0, unsigned second = 0, unsigned millisecond = 0) noexcept;

struct TDateTimeParts {
    int Year = 1899;
    unsigned Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    unsigned DayOfWeek = 0; // Monday 0 ... Sunday 6
};
// The parts of a date-time (rounded to the millisecond).
TDateTimeParts DecodeDateTime(TDateTime value) noexcept;

// The date-time of a POSIX time, in UTC or in local time.
TDateTime DateTimeOfUnix(std::time_t time, bool local) noexcept;

// The current local and UTC date-times.
TDateTime NowLocal() noexcept;
TDateTime NowUtc() noexcept;

} // namespace zd
