#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"
#include "audio/tags/TagPairs.hpp"

namespace zd {

class TVRNFileStream;

// The ID3 tags of an MPEG audio file as (frame id, marked text) pairs in file
// order: the text frames of an ID3v2.3 or 2.4 tag, or, in a file without an
// ID3v2 tag, the fields of an ID3v1 tag under the matching frame ids. A
// first frame of MPEG-2 Layer III adds ("3PRO", "1"). Only reads.
class TMP3Tags {
public:
    TTagPairs Frames;
    std::uint8_t Version = 0;  // ID3v2 major version, 0 without a tag
    std::int64_t TagSize = 0;  // ID3v2 tag length with its header

    // Reads the file named by the marked name, or the given open stream.
    // noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // Largest frame whose value is read; larger ones are skipped.
    static constexpr std::uint32_t MaxFrame = 1024 * 1024;

    // Adds a pair by the adding rules: empty values are dropped; a "TCON"
    // value "(n)" becomes genre n, "(n)text" becomes text.
    void Add(std::string id, std::string value);

private:
    void Read(ByteSource& source);
    void ReadID3v1(ByteSource& source);
    void ReadFrames(ByteSource& source, std::uint8_t flags);
};

// The marked text of an ID3v2 text frame's value (after the encoding byte).
// noexcept apart from allocation.
std::string ID3FrameText(std::string_view id, std::uint8_t encoding, std::string_view bytes);

} // namespace zd
