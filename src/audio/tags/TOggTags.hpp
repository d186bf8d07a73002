#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// The Vorbis comments of an Ogg Vorbis or Ogg Opus file: the comment packet
// that begins on the second page (it may run over several pages). Names are
// upper case, values marked text.
class TOggTags {
public:
    std::vector<std::string> Names;
    std::vector<std::string> Values;

    // Reads the file named by the marked name, or the given open stream.
    // noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // Largest comment packet read; comments beyond it are left out.
    static constexpr std::size_t MaxPacket = 16 * 1024 * 1024;
    // Most pages the comment packet is followed over.
    static constexpr int MaxPages = 1024;

private:
    void Read(ByteSource& source);
};

} // namespace zd
