#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Play length of an ASF file (".asf", ".wma", ".wmv") from its File
// Properties object: the play duration less the preroll.
class TASFInfo {
public:
    std::int32_t Duration = 0; // ms, 0 when not found

    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

private:
    void Read(ByteSource& source);
};

} // namespace zd
