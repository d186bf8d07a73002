#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zd {

// One byte of named shared memory (POSIX shm_open, named after the
// installation id) through which a second start asks the running copy to
// show its window: the second copy writes 8, the running one answers by
// writing 0. Only these two values are written, one byte at a time.
class RestoreSignal {
public:
    static constexpr std::uint8_t kRestore = 8;

    // Opens the block, creating it when missing. Throws Error with the
    // system's message when it cannot be opened or mapped.
    explicit RestoreSignal(std::string_view rootFolder);
    ~RestoreSignal();
    RestoreSignal(const RestoreSignal&) = delete;
    RestoreSignal& operator=(const RestoreSignal&) = delete;

    std::uint8_t Get() const noexcept;
    void Set(std::uint8_t value) noexcept;
    const std::string& Name() const noexcept { return name_; }

private:
    std::string name_;
    std::uint8_t* byte_ = nullptr;
};

} // namespace zd
