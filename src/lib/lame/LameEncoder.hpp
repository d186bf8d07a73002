#pragma once

#include "common/Error.hpp"

#include <lame/lame.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zd {

// A refusal of the MP3 encoder; the message is "LAME Error: " and its code.
class LameError : public Error {
public:
    explicit LameError(int code) : Error("EMP3Error", "LAME Error: " + std::to_string(code)) {}
};

// What the encoder is set up with.
struct LameSettings {
    int SampleRate = 44100;    // of the PCM handed to Encode
    int Channels = 2;          // of the PCM handed to Encode: 1 (always mono mode) or 2
    MPEG_mode Mode = JOINT_STEREO;
    int KbitRate = 128;        // constant bit rate
    int Quality = 3;           // 0 (best) to 9
    bool Original = true;
    bool Copyright = false;
    bool Crc = false;
    bool BitReservoir = true;
    bool StrictIso = false;
};

// One LAME encoder stream: constant-bitrate MP3 without an information
// header, from interleaved 16-bit PCM. Not copyable; movable.
class LameEncoder {
public:
    // Throws LameError when LAME refuses the settings.
    explicit LameEncoder(const LameSettings& settings);

    // Channels per sample frame that Encode expects.
    int InputChannels() const noexcept { return inputChannels_; }

    // Encodes whole sample frames of interleaved PCM with InputChannels()
    // channels; returns the MP3 bytes it produced (valid until the next
    // call). Throws LameError.
    std::span<const std::uint8_t> Encode(std::span<const std::int16_t> pcm);

    // Flushes what LAME still holds (the last frames, padded). Throws LameError.
    std::span<const std::uint8_t> Flush();

private:
    struct Close {
        void operator()(lame_global_flags* p) const noexcept { lame_close(p); }
    };
    std::unique_ptr<lame_global_flags, Close> lame_;
    int inputChannels_ = 2;
    std::vector<std::uint8_t> mp3_;
};

} // namespace zd
