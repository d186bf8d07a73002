#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// The items of an MP4 file's "moov/udta/meta/ilst" list: names lower case
// without a leading 0xA9 byte ("nam", "art", "trkn" ...), values marked
// text. "trkn" gives "3/12", "tmpo" and "gnre" their number, and a free-form
// replay-gain item comes as "rgtg". Only reads.
class TMP4Tags {
public:
    std::vector<std::string> Names;
    std::vector<std::string> Values;

    // Reads the file named by the marked name, or the given open stream.
    // noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // Largest item read (1 MiB + 4).
    static constexpr std::uint32_t MaxItem = 1048580;
    // Most items looked at.
    static constexpr int MaxItems = 4096;

private:
    void Read(ByteSource& source);
    void ReadItem(std::span<const std::uint8_t> item);
};

} // namespace zd
