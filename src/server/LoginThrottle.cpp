#include "server/LoginThrottle.hpp"

#include "net/Limits.hpp"

#include <algorithm>

namespace zd {

bool LoginThrottle::Expire(std::deque<Clock::time_point>& failures, Clock::time_point now)
{
    while (!failures.empty() && now - failures.front() >= limits::kLoginFailureWindow)
        failures.pop_front();
    return failures.empty();
}

std::chrono::milliseconds LoginThrottle::DelayFor(const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    const auto found = failures_.find(address);
    if (found == failures_.end())
        return std::chrono::milliseconds(0);
    if (Expire(found->second, now)) {
        failures_.erase(found);
        return std::chrono::milliseconds(0);
    }
    const std::size_t count = found->second.size();
    if (count < limits::kLoginFailuresBeforeDelay)
        return std::chrono::milliseconds(0);
    std::chrono::milliseconds delay = limits::kLoginFirstDelay;
    for (std::size_t i = limits::kLoginFailuresBeforeDelay; i < count && delay < limits::kLoginLongestDelay; ++i)
        delay *= 2;
    return std::min(delay, limits::kLoginLongestDelay);
}

void LoginThrottle::Failed(const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    auto found = failures_.find(address);
    if (found == failures_.end()) {
        MakeRoom(now);
        found = failures_.emplace(address, std::deque<Clock::time_point>()).first;
    }
    auto& failures = found->second;
    Expire(failures, now);
    failures.push_back(now);
    // Enough failures to reach the longest wait are all it needs to keep.
    while (failures.size() > limits::kLoginFailuresKept)
        failures.pop_front();
}

void LoginThrottle::Succeeded(const std::string& address) noexcept
{
    std::lock_guard lock(mutex_);
    failures_.erase(address);
}

void LoginThrottle::MakeRoom(Clock::time_point now)
{
    if (failures_.size() < limits::kLoginThrottleAddresses)
        return;
    for (auto it = failures_.begin(); it != failures_.end();)
        it = Expire(it->second, now) ? failures_.erase(it) : std::next(it);
    if (failures_.size() < limits::kLoginThrottleAddresses)
        return;
    // Still full: the address whose last failure is oldest goes.
    const auto oldest = std::min_element(failures_.begin(), failures_.end(), [](const auto& a, const auto& b) {
        return a.second.back() < b.second.back();
    });
    failures_.erase(oldest);
}

} // namespace zd
