#pragma once

#include <cstddef>
#include <span>

namespace zd {

// What a decoder plug-in's thread calls while it decodes: the output module
// it was given. The decoder host (TWinampIn) realises it.
class DecoderOutput {
public:
    virtual ~DecoderOutput() = default;

    // The decoder announces its PCM format; returns 1 (accepted).
    virtual int Open(int sampleRate, int channels, int bitsPerSample) = 0;
    // Hands over a block of interleaved PCM; returns 0 when taken or
    // dropped, 1 when refused (shorter than 8 bytes).
    virtual int Write(std::span<const std::byte> block) = 0;
    // How many bytes the next Write may hand over. When the answer is
    // smaller than the block, it has waited a moment and the decoder asks
    // again.
    virtual int CanWrite() = 0;
    // The decoder has handed over the last block of the audio (until a seek).
    virtual void Ended() = 0;
    // False once the decoder has been told to stop.
    virtual bool IsPlaying() const = 0;
};

} // namespace zd
