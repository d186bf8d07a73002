#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Play length of an MPEG program stream (".mpg", ".mpeg") from the time
// codes of its group-of-pictures headers near the end (one-second
// resolution).
class TMPEGVideo {
public:
    std::int32_t Duration = 0; // ms, 0 when not found

    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // How far from either end the time codes are looked for.
    static constexpr std::int64_t SearchLimit = 16LL * 1024 * 1024;

private:
    void Read(ByteSource& source);
};

} // namespace zd
