#include "common/Timing.hpp"

#include <ctime>
#include <thread>
#include <chrono>

namespace zd {

namespace {
std::uint32_t ClockMs(clockid_t clock) noexcept
{
    timespec now{};
    clock_gettime(clock, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms); // wraps as a 32-bit tick does
}

bool SleepMeasured(std::uint32_t& total, std::uint32_t limit, std::uint32_t ms, bool precise) noexcept
{
    const std::uint32_t before = TickMs(precise);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    const std::uint32_t elapsed = TickDifference(before, TickMs(precise));
    total += elapsed;
    return total < limit;
}
} // namespace

std::uint32_t TickMs(bool precise) noexcept
{
    return ClockMs(precise ? CLOCK_MONOTONIC : CLOCK_MONOTONIC_COARSE);
}

bool SleepAndCount(std::uint32_t& total, std::uint32_t limit, std::uint32_t ms) noexcept
{
    return SleepMeasured(total, limit, ms, ms > 13);
}

bool SleepAndCountTick(std::uint32_t& total, std::uint32_t limit, std::uint32_t ms) noexcept
{
    return SleepMeasured(total, limit, ms, false);
}

} // namespace zd
