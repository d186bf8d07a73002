#include "preview/HostLock.hpp"

namespace zd {

bool HostLock::Take() noexcept
{
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    if (owner_ == self)
        return false;
    released_.wait_for(lock, kTakeOver, [this] { return owner_ == std::thread::id(); });
    owner_ = self;
    return true;
}

void HostLock::Release() noexcept
{
    {
        std::lock_guard lock(mutex_);
        owner_ = std::thread::id();
    }
    released_.notify_one();
}

} // namespace zd
