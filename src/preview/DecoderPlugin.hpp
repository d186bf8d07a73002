#pragma once

#include "preview/DecoderOutput.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zd {

class AudioDecoder;

// The decoder a player slot loads for a file: FFmpeg behind the interface of
// an input plug-in. Play opens the file and starts the plug-in's own
// decoding thread, which announces the PCM format to the output module and
// hands it the PCM in blocks of at most kBlockBytes, asking CanWrite before
// each. At the end of the audio the thread waits for a seek or the stop.
// Play, SetOutputFrame and Stop are called by one thread at a time (the
// decoder host serialises them).
class DecoderPlugin {
public:
    static constexpr std::size_t kBlockBytes = 9216;

    // name: the decoder's name from the extension table ("in_flac.dll").
    explicit DecoderPlugin(std::string name);
    ~DecoderPlugin();
    DecoderPlugin(const DecoderPlugin&) = delete;
    DecoderPlugin& operator=(const DecoderPlugin&) = delete;

    const std::string& Name() const noexcept { return name_; }
    std::string Description() const;

    // Opens the file at the native path and starts decoding into out.
    // Throws FfmpegError when the file cannot be played; a running play is
    // stopped first.
    void Play(const std::string& nativePath, DecoderOutput& out);
    // Ends the decoding thread and closes the file. noexcept.
    void Stop() noexcept;

    // Continues decoding exactly at that sample frame. Returns once the
    // decoding thread has positioned the file, so nothing decoded before
    // the seek is handed over after it. A file that cannot be positioned
    // ends its audio there. noexcept.
    void SetOutputFrame(std::int64_t frame) noexcept;

    // True once the decoding thread has handed over the last block of the
    // audio (cleared by a seek). noexcept.
    bool AudioEnded() const noexcept { return ended_.load(); }

    // Facts of the open file (false and -1 when none is open).
    bool IsSeekable() const noexcept;
    std::int64_t LengthMs() const noexcept;

private:
    enum class Command { None, Seek, Stop };
    enum class Step { Go, Seeked, Stop };

    void Run(DecoderOutput& out) noexcept;
    Step HandleCommand(bool& ended) noexcept;

    std::string name_;
    std::unique_ptr<AudioDecoder> decoder_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Command command_ = Command::None;
    std::int64_t seekFrame_ = 0;
    std::atomic<bool> ended_{false};
};

} // namespace zd
