#pragma once

#include "lib/ffmpeg/FfmpegOwners.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zd {

// Decodes the first audio stream of a file to interleaved signed 16-bit PCM
// at the file's own sample rate, with the file's channel count (more than two
// channels are mixed down to stereo). One thread at a time; not copyable.
class AudioDecoder {
public:
    static constexpr int kMaxChannels = 2;

    // Opens the file at the native path and its audio decoder. Throws
    // FfmpegError when the file cannot be opened, holds no audio stream or
    // its codec is missing.
    explicit AudioDecoder(const std::string& path);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    int SampleRate() const noexcept { return sampleRate_; }
    int Channels() const noexcept { return channels_; }
    // The play length the container states in milliseconds; -1 when unknown.
    std::int64_t LengthMs() const noexcept;
    // True when the file can be positioned (a local file with a known length).
    bool Seekable() const noexcept;

    // The next block of PCM (whole sample frames); empty at the end of the
    // audio. A damaged packet is skipped and a read failure ends the audio,
    // as trailing tags and cut files must still play to their end. The block
    // stays valid until the next call. Throws FfmpegError only when the
    // sample converter cannot be set up.
    std::span<const std::int16_t> Next();

    // Continues exactly at that sample frame: positions the file before it
    // (allowing for the codec's pre-roll), then decodes and drops up to it.
    // Throws FfmpegError when the file cannot be positioned.
    void SeekToFrame(std::int64_t frame);

private:
    bool ReceiveFrame();
    std::size_t Convert();
    void ConfigureConverter();
    std::int64_t FrameStart() const noexcept;

    FormatContextPtr format_;
    CodecContextPtr codec_;
    SwrPtr swr_;
    FramePtr frame_;
    PacketPtr packet_;
    AVStream* stream_ = nullptr;
    int sampleRate_ = 0;
    int channels_ = 0;
    std::vector<std::int16_t> pcm_;
    std::int64_t nextFrame_ = 0; // output frame of the next sample delivered
    std::int64_t dropUntil_ = -1; // after a seek: frames before this are dropped
    bool inputEnded_ = false;
    AVChannelLayout swrLayout_{};  // the converter's input format
    int swrFormat_ = -1;
    int swrRate_ = 0;
};

} // namespace zd
