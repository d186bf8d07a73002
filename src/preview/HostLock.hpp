#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zd {

// The lock that keeps a decoder's play, seek, open and close apart. A
// thread that already owns it takes it again without effect; another waits
// while it is owned, and after kTakeOver takes ownership anyway, so a
// decoder that hangs cannot hold the others for ever. noexcept throughout.
class HostLock {
public:
    static constexpr std::chrono::milliseconds kTakeOver{8000};

    // True when this call took the lock (and so must release it); false
    // when the calling thread owned it already.
    bool Take() noexcept;
    void Release() noexcept;

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
};

// Holds the host lock for a scope when it took it.
class HostLockGuard {
public:
    explicit HostLockGuard(HostLock& lock) noexcept : lock_(lock), taken_(lock.Take()) {}
    ~HostLockGuard() { if (taken_) lock_.Release(); }
    HostLockGuard(const HostLockGuard&) = delete;
    HostLockGuard& operator=(const HostLockGuard&) = delete;

private:
    HostLock& lock_;
    bool taken_;
};

} // namespace zd
