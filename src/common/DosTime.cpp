#include "common/DosTime.hpp"

namespace zd {

std::int64_t PackDosDateTime(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
    unsigned second) noexcept
{
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23
        || minute > 59 || second > 59)
        return -1;
    const std::uint32_t date = static_cast<std::uint32_t>(year - 1980) << 9 | month << 5 | day;
    const std::uint32_t time = hour << 11 | minute << 5 | second / 2;
    return static_cast<std::int64_t>(date << 16 | time);
}

std::int64_t DosDateTimeOfUnix(std::time_t time, bool local) noexcept
{
    std::tm tm{};
    if ((local ? localtime_r(&time, &tm) : gmtime_r(&time, &tm)) == nullptr)
        return -1;
    return PackDosDateTime(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1),
        static_cast<unsigned>(tm.tm_mday), static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
        static_cast<unsigned>(tm.tm_sec > 59 ? 59 : tm.tm_sec));
}

std::int64_t NowUtcDosDateTime() noexcept
{
    return DosDateTimeOfUnix(std::time(nullptr), false);
}

TDateTime DosDateTimeToDateTime(std::uint32_t value) noexcept
{
    const unsigned date = value >> 16;
    const unsigned time = value & 0xFFFF;
    const auto result = EncodeDateTime(static_cast<int>((date >> 9) + 1980), (date >> 5) & 0x0F, date & 0x1F,
        time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2);
    return result.value_or(0);
}

} // namespace zd
