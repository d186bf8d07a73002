#include <gtest/gtest.h>

#include <random>

#include "MPEGTestData.hpp"
#include "audio/FileDuration.hpp"
#include "audio/info/TMPEGInfo.hpp"

namespace zd {
namespace {

using namespace testdata;

struct HeaderCase {
    std::uint32_t header;
    bool valid;
    int version, layer, sampleRate, bitrate, frameLength, channelMode;
};

TEST(MPEGHeader, DecodesTheStandardTables)
{
    const HeaderCase cases[] = {
        {0xFFFB9000, true, 1, 3, 44100, 128, 417, 0},  // MPEG-1 Layer III
        {0xFFFB9200, true, 1, 3, 44100, 128, 418, 0},  // padded
        {0xFFFB90C0, true, 1, 3, 44100, 128, 417, 3},  // single channel
        {0xFFF38000, true, 2, 3, 22050, 64, 208, 0},   // MPEG-2 Layer III
        {0xFFE31800, true, 3, 3, 8000, 8, 72, 0},      // MPEG-2.5 Layer III
        {0xFFFF1400, true, 1, 1, 48000, 32, 32, 0},    // MPEG-1 Layer I
        {0xFFFF1600, true, 1, 1, 48000, 32, 36, 0},    // Layer I padding is 4 bytes
        {0xFFFDE000, true, 1, 2, 44100, 384, 1253, 0}, // MPEG-1 Layer II
        {0xFFF5E000, true, 2, 2, 22050, 160, 522, 0},  // MPEG-2 Layer II
        {0xFFEB9000, false, 0, 3, 0, 0, 0, 0},         // reserved version
        {0xFFF99000, false, 1, 0, 44100, 0, 0, 0},     // reserved layer
        {0xFFFBF000, false, 1, 3, 44100, 0, 0, 0},     // bitrate index 15
        {0xFFFB0000, false, 1, 3, 44100, 0, 0, 0},     // free format
        {0xFFFB9C00, false, 1, 3, 0, 128, 0, 0},       // sample-rate index 3
        {0x7FFB9000, false, 0, 0, 0, 0, 0, 0},         // no sync
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.header);
        TMPEGInfo info;
        EXPECT_EQ(info.DecodeHeader(c.header), c.valid);
        EXPECT_EQ(info.Version, c.version);
        EXPECT_EQ(info.Layer, c.layer);
        EXPECT_EQ(info.SampleRate, c.sampleRate);
        EXPECT_EQ(info.Bitrate, c.bitrate);
        EXPECT_EQ(info.FrameLength, c.frameLength);
        if (c.valid) {
            EXPECT_EQ(info.ChannelMode, c.channelMode);
        }
    }
}

// Frames with a Xing/Info header of the given frame count in the first one.
Bytes WithVbrHeader(std::uint32_t header, std::size_t frameLength, std::size_t offset, std::string_view id,
    std::uint32_t frames)
{
    Bytes file = MpegFrames(header, 20, frameLength);
    std::copy(id.begin(), id.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
    PutBE32(file, offset + 4, 1);
    PutBE32(file, offset + 8, frames);
    return file;
}

struct SearchCase {
    const char* what;
    Bytes file;
    int duration;
    int audioSize;
};

std::vector<SearchCase> SearchCases()
{
    std::vector<SearchCase> cases;
    {
        Bytes file = Id3v2Tag(1034);
        const Bytes audio = MpegFrames(kMpeg1Header, 3, kMpeg1FrameLength);
        file.insert(file.end(), audio.begin(), audio.end());
        file.resize(1034 + 1000000, 0x41);
        cases.push_back({"constant bitrate after ID3v2", std::move(file), 62500, 1000000});
    }
    cases.push_back({"Xing 1000 frames at 44100 Hz",
        WithVbrHeader(kMpeg1Header, kMpeg1FrameLength, 36, "Xing", 1000), 26122, 20 * 417});
    cases.push_back({"Xing 1000 frames at 22050 Hz",
        WithVbrHeader(kMpeg2Header, kMpeg2FrameLength, 21, "Xing", 1000), 26122, 20 * 208});
    cases.push_back({"Xing of a single-channel MPEG-1 file",
        WithVbrHeader(0xFFFB90C0, kMpeg1FrameLength, 21, "Xing", 1000), 26122, 20 * 417});
    cases.push_back({"Info with no frames", WithVbrHeader(kMpeg1Header, kMpeg1FrameLength, 36, "Info", 0), 0,
        20 * 417});
    {
        Bytes file = MpegFrames(kMpeg1Header, 20, kMpeg1FrameLength);
        std::copy_n("VBRI", 4, file.begin() + 36);
        PutBE32(file, 36 + 10, 200000);
        PutBE32(file, 36 + 14, 500);
        cases.push_back({"VBRI byte and frame counts", std::move(file), 13061, 200000});
    }
    {
        Bytes file(1000, 0x33);
        file[10] = 0xFF; // a lone sync-like header with no frame after it
        file[11] = 0xFB;
        file[12] = 0x90;
        file[13] = 0x00;
        const Bytes audio = MpegFrames(kMpeg1Header, 4, kMpeg1FrameLength);
        file.insert(file.end(), audio.begin(), audio.end());
        cases.push_back({"junk and a false header before the frames", std::move(file),
            static_cast<int>(std::nearbyint((1000.0 + 4 * 417) * 8 / 128)), 1000 + 4 * 417});
    }
    cases.push_back({"one frame only", MpegFrames(kMpeg1Header, 1, kMpeg1FrameLength), 0, 417});
    cases.push_back({"five bytes", Bytes{0xFF, 0xFB, 0x90, 0x00, 0x00}, 0, 0});
    return cases;
}

TEST(MPEGInfo, FindsTwoFramesAndReadsVbrHeaders)
{
    for (auto& c : SearchCases()) {
        SCOPED_TRACE(c.what);
        MemorySource source(c.file);
        TMPEGInfo info;
        info.Parse(source);
        EXPECT_EQ(info.Duration, c.duration);
        EXPECT_EQ(info.AudioSize, c.audioSize);
    }
}

TEST(MPEGInfo, VbrResultsAverageTheBitrate)
{
    const Bytes file = WithVbrHeader(kMpeg1Header, kMpeg1FrameLength, 36, "Xing", 1000);
    MemorySource source(file);
    TMPEGInfo info;
    info.Parse(source);
    EXPECT_EQ(info.SampleRate, 44100);
    EXPECT_EQ(info.FrameLength, 20 * 417 / 1000);
    EXPECT_EQ(info.Bitrate, 20 * 417 * 8 / 26122);
}

// Records how far into the file the reader asked for bytes.
class WatchedSource final : public ByteSource {
public:
    explicit WatchedSource(const Bytes& bytes) : inner_(bytes) {}
    std::int64_t Size() const noexcept override { return inner_.Size(); }
    std::size_t ReadAt(std::int64_t pos, std::span<std::uint8_t> out) override
    {
        furthest = std::max(furthest, pos);
        return inner_.ReadAt(pos, out);
    }
    std::int64_t furthest = 0;

private:
    MemorySource inner_;
};

TEST(MPEGInfo, RandomBytesCostABoundedSearch)
{
    std::mt19937 random(20261210);
    Bytes noise(2 * 1024 * 1024);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(random());
    WatchedSource source(noise);
    TMPEGInfo info;
    info.Parse(source);
    EXPECT_EQ(info.Duration, 0);
    EXPECT_EQ(info.Version, 0);
    EXPECT_EQ(info.AudioSize, static_cast<int>(noise.size()));
    // Reads start no further than the skip limit plus the header-sized steps.
    EXPECT_LE(source.furthest, TMPEGInfo::SkipLimit + 4 * 1024);
}

// Any byte of the headers changed: the search stays inside the file and ends.
TEST(MPEGInfo, PatchedHeaderBytesGiveAResultOrNone)
{
    Bytes original = Id3v2Tag(20);
    const Bytes frames = WithVbrHeader(kMpeg1Header, kMpeg1FrameLength, 36, "Xing", 1000);
    original.insert(original.end(), frames.begin(), frames.begin() + 3 * 417 + 8);
    for (std::size_t at = 0; at < 80; ++at) {
        for (const std::uint8_t value : {0x00, 0x7F, 0xFF}) {
            Bytes patched = original;
            patched[at] = value;
            MemorySource source(patched);
            TMPEGInfo info;
            info.Parse(source);
            EXPECT_GE(info.Duration, 0) << at;
            EXPECT_LE(info.AudioSize, static_cast<int>(patched.size())) << at;
        }
    }
}

TEST(MPEGInfo, FacadeReportsUnknownLengthAsMinusOne)
{
    TempFolder folder;
    WriteFile(folder.File("info0.mp3"), WithVbrHeader(kMpeg1Header, kMpeg1FrameLength, 36, "Info", 0));
    WriteFile(folder.File("xing.MP3"), WithVbrHeader(kMpeg1Header, kMpeg1FrameLength, 36, "Xing", 1000));
    WriteFile(folder.File("noise.mp2"), Bytes(4000, 0x12));
    EXPECT_EQ(GetFileDuration(folder.File("info0.mp3")), -1);
    EXPECT_EQ(GetFileDuration(folder.File("xing.MP3")), 26122);
    EXPECT_EQ(GetFileDuration(folder.File("noise.mp2")), -1);
    EXPECT_EQ(GetFileDuration(folder.File("missing.mp3")), -1);
}

} // namespace
} // namespace zd
