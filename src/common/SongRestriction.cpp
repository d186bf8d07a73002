#include "common/SongRestriction.hpp"

#include <cmath>

namespace zd {

namespace {

using namespace std::chrono;

constexpr std::uint32_t kEncodedBase = 100000000;
constexpr std::int32_t kFirstDay = 36526; // 2000-01-01
constexpr std::int32_t kLastDay = 73050;  // 2100-01-01

std::uint32_t GetU32(std::span<const std::uint8_t> b, std::size_t at) noexcept
{
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8
        | static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void PutU32(std::uint8_t* b, std::uint32_t v) noexcept
{
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct DateParts {
    int Year = 0;
    unsigned Month = 0, Day = 0;
    bool AllZero() const noexcept { return Year == 0 && Month == 0 && Day == 0; }
};

DateParts TakeApart(std::uint32_t value) noexcept
{
    if (value > kEncodedBase && value < 2 * kEncodedBase) {
        const std::uint32_t ymd = value - kEncodedBase;
        return {static_cast<int>(ymd / 10000), ymd / 100 % 100, ymd % 100};
    }
    if (value > static_cast<std::uint32_t>(kFirstDay) && value < static_cast<std::uint32_t>(kLastDay)) {
        const year_month_day date = DateOfDayNumber(static_cast<std::int32_t>(value));
        return {static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day())};
    }
    return {};
}

unsigned MonthLength(int y, unsigned m) noexcept
{
    return static_cast<unsigned>(year_month_day_last{year{y}, month_day_last{month{m}}}.day());
}

bool FormableMonth(int y, unsigned m) noexcept
{
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12;
}

std::int32_t StartDay(const DateParts& s, const DateParts& e, bool wraps, const TDateTimeParts& t) noexcept
{
    if (s.AllZero())
        return kFirstDay;
    int y = s.Year;
    if (y == 0)
        y = (!wraps || e.Month < t.Month) ? t.Year : t.Year - 1;
    const unsigned m = s.Month != 0 ? s.Month : t.Month;
    if (!FormableMonth(y, m))
        return kFirstDay;
    unsigned d = s.Day == 0 ? 1 : s.Day;
    const unsigned length = MonthLength(y, m);
    if (d > length) {
        if (m == 2 && d == 29 && length == 28)
            return DayNumberOf(year{y} / March / 1);
        d = length;
    }
    return DayNumberOf(year{y} / month{m} / day{d});
}

std::int32_t EndDay(const DateParts& s, const DateParts& e, bool wraps, const TDateTimeParts& t) noexcept
{
    if (e.AllZero())
        return kLastDay;
    int y = e.Year;
    if (y == 0)
        y = (!wraps || t.Month < s.Month) ? t.Year : t.Year + 1;
    const unsigned m = e.Month != 0 ? e.Month : t.Month;
    if (!FormableMonth(y, m))
        return kLastDay;
    const unsigned length = MonthLength(y, m);
    const unsigned d = (e.Day != 0 && e.Day <= length) ? e.Day : length;
    return DayNumberOf(year{y} / month{m} / day{d});
}

} // namespace

std::optional<TSongRestriction> TSongRestriction::FromBytes(std::span<const std::uint8_t> b) noexcept
{
    if (b.size() != kRecordSize)
        return std::nullopt;
    TSongRestriction r;
    r.StartDate = GetU32(b, 0);
    r.EndDate = GetU32(b, 4);
    r.DeleteAfterEnd = b[8];
    r.StartTime = GetU32(b, 9);
    r.EndTime = GetU32(b, 13);
    for (std::size_t i = 0; i < 7; ++i) {
        r.Days[i].DayEnabled = b[17 + 5 * i];
        r.Days[i].HourMask = GetU32(b, 18 + 5 * i);
    }
    return r;
}

std::array<std::uint8_t, TSongRestriction::kRecordSize> TSongRestriction::ToBytes() const noexcept
{
    std::array<std::uint8_t, kRecordSize> b{};
    PutU32(&b[0], StartDate);
    PutU32(&b[4], EndDate);
    b[8] = DeleteAfterEnd;
    PutU32(&b[9], StartTime);
    PutU32(&b[13], EndTime);
    for (std::size_t i = 0; i < 7; ++i) {
        b[17 + 5 * i] = Days[i].DayEnabled;
        PutU32(&b[18 + 5 * i], Days[i].HourMask);
    }
    return b;
}

TRestrictionRange NormaliseRestriction(const TSongRestriction& r, TDateTime t) noexcept
{
    std::uint32_t startDate = r.StartDate < static_cast<std::uint32_t>(kFirstDay) ? kFirstDay : r.StartDate;
    std::uint32_t endDate = r.EndDate < static_cast<std::uint32_t>(kFirstDay) ? kLastDay : r.EndDate;
    std::int32_t startDay = 0;
    std::int32_t endDay = 0;
    if (startDate <= kEncodedBase && endDate <= kEncodedBase) {
        startDay = static_cast<std::int32_t>(startDate);
        endDay = static_cast<std::int32_t>(endDate);
    } else {
        if (startDate == kEncodedBase)
            startDate = 120000101;
        if (endDate == kEncodedBase)
            endDate = 120991231;
        const DateParts s = TakeApart(startDate);
        const DateParts e = TakeApart(endDate);
        const bool wraps = e.Month != 0 && e.Month < s.Month;
        const TDateTimeParts now = DecodeDateTime(t);
        startDay = StartDay(s, e, wraps, now);
        endDay = EndDay(s, e, wraps, now);
    }
    return {startDay + r.StartTime / 86400.0, endDay + r.EndTime / 86400.0};
}

bool RestrictionAllows(const TSongRestriction& r, TDateTime t, bool& afterEnd) noexcept
{
    afterEnd = false;
    if (!std::isfinite(t))
        return false;
    const TRestrictionRange range = NormaliseRestriction(r, t);
    afterEnd = t > range.End;
    if (t < range.Start || afterEnd)
        return false;
    const TDateTimeParts parts = DecodeDateTime(t);
    const TRestrictionDay& day = r.Days[parts.DayOfWeek % 7];
    if (day.DayEnabled == 0)
        return false;
    return ((day.HourMask >> (23 - parts.Hour)) & 1u) != 0;
}

} // namespace zd
