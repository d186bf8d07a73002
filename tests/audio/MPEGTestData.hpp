#pragma once

// Small audio files made by the tests: MPEG frames, WAV chunks, temporary
// folders.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "../support/TempFolder.hpp"

namespace zd::testdata {

using Bytes = std::vector<std::uint8_t>;

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo, no CRC: 417-byte frames.
inline constexpr std::uint32_t kMpeg1Header = 0xFFFB9000;
inline constexpr std::size_t kMpeg1FrameLength = 417;
// MPEG-2 Layer III, 64 kbit/s, 22050 Hz, stereo: 208-byte frames.
inline constexpr std::uint32_t kMpeg2Header = 0xFFF38000;
inline constexpr std::size_t kMpeg2FrameLength = 208;

inline void PutBE32(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>(v >> 16);
    b[at + 2] = static_cast<std::uint8_t>(v >> 8);
    b[at + 3] = static_cast<std::uint8_t>(v);
}

inline void PutLE32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void PutText(Bytes& b, std::string_view text) { b.insert(b.end(), text.begin(), text.end()); }

// count frames of frameLength bytes, each beginning with header, the rest
// filled with a byte pattern that holds no sync.
inline Bytes MpegFrames(std::uint32_t header, int count, std::size_t frameLength)
{
    Bytes bytes(static_cast<std::size_t>(count) * frameLength);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(0x20 + i % 61);
    for (int i = 0; i < count; ++i)
        PutBE32(bytes, static_cast<std::size_t>(i) * frameLength, header);
    return bytes;
}

// An ID3v2.3 tag of total bytes (header included), padded with zeros.
inline Bytes Id3v2Tag(std::size_t total)
{
    Bytes tag(total, 0);
    tag[0] = 'I';
    tag[1] = 'D';
    tag[2] = '3';
    tag[3] = 3;
    const std::size_t size = total - 10;
    tag[6] = static_cast<std::uint8_t>((size >> 21) & 0x7F);
    tag[7] = static_cast<std::uint8_t>((size >> 14) & 0x7F);
    tag[8] = static_cast<std::uint8_t>((size >> 7) & 0x7F);
    tag[9] = static_cast<std::uint8_t>(size & 0x7F);
    return tag;
}

// One RIFF chunk: id, little-endian size, body, and a pad byte when odd
// (unless pad is false).
inline void PutChunk(Bytes& b, std::string_view id, const Bytes& body, bool pad = true)
{
    PutText(b, id);
    PutLE32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2 == 1)
        b.push_back(0);
}

// The 16 bytes of a PCM "fmt " body.
inline Bytes PcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    Bytes f;
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    f.push_back(1);
    f.push_back(0);
    f.push_back(static_cast<std::uint8_t>(channels));
    f.push_back(0);
    PutLE32(f, rate);
    PutLE32(f, rate * align);
    f.push_back(static_cast<std::uint8_t>(align));
    f.push_back(0);
    f.push_back(static_cast<std::uint8_t>(bits));
    f.push_back(0);
    return f;
}

// "RIFF", size, "WAVE" and the chunks.
inline Bytes Riff(const Bytes& chunks)
{
    Bytes b;
    PutText(b, "RIFF");
    PutLE32(b, static_cast<std::uint32_t>(chunks.size() + 4));
    PutText(b, "WAVE");
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

// A tiny PCM WAV of frames sample frames (16-bit stereo, 8000 Hz).
inline Bytes TinyWav(std::size_t frames)
{
    Bytes chunks;
    PutChunk(chunks, "fmt ", PcmFormat(2, 8000, 16));
    Bytes data(frames * 4);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    PutChunk(chunks, "data", data);
    return Riff(chunks);
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

using testsupport::TempFolder;

// True when the program can be run from the shell.
inline bool HaveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace zd::testdata
