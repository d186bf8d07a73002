#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zd {

// Failed logins per peer address: after a few failures within a while,
// every further attempt from that address waits before its answer, the
// wait doubling with each failure up to a ceiling; a success clears the
// address. Keeps a bounded number of addresses. Safe from any thread.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    // The wait before the answer to an attempt from the address now.
    // noexcept apart from allocation.
    std::chrono::milliseconds DelayFor(const std::string& address, Clock::time_point now);
    // Counts a failed attempt. noexcept apart from allocation.
    void Failed(const std::string& address, Clock::time_point now);
    // Forgets the address's failures. noexcept.
    void Succeeded(const std::string& address) noexcept;

private:
    // Drops failures older than the window; true when none is left.
    static bool Expire(std::deque<Clock::time_point>& failures, Clock::time_point now);
    void MakeRoom(Clock::time_point now);

    std::mutex mutex_;
    std::unordered_map<std::string, std::deque<Clock::time_point>> failures_;
};

} // namespace zd
