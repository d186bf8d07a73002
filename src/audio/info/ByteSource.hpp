#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace zd {

// Random-access bytes of one file, as the stream-info readers see them. The
// readers never go past Size() and never trust a count read from the file.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Size of the file in bytes. noexcept.
    virtual std::int64_t Size() const noexcept = 0;

    // Reads up to out.size() bytes at pos and returns how many were read
    // (fewer at the end of the file, 0 past it). Throws FileError on an I/O error.
    virtual std::size_t ReadAt(std::int64_t pos, std::span<std::uint8_t> out) = 0;

    // True when exactly out.size() bytes could be read at pos. Throws as ReadAt.
    bool ReadExactAt(std::int64_t pos, std::span<std::uint8_t> out)
    {
        if (pos < 0 || pos > Size() || static_cast<std::int64_t>(out.size()) > Size() - pos)
            return false;
        return ReadAt(pos, out) == out.size();
    }
};

// A ByteSource over bytes held in memory (not owned).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

    std::int64_t Size() const noexcept override { return static_cast<std::int64_t>(bytes_.size()); }

    std::size_t ReadAt(std::int64_t pos, std::span<std::uint8_t> out) override
    {
        if (pos < 0 || pos >= Size() || out.empty())
            return 0;
        const auto count = std::min<std::size_t>(out.size(), bytes_.size() - static_cast<std::size_t>(pos));
        std::memcpy(out.data(), bytes_.data() + pos, count);
        return count;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

// Bounds-checked reads of numbers with explicit byte order from a small buffer;
// a read past the end gives 0. All noexcept.
inline std::uint32_t LoadBE32(std::span<const std::uint8_t> b, std::size_t at) noexcept
{
    if (at > b.size() || b.size() - at < 4)
        return 0;
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8)
        | std::uint32_t{b[at + 3]};
}

inline std::uint32_t LoadLE32(std::span<const std::uint8_t> b, std::size_t at) noexcept
{
    if (at > b.size() || b.size() - at < 4)
        return 0;
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) | (std::uint32_t{b[at + 2]} << 16)
        | (std::uint32_t{b[at + 3]} << 24);
}

inline std::uint16_t LoadLE16(std::span<const std::uint8_t> b, std::size_t at) noexcept
{
    if (at > b.size() || b.size() - at < 2)
        return 0;
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline void StoreLE32(std::uint8_t* out, std::uint32_t value) noexcept
{
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
    out[3] = static_cast<std::uint8_t>(value >> 24);
}

// True when the bytes at the start of b spell text. noexcept.
inline bool StartsWith(std::span<const std::uint8_t> b, std::string_view text) noexcept
{
    return b.size() >= text.size() && std::memcmp(b.data(), text.data(), text.size()) == 0;
}

} // namespace zd
