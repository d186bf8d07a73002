#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Stream facts of an MPEG audio file (".mp3", ".mp2", ".mus", ".snd"): finds two
// consecutive frame headers (after a leading ID3v2 tag), reads a Xing, Info or
// VBRI header when present and works out the play length. All members are 0
// when no frame pair was found.
class TMPEGInfo {
public:
    std::int32_t Duration = 0;      // ms
    std::int32_t AudioSize = 0;     // bytes of audio (file less ID3v2, or the VBRI byte count)
    std::uint8_t Version = 0;       // 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5, 0 = invalid
    std::uint8_t Layer = 0;         // 1..3, 0 = invalid
    std::int32_t SampleRate = 0;    // Hz
    std::int32_t Bitrate = 0;       // kbit/s (average for VBR)
    std::uint8_t ChannelMode = 0;   // 3 = single channel
    bool CopyFlag = false;
    bool Original = false;
    bool ProtectionBit = false;     // as stored: true = no CRC
    bool Padding = false;
    std::uint16_t FrameLength = 0;  // bytes of one frame

    // Reads the file named by the marked name, or the given open stream
    // (seeked to 0 first). noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;

    // Parses the bytes of one file. noexcept: errors leave what was found so far.
    void Parse(ByteSource& source) noexcept;

    // Decodes one 32-bit frame header into the members (Duration from
    // AudioSize) and tells whether it is a valid header. noexcept.
    bool DecodeHeader(std::uint32_t header) noexcept;

    // Longest run of bytes the search skips looking for a frame pair.
    static constexpr std::int64_t SkipLimit = 263190;

private:
    void Clear() noexcept;
    void Search(ByteSource& source);
    void ReadVbrHeader(ByteSource& source, std::int64_t frameStart);
};


// The duration-facade reader for MPEG audio files: TMPEGInfo's Duration.
// noexcept in effect (Open never throws).
std::int64_t MPEGDurationOf(const std::string& markedName, TVRNFileStream* stream);

} // namespace zd
