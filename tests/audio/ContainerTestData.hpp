#pragma once

// Small container files built byte by byte: Ogg pages, MP4 boxes, FLAC
// blocks, ASF objects.

#include <string_view>

#include "MPEGTestData.hpp"

namespace zd::testdata {

inline void PutLE16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutLE64(Bytes& b, std::uint64_t v)
{
    PutLE32(b, static_cast<std::uint32_t>(v));
    PutLE32(b, static_cast<std::uint32_t>(v >> 32));
}

inline void AppendBE32(Bytes& b, std::uint32_t v)
{
    b.resize(b.size() + 4);
    PutBE32(b, b.size() - 4, v);
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// One Ogg page holding packet (laced in 255-byte segments; a packet of a
// multiple of 255 bytes gets a closing 0 segment unless open is set).
inline Bytes OggPage(std::uint64_t granule, const Bytes& packet, std::uint8_t type = 0, bool open = false)
{
    Bytes page;
    PutText(page, "OggS");
    page.push_back(0);
    page.push_back(type);
    PutLE64(page, granule);
    PutLE32(page, 0x1234);
    PutLE32(page, 0);
    PutLE32(page, 0);
    Bytes lacing;
    std::size_t left = packet.size();
    while (left >= 255) {
        lacing.push_back(255);
        left -= 255;
    }
    if (!open)
        lacing.push_back(static_cast<std::uint8_t>(left));
    page.push_back(static_cast<std::uint8_t>(lacing.size()));
    page.insert(page.end(), lacing.begin(), lacing.end());
    page.insert(page.end(), packet.begin(), packet.end());
    return page;
}

// The 30-byte Vorbis identification packet.
inline Bytes VorbisIdPacket(std::uint32_t rate, std::uint8_t channels = 2)
{
    Bytes p{1};
    PutText(p, "vorbis");
    PutLE32(p, 0);
    p.push_back(channels);
    PutLE32(p, rate);
    p.resize(30, 0);
    p[29] = 1;
    return p;
}

// The 19-byte Opus identification packet.
inline Bytes OpusHeadPacket(std::uint32_t inputRate, std::uint16_t preSkip, std::uint8_t channels = 2)
{
    Bytes p;
    PutText(p, "OpusHead");
    p.push_back(1);
    p.push_back(channels);
    PutLE16(p, preSkip);
    PutLE32(p, inputRate);
    PutLE16(p, 0);
    p.push_back(0);
    return p;
}

// A Vorbis comment list: vendor, count, "NAME=value" texts.
inline Bytes VorbisCommentList(std::initializer_list<std::string_view> comments)
{
    Bytes b;
    PutLE32(b, 4);
    PutText(b, "test");
    PutLE32(b, static_cast<std::uint32_t>(comments.size()));
    for (const auto c : comments) {
        PutLE32(b, static_cast<std::uint32_t>(c.size()));
        PutText(b, c);
    }
    return b;
}

// An Ogg file: identification page, comment page(s), a filler page and a
// last page at the given granule position.
inline Bytes OggFile(const Bytes& idPacket, const Bytes& commentPacket, std::uint64_t lastGranule)
{
    return Concat({OggPage(0, idPacket, 2), OggPage(0, commentPacket), OggPage(1000, Bytes(400, 0x55)),
        OggPage(lastGranule, Bytes(100, 0x66), 4)});
}

// An MP4 box of that type around the payload.
inline Bytes Box(std::string_view type, const Bytes& payload)
{
    Bytes b;
    AppendBE32(b, static_cast<std::uint32_t>(payload.size() + 8));
    PutText(b, type);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

inline Bytes Ftyp() { return Box("ftyp", TextBytes("M4A \0\0\0\0M4A mp42")); }

// A version 0 "mvhd" of that timescale and duration.
inline Bytes Mvhd(std::uint32_t timescale, std::uint32_t duration)
{
    Bytes p(12, 0);
    AppendBE32(p, timescale);
    AppendBE32(p, duration);
    p.resize(100, 0);
    return Box("mvhd", p);
}

// A FLAC STREAMINFO block (flagged last unless more follow).
inline Bytes FlacStreamInfo(std::uint32_t rate, std::uint64_t samples, bool last = true)
{
    Bytes b{static_cast<std::uint8_t>(last ? 0x80 : 0), 0, 0, 34};
    Bytes info(34, 0);
    info[10] = static_cast<std::uint8_t>(rate >> 12);
    info[11] = static_cast<std::uint8_t>(rate >> 4);
    info[12] = static_cast<std::uint8_t>(((rate & 0x0F) << 4) | (1 << 1)); // 2 channels
    info[13] = static_cast<std::uint8_t>((15 << 4) | ((samples >> 32) & 0x0F)); // 16 bits
    PutBE32(info, 14, static_cast<std::uint32_t>(samples));
    b.insert(b.end(), info.begin(), info.end());
    return b;
}

// A FLAC metadata block of that type.
inline Bytes FlacBlock(std::uint8_t type, const Bytes& body, bool last)
{
    Bytes b{static_cast<std::uint8_t>(type | (last ? 0x80 : 0)), static_cast<std::uint8_t>(body.size() >> 16),
        static_cast<std::uint8_t>(body.size() >> 8), static_cast<std::uint8_t>(body.size())};
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

} // namespace zd::testdata
