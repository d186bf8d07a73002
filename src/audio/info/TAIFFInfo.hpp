#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Play length of an AIFF or AIFC file (extensions beginning ".aif") from
// its "COMM" chunk, looked for among the first chunks.
class TAIFFInfo {
public:
    std::int32_t Duration = 0; // ms, 0 when not found

    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // Most chunks stepped over looking for "COMM".
    static constexpr int MaxChunks = 64;

private:
    void Read(ByteSource& source);
};

} // namespace zd
