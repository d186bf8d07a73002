#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Stream facts of a FLAC file (".flac", after a leading ID3v2 tag if any)
// from its STREAMINFO block and, when made for tags, the Vorbis comments of
// its comment block (names upper case, values marked text).
class TFLAC {
public:
    explicit TFLAC(bool readComments = false) noexcept : readComments_(readComments) {}

    std::uint32_t SampleRate = 0;
    std::uint8_t Channels = 0;
    std::uint8_t BitsPerSample = 0;
    std::uint64_t TotalSamples = 0; // 36 bits
    std::int32_t Duration = 0;      // ms, 0 when not found
    std::vector<std::string> Names;
    std::vector<std::string> Values;

    // Reads the file named by the marked name, or the given open stream.
    // noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // Most metadata blocks walked looking for the comments.
    static constexpr int MaxBlocks = 1024;

private:
    void Read(ByteSource& source);
    void ReadComments(ByteSource& source, std::int64_t pos);

    bool readComments_ = false;
};

} // namespace zd
