#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Play length of an ".ots" media file from its fixed header: a sample count
// and a rate.
class TOTSInfo {
public:
    std::int32_t Duration = 0; // ms, 0 when not found

    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;
};

} // namespace zd
