#pragma once

#include <cstddef>
#include <span>

namespace zd {

// The source the MP3 encoder pulls 16-bit PCM from (the decoder of a
// preview). Init and GetData run on the encoder's thread.
class PcmInput {
public:
    virtual ~PcmInput() = default;

    // Opens the source; true when PCM can be read. Calling it again while
    // open returns true.
    virtual bool Init() = 0;
    // The next PCM bytes (whole sample frames), at most out.size(); 0 at the
    // end of the stream. Blocks while the source is behind.
    virtual std::size_t GetData(std::span<std::byte> out) = 0;
    // Closes the source. noexcept.
    virtual void Flush() noexcept = 0;

    virtual int SampleRate() const noexcept = 0;
    virtual int Channels() const noexcept = 0;
    virtual int BitsPerSample() const noexcept = 0;
};

} // namespace zd
