#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Play length of an AVI file (".avi") from its main header: microseconds per
// frame times the frame count.
class TAVIInfo {
public:
    std::int32_t Duration = 0; // ms, 0 when not found

    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;
};

} // namespace zd
