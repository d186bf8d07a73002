#pragma once

#include <cstdint>

namespace zd {

// Milliseconds of a monotonic counter as a 32-bit value that wraps around.
// precise: the high-resolution counter; otherwise the coarse system tick
// (a few milliseconds of granularity). noexcept.
std::uint32_t TickMs(bool precise = false) noexcept;

// The milliseconds from one tick value to a later one, allowing for one
// wrap-around of the 32-bit counter. noexcept.
constexpr std::uint32_t TickDifference(std::uint32_t before, std::uint32_t after) noexcept
{
    return after - before;
}

// Sleeps ms milliseconds, adds the measured time (precise counter when ms is
// above 13) to total and tells whether total is still below limit. Counter
// wrap-around is allowed for. noexcept.
bool SleepAndCount(std::uint32_t& total, std::uint32_t limit, std::uint32_t ms) noexcept;

// The same, measured with the coarse system tick only. noexcept.
bool SleepAndCountTick(std::uint32_t& total, std::uint32_t limit, std::uint32_t ms) noexcept;

} // namespace zd
