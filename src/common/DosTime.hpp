#pragma once

#include <cstdint>
#include <ctime>

#include "common/DateTime.hpp"

namespace zd {

// Packed DOS date-times: date in the high 16 bits (year - 1980 in bits 9..15,
// month 5..8, day 0..4), time in the low 16 bits (hour 11..15, minute 5..10,
// seconds / 2 in 0..4). 1980-01-01 00:00:00 is 0x00210000.

inline constexpr std::uint32_t kSmallestDosDateTime = 0x00210000;

// The packed form of the parts; -1 when the year is outside 1980..2107 or a
// part is out of range. noexcept.
std::int64_t PackDosDateTime(int year, unsigned month, unsigned day, unsigned hour,
    unsigned minute, unsigned second) noexcept;

// The packed form of a POSIX time in local time or UTC; -1 when it cannot be
// formed. noexcept.
std::int64_t DosDateTimeOfUnix(std::time_t time, bool local) noexcept;

// The current UTC time packed; -1 when it cannot be formed. noexcept.
std::int64_t NowUtcDosDateTime() noexcept;

// The date-time of a packed value; 0 for an invalid value. noexcept.
TDateTime DosDateTimeToDateTime(std::uint32_t value) noexcept;

} // namespace zd
