#include <gtest/gtest.h>

#include "MPEGTestData.hpp"
#include "audio/FileDuration.hpp"
#include "audio/info/TWAVInfo.hpp"

namespace zd {
namespace {

using namespace testdata;

Bytes Chunks(std::initializer_list<std::pair<std::string_view, Bytes>> list, bool pad = true)
{
    Bytes b;
    for (const auto& [id, body] : list)
        PutChunk(b, id, body, pad);
    return b;
}

Bytes FormatWithExtra(std::uint16_t extraSize, std::size_t chunkSize)
{
    Bytes f = PcmFormat(2, 44100, 16);
    f.push_back(static_cast<std::uint8_t>(extraSize));
    f.push_back(static_cast<std::uint8_t>(extraSize >> 8));
    f.resize(chunkSize, 0);
    return f;
}

struct WavCase {
    const char* what;
    Bytes file;
    int duration;
    int formatTag;
};

TEST(WAVInfo, WalksChunksToTheData)
{
    const Bytes pcm = PcmFormat(2, 44100, 16); // 176400 bytes per second
    const Bytes tenSeconds(1764000, 0);
    Bytes shortFormat = pcm;
    shortFormat.resize(14);
    Bytes silentFormat = pcm;
    silentFormat[8] = silentFormat[9] = silentFormat[10] = silentFormat[11] = 0;
    Bytes missingData = Riff(Chunks({{"fmt ", pcm}, {"LIST", Bytes(40, 'x')}}));
    missingData.resize(missingData.size() + 200, 0);
    missingData[4] = 0x30; // RIFF size 352816: 2 s of audio beyond the 16 format bytes
    missingData[5] = 0x62;
    missingData[6] = 0x05;
    missingData[7] = 0x00;

    const WavCase cases[] = {
        {"plain PCM", Riff(Chunks({{"fmt ", pcm}, {"data", tenSeconds}})), 10000, 1},
        {"odd LIST chunk with its pad byte before data",
            Riff(Chunks({{"fmt ", pcm}, {"LIST", Bytes(27, 'i')}, {"data", Bytes(176400, 0)}})), 1000, 1},
        {"odd chunk before fmt",
            Riff(Chunks({{"bext", Bytes(33, 'b')}, {"fmt ", pcm}, {"data", Bytes(88200, 0)}})), 500, 1},
        {"fmt of 18 bytes", Riff(Chunks({{"fmt ", FormatWithExtra(0, 18)}, {"data", Bytes(17640, 0)}})), 100, 1},
        {"fmt of 40 bytes with extra data",
            Riff(Chunks({{"fmt ", FormatWithExtra(22, 40)}, {"data", Bytes(17640, 0)}})), 100, 1},
        {"fmt of size 14", Riff(Chunks({{"fmt ", shortFormat}, {"data", Bytes(17640, 0)}})), 0, 0},
        {"no bytes per second", Riff(Chunks({{"fmt ", silentFormat}, {"data", Bytes(17640, 0)}})), 0, 1},
        {"no data chunk: the RIFF size less the format stands", missingData, 2000, 1},
        {"not a WAVE file", Bytes(100, 'R'), 0, 0},
        {"shorter than a header", Bytes(43, 0), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource source(c.file);
        TWAVInfo info;
        info.Parse(source);
        EXPECT_EQ(info.Duration, c.duration);
        EXPECT_EQ(info.FormatTag, c.formatTag);
    }
}

TEST(WAVInfo, ReadsTheFormatMembers)
{
    const Bytes file = Riff(Chunks({{"fmt ", PcmFormat(1, 22050, 8)}, {"data", Bytes(22050, 0)}}));
    MemorySource source(file);
    TWAVInfo info;
    info.Parse(source);
    EXPECT_EQ(info.Channels, 1);
    EXPECT_EQ(info.SampleRate, 22050u);
    EXPECT_EQ(info.AvgBytesPerSec, 22050u);
    EXPECT_EQ(info.BlockAlign, 1);
    EXPECT_EQ(info.BitsPerSample, 8);
    EXPECT_EQ(info.Duration, 1000);
}

// Any byte of a small file changed: the walk stays inside the file and ends.
TEST(WAVInfo, PatchedBytesGiveAResultOrNone)
{
    Bytes chunks;
    PutChunk(chunks, "fmt ", PcmFormat(2, 8000, 16));
    PutChunk(chunks, "LIST", Bytes(5, 'l'));
    PutChunk(chunks, "data", Bytes(64, 1));
    const Bytes original = Riff(chunks);
    for (std::size_t at = 0; at < original.size(); ++at) {
        for (const std::uint8_t value : {0x00, 0x01, 0x7F, 0xFF}) {
            Bytes patched = original;
            patched[at] = value;
            MemorySource source(patched);
            TWAVInfo info;
            info.Parse(source);
            EXPECT_GE(info.Duration, 0) << at;
        }
    }
}

TEST(WAVInfo, FacadeReadsWavFiles)
{
    TempFolder folder;
    WriteFile(folder.File("tiny.wav"), TinyWav(16000)); // 2 s at 8000 Hz
    WriteFile(folder.File("empty.wav"), Bytes{});
    EXPECT_EQ(GetFileDuration(folder.File("tiny.wav")), 2000);
    EXPECT_EQ(GetFileDuration(folder.File("empty.wav")), -1);
}

} // namespace
} // namespace zd
