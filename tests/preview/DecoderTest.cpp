#include <gtest/gtest.h>

#include "audio/TempInstallation.hpp"
#include "audio/tags/TAPETags.hpp"
#include "preview/PluginChoice.hpp"
#include "preview/TWinampIn.hpp"
#include "support/AudioTools.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace zd {
namespace {

using namespace testsupport;

constexpr int kRate = 44100;

// A temporary installation with generated audio on drive C, each file with
// the station's APEv2 tag at its end.
class DecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!HaveTool("ffmpeg"))
            return;
        install_ = std::make_unique<testing::TempInstallation>();
        std::filesystem::create_directories(install_->OnDriveC("Audio"));
        for (const AudioKind& kind : AudioKinds())
            Tagged(MakeTone(Native("tone" + std::string(kind.Extension)), 3.0, kind.Codec), "tone" + std::string(kind.Extension));
        Tagged(MakeClick(Native("click.wav"), 12.0, 10 * kRate, "-c:a pcm_s16le"), "click.wav");
        Tagged(MakeClick(Native("click.flac"), 12.0, 10 * kRate, "-c:a flac"), "click.flac");
        Tagged(MakeClick(Native("click.mp3"), 12.0, 10 * kRate, "-c:a libmp3lame -b:a 192k"), "click.mp3");
        Tagged(MakeClick(Native("early.wav"), 6.0, 5 * kRate, "-c:a pcm_s16le"), "early.wav");
        Tagged(MakeTone(Native("square.wav"), 1.0, "-c:a pcm_s16le -af volume=40", kRate, 2, 100), "square.wav");
        std::ofstream(Native("garbage.mp3"), std::ios::binary) << std::string(5000, 'x');
    }
    static void TearDownTestSuite() { install_.reset(); }

    void SetUp() override
    {
        if (!install_)
            GTEST_SKIP() << "ffmpeg missing";
    }

    static std::string Native(const std::string& name) { return install_->OnDriveC("Audio/" + name).string(); }
    static std::string Marked(const std::string& name) { return "C:\\Audio\\" + name; }
    static void Tagged(bool made, const std::string& name)
    {
        ASSERT_TRUE(made) << name;
        TAPETags tags(Marked(name), 3, TAPETags::ModeReadWrite);
        tags.SetField("Title", name);
        tags.WriteTags();
        ASSERT_FALSE(tags.Error()) << name;
    }

    // A decoder loaded for the file, started at cueMs.
    static std::unique_ptr<TWinampIn> Decoder(const std::string& name, std::int32_t cueMs = 0, std::uint32_t gain = 0)
    {
        auto decoder = std::make_unique<TWinampIn>();
        decoder->FileName = Marked(name);
        decoder->PluginFilename = ChoosePlugin(decoder->FileName);
        if (!decoder->PluginFilename.empty())
            decoder->LoadPlugin();
        decoder->CueTime = cueMs;
        decoder->ReplayGain = gain;
        return decoder;
    }

    // Every sample the decoder delivers, read in encoder-sized pieces.
    static std::vector<std::int16_t> ReadAll(TWinampIn& decoder)
    {
        std::vector<std::int16_t> samples;
        std::vector<std::byte> block(4608);
        while (const std::size_t n = decoder.GetData(block)) {
            const std::size_t at = samples.size();
            samples.resize(at + n / 2);
            std::memcpy(samples.data() + at, block.data(), n);
        }
        return samples;
    }

    static std::size_t LoudestFrame(const std::vector<std::int16_t>& samples)
    {
        const auto loudest = std::max_element(samples.begin(), samples.end(),
                                              [](std::int16_t a, std::int16_t b) { return std::abs(a) < std::abs(b); });
        return static_cast<std::size_t>(loudest - samples.begin()) / 2;
    }

    static inline std::unique_ptr<testing::TempInstallation> install_;
};

