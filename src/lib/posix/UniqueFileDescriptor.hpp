#pragma once

#include <utility>

namespace zd {

// The one owner of a POSIX file descriptor: closes it when it goes, moves
// but never copies. -1 stands for "none".
class UniqueFileDescriptor {
public:
    UniqueFileDescriptor() noexcept = default;
    explicit UniqueFileDescriptor(int fd) noexcept : fd_(fd) {}
    UniqueFileDescriptor(UniqueFileDescriptor&& other) noexcept : fd_(other.Release()) {}
    UniqueFileDescriptor& operator=(UniqueFileDescriptor&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFileDescriptor(const UniqueFileDescriptor&) = delete;
    UniqueFileDescriptor& operator=(const UniqueFileDescriptor&) = delete;
    ~UniqueFileDescriptor() noexcept { Close(); }

    int Get() const noexcept { return fd_; }
    bool IsDefined() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return IsDefined(); }

    // Hands the descriptor over without closing it; this owner holds none
    // afterwards. noexcept.
    int Release() noexcept { return std::exchange(fd_, -1); }

    // Closes the descriptor held (if any) and takes `fd`. noexcept.
    void Reset(int fd = -1) noexcept;

    // Closes the descriptor now. False, with errno set, when the system
    // reported an error (a delayed write error among them); the descriptor
    // is gone either way. True when none was held. noexcept.
    bool Close() noexcept;

private:
    int fd_ = -1;
};

} // namespace zd
