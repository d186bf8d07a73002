#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

namespace zd {

// The MP3 bytes of one preview stream: one writer (the encoder) appends,
// one reader (the sender) copies what lies below the write position. The
// storage is reserved once at its final size and never moves, and appending
// stops at the reserve, so a reader never touches moved or freed memory
// while it holds the buffer. Pages of the reserve that are never written
// are never touched.
class PreviewBuffer {
public:
    // Throws std::bad_alloc.
    explicit PreviewBuffer(std::size_t capacity);

    std::size_t Capacity() const noexcept { return capacity_; }
    // The end of the valid bytes. Any thread.
    std::size_t WritePosition() const noexcept { return written_.load(std::memory_order_acquire); }

    // Writer: appends what fits and wakes the reader; false when bytes had
    // to be dropped because the reserve is full. noexcept.
    bool Append(std::span<const std::uint8_t> bytes) noexcept;

    // Reader: the bytes from `from` up to `to`, both at most WritePosition().
    std::span<const std::byte> Bytes(std::size_t from, std::size_t to) const noexcept;

    // Reader: waits until the write position is above `position`, Wake is
    // called or the time-out passes; true when there are new bytes.
    bool WaitBeyond(std::size_t position, std::chrono::milliseconds timeout);
    // Wakes a waiting reader (the stream is being closed). noexcept.
    void Wake() noexcept;

private:
    std::unique_ptr<std::byte[]> storage_;
    std::size_t capacity_;
    std::atomic<std::size_t> written_{0};
    std::mutex mutex_;
    std::condition_variable grown_;
    bool woken_ = false;
};

} // namespace zd