// Every container plays to the end of its audio, past the station's tag,
// as 16-bit stereo PCM at the file's rate.
TEST_F(DecoderTest, EveryKindPlaysToTheEnd)
{
    for (const AudioKind& kind : AudioKinds()) {
        const std::string name = "tone" + std::string(kind.Extension);
        SCOPED_TRACE(name);
        auto decoder = Decoder(name);
        ASSERT_TRUE(decoder->Init());
        EXPECT_EQ(decoder->Channels(), 2);
        EXPECT_EQ(decoder->BitsPerSample(), 16);
        const int rate = decoder->SampleRate();
        EXPECT_TRUE(rate == kRate || (name == "tone.opus" && rate == 48000)) << rate;
        EXPECT_TRUE(decoder->Seekable());
        EXPECT_NEAR(decoder->LengthMs(), 2900, 60);
        const double seconds = static_cast<double>(ReadAll(*decoder).size()) / 2 / rate;
        EXPECT_NEAR(seconds, 3.0, 0.03);
        decoder->Flush();
        EXPECT_FALSE(decoder->Opened());
    }
}

// From 8000 ms on the start is sought to the exact sample frame: the click
// at 10.000 s is the first frame delivered (within a few frames for MP3).
TEST_F(DecoderTest, SeekIsSampleAccurate)
{
    const struct {
        const char* name;
        std::size_t tolerance;
    } cases[] = {{"click.wav", 0}, {"click.flac", 0}, {"click.mp3", 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoder = Decoder(c.name, 10000);
        ASSERT_TRUE(decoder->Init());
        EXPECT_EQ(decoder->StartSample, 10 * kRate);
        EXPECT_EQ(decoder->Position(), 10LL * kRate * 4);
        const auto samples = ReadAll(*decoder);
        EXPECT_LE(LoudestFrame(samples), c.tolerance);
        EXPECT_NEAR(static_cast<double>(samples.size()) / 2 / kRate, 2.0, 0.1);
    }
}

// Below 8000 ms the start is reached by decoding and dropping whole blocks:
// the block that reaches the start is kept, so the click at 5 s lies within
// the first block.
TEST_F(DecoderTest, ShortStartDropsWholeBlocks)
{
    auto decoder = Decoder("early.wav", 5000);
    ASSERT_TRUE(decoder->Init());
    EXPECT_EQ(decoder->StartSample, 0);
    const auto samples = ReadAll(*decoder);
    EXPECT_LT(LoudestFrame(samples), 9216 / 4);
    EXPECT_NEAR(static_cast<double>(samples.size()) / 2 / kRate, 1.0, 0.06);
}

// The 16.16 replay-gain factor scales every sample, truncating toward zero
// and clamping at full scale.
TEST_F(DecoderTest, ReplayGainScalesAndClamps)
{
    auto plain = Decoder("tone.wav");
    ASSERT_TRUE(plain->Init());
    const auto original = ReadAll(*plain);
    auto halved = Decoder("tone.wav", 0, 32768);
    ASSERT_TRUE(halved->Init());
    const auto half = ReadAll(*halved);
    ASSERT_EQ(half.size(), original.size());
    for (std::size_t i = 0; i < half.size(); ++i)
        ASSERT_EQ(half[i], original[i] / 2) << i;

    auto loud = Decoder("square.wav", 0, 4 * 65536);
    ASSERT_TRUE(loud->Init());
    const auto clamped = ReadAll(*loud);
    EXPECT_EQ(*std::max_element(clamped.begin(), clamped.end()), 32767);
    EXPECT_EQ(*std::min_element(clamped.begin(), clamped.end()), -32768);
}

// A file without a decoder or one no decoder can read does not open; a
// decoder without a file name is a programming error.
TEST_F(DecoderTest, FailuresToOpen)
{
    std::ofstream(Native("tone.xyz"), std::ios::binary) << "data";
    for (const char* name : {"tone.xyz", "garbage.mp3", "missing.mp3"}) {
        SCOPED_TRACE(name);
        auto decoder = Decoder(name);
        EXPECT_FALSE(decoder->Init());
        EXPECT_FALSE(decoder->Opened());
    }
    TWinampIn unnamed;
    unnamed.PluginFilename = "in_mp3.dll";
    unnamed.LoadPlugin();
    EXPECT_THROW(unnamed.LoadPlugin(), DecoderError);
    EXPECT_THROW(unnamed.Init(), DecoderError);
}

} // namespace
} // namespace zd
