#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "audio/info/ByteSource.hpp"

namespace zd {

// Windows of a file read going backwards from its end, through one buffer
// so that overlapping windows cost one read. Throws as ByteSource::ReadAt.
class BackwardWindows {
public:
    explicit BackwardWindows(ByteSource& source, std::size_t block = 16384) : source_(source), block_(block) {}

    // The bytes [pos, pos + length) or fewer at the end of the file; empty
    // before the start or past the end.
    std::span<const std::uint8_t> At(std::int64_t pos, std::size_t length)
    {
        if (pos < 0 || pos >= source_.Size())
            return {};
        const std::int64_t end = std::min<std::int64_t>(pos + static_cast<std::int64_t>(length), source_.Size());
        if (pos < start_ || end > start_ + static_cast<std::int64_t>(buffer_.size())) {
            const std::int64_t size = std::max<std::int64_t>(static_cast<std::int64_t>(block_), end - pos);
            start_ = std::max<std::int64_t>(0, end - size);
            buffer_.resize(static_cast<std::size_t>(end - start_));
            buffer_.resize(source_.ReadAt(start_, buffer_));
            if (pos < start_ || end > start_ + static_cast<std::int64_t>(buffer_.size()))
                return {};
        }
        return std::span<const std::uint8_t>(buffer_).subspan(static_cast<std::size_t>(pos - start_),
            static_cast<std::size_t>(end - pos));
    }

private:
    ByteSource& source_;
    std::size_t block_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = 0;
};

// Index of the first occurrence of needle in bytes, or -1. noexcept.
inline std::int64_t FindBytes(std::span<const std::uint8_t> bytes, std::string_view needle) noexcept
{
    if (needle.empty() || bytes.size() < needle.size())
        return -1;
    for (std::size_t i = 0; i + needle.size() <= bytes.size(); ++i)
        if (bytes[i] == static_cast<std::uint8_t>(needle[0]) && StartsWith(bytes.subspan(i), needle))
            return static_cast<std::int64_t>(i);
    return -1;
}

} // namespace zd
