#include "preview/PreviewBuffer.hpp"

#include <algorithm>
#include <cstring>

namespace zd {

PreviewBuffer::PreviewBuffer(std::size_t capacity)
    : storage_(std::make_unique_for_overwrite<std::byte[]>(std::max<std::size_t>(capacity, 1))), capacity_(capacity)
{
}

bool PreviewBuffer::Append(std::span<const std::uint8_t> bytes) noexcept
{
    const std::size_t at = written_.load(std::memory_order_relaxed);
    const std::size_t count = std::min(bytes.size(), capacity_ - at);
    if (count > 0) {
        std::memcpy(storage_.get() + at, bytes.data(), count);
        written_.store(at + count, std::memory_order_release);
        { std::lock_guard lock(mutex_); }
        grown_.notify_all();
    }
    return count == bytes.size();
}

std::span<const std::byte> PreviewBuffer::Bytes(std::size_t from, std::size_t to) const noexcept
{
    to = std::min(to, WritePosition());
    from = std::min(from, to);
    return {storage_.get() + from, to - from};
}

bool PreviewBuffer::WaitBeyond(std::size_t position, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    grown_.wait_for(lock, timeout, [&] { return WritePosition() > position || woken_; });
    return WritePosition() > position;
}

void PreviewBuffer::Wake() noexcept
{
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    grown_.notify_all();
}

} // namespace zd
