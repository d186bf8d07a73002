#pragma once

#include "preview/PreviewBuffer.hpp"
#include "preview/TMP3Out.hpp"
#include "preview/TWinampIn.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace zd {

// The parts of one running preview: the decoder, the encoder that reads it
// and the buffer the encoder fills. Only the stream's connection thread
// uses them (start, send loop, close); another thread may only ask it to
// end (RequestEnd), which the send loop sees at once. Destroying it ends
// the encoder's thread, then the decoder's.
class PreviewStream {
public:
    // The decoder and the encoder (idle) are made here; the encoder reads
    // the decoder.
    explicit PreviewStream(std::string login);
    ~PreviewStream();
    PreviewStream(const PreviewStream&) = delete;
    PreviewStream& operator=(const PreviewStream&) = delete;

    const std::string& Login() const noexcept { return login_; }
    TWinampIn& Decoder() noexcept { return *decoder_; }
    TMP3Out& Encoder() noexcept { return *encoder_; }
    bool HasEncoder() const noexcept { return encoder_ != nullptr; }

    // Reserves the MP3 buffer (bytes) and makes it the encoder's output.
    // Throws std::bad_alloc.
    void ReserveBuffer(std::size_t bytes);
    PreviewBuffer* Buffer() noexcept { return buffer_.get(); }

    // Any thread: asks the send loop to end. noexcept.
    void RequestEnd() noexcept;
    bool EndRequested() const noexcept { return endRequested_.load(); }

    // The close's steps, in this order; each throws what freeing its part
    // throws, and is a no-op once done.
    void FreeEncoder();
    void FreeDecoder();
    void FreeBuffer();

private:
    std::string login_;
    std::unique_ptr<TWinampIn> decoder_;
    std::unique_ptr<TMP3Out> encoder_;
    std::mutex bufferMutex_; // the buffer's creation against RequestEnd
    std::unique_ptr<PreviewBuffer> buffer_;
    std::atomic<bool> endRequested_{false};
};

} // namespace zd
