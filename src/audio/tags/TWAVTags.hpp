#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"
#include "audio/tags/TagPairs.hpp"

namespace zd {

class TVRNFileStream;

// The descriptive chunks of a broadcast WAV file as (id, marked text) pairs in
// the order found: a "DISP" title, the "LIST"/"INFO" items, the "cart" chunk
// (with its post timers in ms) and the "scot" chunk. The walk stops at the
// second descriptive source, or after a cart or scot chunk. Only reads.
class TWAVTags {
public:
    TTagPairs Pairs;
    // The WAVE format block; SampleRate turns cart timers into ms.
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;

    // Reads the file named by the marked name, or the given open stream.
    // noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // Largest "DISP" or "LIST" chunk read.
    static constexpr std::uint32_t MaxChunk = 4 * 1024 * 1024;

private:
    void Read(ByteSource& source);
    void Add(std::string id, std::string_view bytes);
    void ReadList(std::span<const std::uint8_t> data);
    bool ReadCart(ByteSource& source, std::int64_t pos);
    void ReadScot(ByteSource& source, std::int64_t pos);
};

} // namespace zd
