#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// The tags of a WMA file: the ASF content description (title, author,
// description) and a fixed set of string attributes of the extended content
// description. The tags count only when the stream facts look like audio
// (Valid). Texts are wide and trimmed. Only reads.
class TWMAfile {
public:
    bool Valid = false;
    std::u16string Title, Author, Description;
    std::u16string AlbumTitle, Track, Year, Genre, TrackNumberText, Composer, Publisher, Conductor, Category,
        BeatsPerMinuteText, ISRC, Mood, Text, AlbumCoverURL, UserWebURL, AlbumArtist, ReplayGainTrackGain;
    std::int32_t TrackNumber = 0;
    std::int32_t BeatsPerMinute = 0;
    // Stream facts behind the validity check.
    std::uint32_t MaxBitrate = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t AvgBytesPerSec = 0;

    // Reads the file named by the marked name, or the given open stream, and
    // tells whether its tags count. noexcept.
    bool Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // Most characters kept of one text.
    static constexpr std::size_t MaxChars = 1024;
    // Largest description object read.
    static constexpr std::int64_t MaxObject = 16LL * 1024 * 1024;

private:
    void Read(ByteSource& source);
    void ReadContentDescription(std::span<const std::uint8_t> object);
    void ReadExtendedDescription(std::span<const std::uint8_t> object);
};

} // namespace zd
