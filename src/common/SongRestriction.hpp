#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "common/DateTime.hpp"

namespace zd {

// The song restriction record kept (52 bytes, packed, little-endian) in an
// audio file's tag and tested by the library search.
//   0 StartDate u32: 0 none; a day number; or 100000000 + YYYYMMDD with
//     YYYY, MM or DD 0 meaning every year, month or day
//   4 EndDate u32 (same forms)   8 DeleteAfterEnd u8
//   9 StartTime u32 (seconds)    13 EndTime u32 (seconds, default 86399)
//  17 7 x { DayEnabled u8, HourMask u32 (bit 23 = hour 0 ... bit 0 = hour 23) },
//     Monday first
struct TRestrictionDay {
    std::uint8_t DayEnabled = 1;
    std::uint32_t HourMask = 0x00FFFFFF;
};

struct TSongRestriction {
    static constexpr std::size_t kRecordSize = 52;

    std::uint32_t StartDate = 0;
    std::uint32_t EndDate = 0;
    std::uint8_t DeleteAfterEnd = 0;
    std::uint32_t StartTime = 0;
    std::uint32_t EndTime = 86399;
    std::array<TRestrictionDay, 7> Days{};

    // The record of exactly 52 bytes; nullopt for any other size. noexcept.
    static std::optional<TSongRestriction> FromBytes(std::span<const std::uint8_t> bytes) noexcept;
    std::array<std::uint8_t, kRecordSize> ToBytes() const noexcept;
};

// The date range of a restriction normalised for the moment t (date-times).
struct TRestrictionRange {
    TDateTime Start = 0;
    TDateTime End = 0;
};
TRestrictionRange NormaliseRestriction(const TSongRestriction& restriction, TDateTime t) noexcept;

// Whether t lies in the range and its day and hour are permitted; afterEnd
// tells whether t is after the range's end. noexcept.
bool RestrictionAllows(const TSongRestriction& restriction, TDateTime t, bool& afterEnd) noexcept;

} // namespace zd
