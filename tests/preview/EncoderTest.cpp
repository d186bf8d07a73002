#include <gtest/gtest.h>

#include "preview/PcmInput.hpp"
#include "preview/PreviewBuffer.hpp"
#include "preview/TMP3Out.hpp"
#include "support/AudioTools.hpp"
#include "support/TempFolder.hpp"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

namespace zd {
namespace {

using namespace testsupport;
using namespace std::chrono_literals;

// A tone of a given length (or without end) as 16-bit PCM.
class ToneInput : public PcmInput {
public:
    ToneInput(int rate, int channels, double seconds) : rate_(rate), channels_(channels),
        frames_(seconds < 0 ? -1 : static_cast<std::int64_t>(seconds * rate)) {}

    bool Init() override { return opens_; }
    std::size_t GetData(std::span<std::byte> out) override
    {
        std::size_t n = 0;
        while (n + 2 * channels_ <= out.size() && (frames_ < 0 || done_ < frames_)) {
            const auto value = static_cast<std::int16_t>(10000 * std::sin(done_ * 2 * M_PI * 440 / rate_));
            for (int c = 0; c < channels_; ++c, n += 2)
                std::memcpy(out.data() + n, &value, 2);
            ++done_;
        }
        return n;
    }
    void Flush() noexcept override { ++flushes_; }
    int SampleRate() const noexcept override { return rate_; }
    int Channels() const noexcept override { return channels_; }
    int BitsPerSample() const noexcept override { return 16; }

    bool opens_ = true;
    std::atomic<int> flushes_{0};

private:
    int rate_;
    int channels_;
    std::int64_t frames_;
    std::int64_t done_ = 0;
};

bool WaitForStatus(TMP3Out& encoder, int status)
{
    for (int i = 0; i < 500 && encoder.Status() != status; ++i)
        std::this_thread::sleep_for(10ms);
    return encoder.Status() == status;
}

// Each preview choice gives constant-bitrate MPEG layer III at its rate;
// mono choices mix stereo down, a mono source stays mono in every choice.
TEST(MP3Out, PresetsAsFfprobeSeesThem)
{
    if (!HaveTool("ffprobe"))
        GTEST_SKIP() << "ffprobe missing";
    TempFolder folder;
    const struct {
        int preset;
        int channels;
        int kbit;
        int expectedChannels;
    } cases[] = {{0, 2, 48, 1}, {1, 2, 64, 1}, {2, 2, 96, 2}, {3, 2, 128, 2}, {2, 1, 96, 1}, {3, 1, 128, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.preset * 10 + c.channels);
        ToneInput input(44100, c.channels, 2.0);
        PreviewBuffer buffer(1 << 20);
        TMP3Out encoder;
        ApplyPreviewPreset(encoder, c.preset);
        EXPECT_EQ(KbitRate(encoder.BitRate), c.kbit);
        encoder.Input = &input;
        encoder.Stream = &buffer;
        encoder.SetDelay(0);
        encoder.Run();
        ASSERT_TRUE(WaitForStatus(encoder, 3));
        EXPECT_EQ(input.flushes_.load(), 1);
        const std::string path = folder.File("out.mp3");
        const auto bytes = buffer.Bytes(0, buffer.WritePosition());
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        const ProbedAudio probed = ProbeAudio(path);
        EXPECT_EQ(probed.Codec, "mp3");
        EXPECT_EQ(probed.BitRate, c.kbit * 1000);
        EXPECT_EQ(probed.Channels, c.expectedChannels);
        // Constant rate and no information header: the length follows from the rate.
        EXPECT_NEAR(static_cast<double>(bytes.size()) * 8 / (c.kbit * 1000), 2.0, 0.1);
        EXPECT_NEAR(static_cast<double>(DecodeWithFfmpeg(path, 1).size()) / probed.SampleRate, 2.05, 0.06);
    }
}

TEST(MP3Out, MixDownTruncatesTowardZero)
{
    std::int16_t pairs[] = {-3, 0, 3, 0, 32767, 32767, -32768, -32768, 5, -6};
    const std::int16_t mixed[] = {-1, 1, 32767, -32768, 0};
    EXPECT_EQ(MixDownStereo(std::span<std::int16_t>(pairs)), 5u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(pairs[i], mixed[i]) << i;
}

// The encoder never writes past the buffer's reserve: it stops there.
TEST(MP3Out, StopsAtTheReserve)
{
    ToneInput input(44100, 2, -1);
    PreviewBuffer buffer(5000);
    TMP3Out encoder;
    encoder.Input = &input;
    encoder.Stream = &buffer;
    encoder.Run();
    ASSERT_TRUE(WaitForStatus(encoder, 3));
    EXPECT_EQ(buffer.WritePosition(), 5000u);
}

// Stop ends an endless input; the worker goes idle and closes the input.
// An input that does not open, and settings the encoder refuses, leave the
// stream without bytes.
TEST(MP3Out, StopAndFailuresToStart)
{
    ToneInput endless(44100, 2, -1);
    PreviewBuffer buffer(64 << 20);
    TMP3Out encoder;
    encoder.Input = &endless;
    encoder.Stream = &buffer;
    encoder.SetDelay(5);
    EXPECT_EQ(encoder.Delay(), 5);
    encoder.SetDelay(101);
    EXPECT_EQ(encoder.Delay(), 5);
    EXPECT_EQ(encoder.Status(), 3);
    encoder.Run();
    EXPECT_EQ(encoder.Status(), 0);
    std::this_thread::sleep_for(50ms);
    encoder.Stop();
    ASSERT_TRUE(WaitForStatus(encoder, 3));
    EXPECT_EQ(endless.flushes_.load(), 1);
    EXPECT_GT(buffer.WritePosition(), 0u);

    ToneInput closed(44100, 2, 1.0);
    closed.opens_ = false;
    ToneInput refused(44100, 3, 1.0);
    for (ToneInput* input : {&closed, &refused}) {
        PreviewBuffer empty(1 << 20);
        TMP3Out failing;
        failing.Input = input;
        failing.Stream = &empty;
        failing.Run();
        EXPECT_EQ(failing.Status(), 3);
        EXPECT_EQ(empty.WritePosition(), 0u);
    }
    TMP3Out unassigned;
    unassigned.Run();
    EXPECT_EQ(unassigned.LastError(), "Input is not assigned");
}

} // namespace
} // namespace zd
