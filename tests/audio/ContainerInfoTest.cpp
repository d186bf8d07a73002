// Durations of container files built byte by byte, through the facade.

#include <gtest/gtest.h>

#include "ContainerTestData.hpp"
#include "audio/FileDuration.hpp"
#include "audio/info/TAIFFInfo.hpp"
#include "audio/info/TAPEInfo.hpp"
#include "audio/info/TASFInfo.hpp"
#include "audio/info/TAVIInfo.hpp"
#include "audio/info/TCDAInfo.hpp"
#include "audio/info/TFLAC.hpp"
#include "audio/info/TMP4Info.hpp"
#include "audio/info/TMPEGVideo.hpp"
#include "audio/info/TOTSInfo.hpp"
#include "audio/info/TOggInfo.hpp"

namespace zd {
namespace {

using namespace testdata;

Bytes OggVorbis(std::uint32_t rate, std::uint64_t granule)
{
    return OggFile(VorbisIdPacket(rate), Concat({{3}, TextBytes("vorbis"), VorbisCommentList({})}), granule);
}

Bytes OggOpus(std::uint32_t inputRate, std::uint16_t preSkip, std::uint64_t granule)
{
    return OggFile(OpusHeadPacket(inputRate, preSkip), Concat({TextBytes("OpusTags"), VorbisCommentList({})}), granule);
}

Bytes Mp4(std::uint32_t timescale, std::uint32_t duration, bool wide = false)
{
    Bytes mvhd = Mvhd(timescale, duration);
    if (wide) {
        Bytes p{1, 0, 0, 0};
        p.resize(20, 0);
        AppendBE32(p, timescale);
        AppendBE32(p, 0);
        AppendBE32(p, duration);
        p.resize(112, 0);
        mvhd = Box("mvhd", p);
    }
    Bytes stsd(8, 0);
    AppendBE32(stsd, 16);
    PutText(stsd, "mp4a");
    stsd.resize(24, 0);
    const Bytes trak = Box("trak", Box("mdia", Box("minf", Box("stbl", Box("stsd", stsd)))));
    return Concat({Ftyp(), Box("free", Bytes(20, 0)), Box("moov", Concat({mvhd, trak})), Box("mdat", Bytes(64, 1))});
}

Bytes Flac(std::uint32_t rate, std::uint64_t samples) { return Concat({TextBytes("fLaC"), FlacStreamInfo(rate, samples), Bytes(64, 0)}); }

Bytes Asf(std::uint64_t play, std::uint64_t preroll)
{
    static constexpr std::uint8_t header[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA,
        0x00, 0x62, 0xCE, 0x6C};
    static constexpr std::uint8_t file[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0,
        0x0C, 0x20, 0x53, 0x65};
    Bytes props(file, file + 16);
    PutLE64(props, 104);
    props.resize(64, 0);
    PutLE64(props, play);
    PutLE64(props, 0);
    PutLE64(props, preroll);
    props.resize(104, 0);
    Bytes b(header, header + 16);
    PutLE64(b, 30 + props.size());
    PutLE32(b, 1);
    b.push_back(1);
    b.push_back(2);
    b.insert(b.end(), props.begin(), props.end());
    b.resize(b.size() + 50, 0);
    return b;
}

Bytes Avi(std::uint32_t usPerFrame, std::uint32_t frames)
{
    Bytes b;
    PutText(b, "RIFF");
    PutLE32(b, 1000);
    PutText(b, "AVI LIST");
    PutLE32(b, 200);
    PutText(b, "hdrlavih");
    PutLE32(b, 56);
    PutLE32(b, usPerFrame);
    b.resize(48, 0);
    PutLE32(b, frames);
    b.resize(200, 0);
    return b;
}

Bytes ExtendedRate(std::uint32_t rate)
{
    // 80-bit extended: exponent 16383 + 31 - leading zeros, mantissa left-aligned.
    int shift = 0;
    while (!(rate & 0x80000000u)) {
        rate <<= 1;
        ++shift;
    }
    const std::uint16_t exponent = static_cast<std::uint16_t>(16383 + 31 - shift);
    Bytes e{static_cast<std::uint8_t>(exponent >> 8), static_cast<std::uint8_t>(exponent)};
    AppendBE32(e, rate);
    AppendBE32(e, 0);
    return e;
}

Bytes Aiff(std::uint32_t frames, std::uint32_t rate, bool commentFirst, bool aifc = false)
{
    Bytes comm{0, 2};
    AppendBE32(comm, frames);
    comm.push_back(0);
    comm.push_back(16);
    const Bytes rateBytes = ExtendedRate(rate);
    comm.insert(comm.end(), rateBytes.begin(), rateBytes.end());
    Bytes chunks;
    if (aifc) {
        PutText(chunks, "FVER");
        AppendBE32(chunks, 4);
        AppendBE32(chunks, 0xA2805140);
    }
    if (commentFirst) {
        PutText(chunks, "COMT");
        AppendBE32(chunks, 5);
        PutText(chunks, "hello");
        chunks.push_back(0);
    }
    PutText(chunks, "COMM");
    AppendBE32(chunks, static_cast<std::uint32_t>(comm.size()));
    chunks.insert(chunks.end(), comm.begin(), comm.end());
    PutText(chunks, "SSND");
    AppendBE32(chunks, 16);
    chunks.resize(chunks.size() + 16, 0);
    Bytes b = TextBytes("FORM");
    AppendBE32(b, static_cast<std::uint32_t>(chunks.size() + 4));
    PutText(b, aifc ? "AIFC" : "AIFF");
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

Bytes ApeNew(std::uint32_t blocksPerFrame, std::uint32_t finalBlocks, std::uint32_t frames, std::uint32_t rate)
{
    Bytes b = TextBytes("MAC ");
    PutLE16(b, 3990);
    PutLE16(b, 0);
    PutLE32(b, 52);
    b.resize(52, 0);
    PutLE16(b, 2000);
    PutLE16(b, 0);
    PutLE32(b, blocksPerFrame);
    PutLE32(b, finalBlocks);
    PutLE32(b, frames);
    PutLE16(b, 16);
    PutLE16(b, 2);
    PutLE32(b, rate);
    b.resize(200, 0);
    return b;
}

Bytes ApeOld(std::uint16_t flags)
{
    Bytes b = TextBytes("MAC ");
    PutLE16(b, 3970);
    PutLE16(b, 2000);
    PutLE16(b, flags);
    b.resize(32, 0);
    if (flags & 4)
        PutLE32(b, 0);
    PutText(b, "RIFF");
    PutLE32(b, 1764016);
    PutText(b, "WAVE");
    PutChunk(b, "fmt ", PcmFormat(2, 44100, 16));
    PutText(b, "data");
    PutLE32(b, 1764000);
    b.resize(b.size() + 20, 0);
    return b;
}

Bytes Cda(std::uint8_t seconds, std::uint8_t minutes)
{
    Bytes b = TextBytes("RIFF");
    PutLE32(b, 36);
    PutText(b, "CDDAfmt ");
    b.resize(44, 0);
    b[41] = seconds;
    b[42] = minutes;
    return b;
}

Bytes Ots(std::uint32_t rate, std::uint32_t samples)
{
    Bytes b = TextBytes("Ots^Media!");
    b.resize(40, 0);
    PutText(b, "Ots!");
    b.resize(70, 0);
    PutLE32(b, rate);
    PutLE32(b, samples);
    b.resize(120, 0);
    return b;
}

// A program stream with a sequence header at 25 frames/s and a group of
// pictures at the start of each second, each followed by 9000 filler bytes.
Bytes ProgramStream(int seconds, int startHour = 0)
{
    Bytes b{0, 0, 1, 0xB3, 0x0A, 0x00, 0x78, 0x13};
    for (int s = 0; s < seconds; ++s) {
        const std::uint32_t code = (static_cast<std::uint32_t>(startHour) << 26) | (1u << 19)
            | (static_cast<std::uint32_t>(s % 60) << 13) | (static_cast<std::uint32_t>(s / 60) << 20);
        Bytes gop{0, 0, 1, 0xB8};
        AppendBE32(gop, code);
        b.insert(b.end(), gop.begin(), gop.end());
        b.resize(b.size() + 9000, 0x11);
    }
    return b;
}

TEST(ContainerInfo, DurationsOfBuiltFiles)
{
    const struct {
        const char* name;
        Bytes bytes;
        std::int32_t ms;
    } cases[] = {
        {"granule 441000 at 44100.ogg", OggVorbis(44100, 441000), 10000},
        {"rate 0.ogg", OggVorbis(0, 441000), -1},
        {"granule 480000 at 48000.opus", OggOpus(48000, 0, 480000), 10000},
        {"input 44100, 48 kHz granules less pre-skip.opus", OggOpus(44100, 312, 480312), 10000},
        {"mvhd 600 6000.m4a", Mp4(600, 6000), 10000},
        {"mvhd version 1.mp4", Mp4(44100, 441000, true), 10000},
        {"441000 samples.flac", Flac(44100, 441000), 10000},
        {"behind id3.flac", Concat({Id3v2Tag(300), Flac(44100, 441000)}), 10000},
        {"play 110000000 preroll 1000.wma", Asf(110000000, 1000), 10000},
        {"40000 us x 250.avi", Avi(40000, 250), 10000},
        {"plain.aiff", Aiff(441000, 44100, false), 10000},
        {"comment first.aif", Aiff(441000, 44100, true), 10000},
        {"version chunk.aifc", Aiff(220500, 22050, false, true), 10000},
        {"no comm.aiff", Concat({TextBytes("FORM"), Bytes{0, 0, 0, 40}, TextBytes("AIFFSSND"), Bytes(36, 0)}), -1},
        {"new.ape", ApeNew(73728, 441000 - 73728 * 5, 6, 44100), 10000},
        {"old.ape", ApeOld(0), 10000},
        {"old with peak level.mac", ApeOld(4), 10000},
        {"old without wav header.ape", ApeOld(0x20), -1},
        {"track.cda", Cda(10, 1), 70000},
        {"media.ots", Ots(44100, 441000), 10000},
        {"twenty seconds.mpg", ProgramStream(21), 20000},
        {"starts at 10 h.mpeg", ProgramStream(21, 10), 20000},
        {"too short.mpg", ProgramStream(0), -1},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File(c.name);
        WriteFile(path, c.bytes);
        EXPECT_EQ(GetFileDuration(path), c.ms);
    }
}

TEST(ContainerInfo, Mp4CodecIsTheFirstSampleDescription)
{
    const Bytes bytes = Mp4(600, 6000);
    MemorySource source(bytes);
    TMP4Info info;
    info.Parse(source);
    EXPECT_EQ(info.Codec, "mp4a");
}

// Cut short or patched anywhere, a file gives a result or none, and never
// reads past its end (the sanitizer build checks the reads).
template <typename Reader>
void SweepDamage(const Bytes& valid)
{
    for (std::size_t cut = 0; cut < valid.size(); cut += 1 + cut / 16) {
        MemorySource source(std::span<const std::uint8_t>(valid).first(cut));
        Reader reader;
        reader.Parse(source);
    }
    for (std::size_t at = 0; at < std::min<std::size_t>(valid.size(), 256); ++at) {
        for (const std::uint8_t value : {std::uint8_t{0}, std::uint8_t{0xFF}, std::uint8_t{0x80}}) {
            Bytes damaged = valid;
            damaged[at] = value;
            MemorySource source(damaged);
            Reader reader;
            reader.Parse(source);
        }
    }
}

TEST(ContainerInfo, DamagedFilesEndQuietly)
{
    SweepDamage<TOggInfo>(OggOpus(44100, 312, 480312));
    SweepDamage<TMP4Info>(Mp4(600, 6000, true));
    SweepDamage<TFLAC>(Concat({Id3v2Tag(30), Flac(44100, 441000)}));
    SweepDamage<TASFInfo>(Asf(110000000, 1000));
    SweepDamage<TAIFFInfo>(Aiff(441000, 44100, true, true));
    SweepDamage<TAPEInfo>(ApeOld(4));
    SweepDamage<TAPEInfo>(ApeNew(73728, 1, 6, 44100));
    SweepDamage<TMPEGVideo>(ProgramStream(3));
    SweepDamage<TAVIInfo>(Avi(40000, 250));
    SweepDamage<TCDAInfo>(Cda(10, 1));
    SweepDamage<TOTSInfo>(Ots(44100, 441000));
}

} // namespace
} // namespace zd
