#pragma once

#include "common/Error.hpp"
#include "preview/DecoderOutput.hpp"
#include "preview/HostLock.hpp"
#include "preview/PcmInput.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zd {

class DecoderPlugin;

// A failure of the decoder host ("No input plugin is loaded", "The file
// name is not assigned", a plug-in that cannot be loaded).
class DecoderError : public Error {
public:
    explicit DecoderError(const std::string& message) : Error("EWinampInError", message) {}
};

// The decoder of one preview stream: hosts the decoder plug-in chosen for
// the file, runs it on the plug-in's own thread as that plug-in's output
// module, and keeps the PCM it delivers in a queue that the encoder reads.
//
// Threads: the connection thread sets the properties, loads the plug-in,
// calls Init and destroys the object; the encoder's thread calls Init and
// GetData; the plug-in's thread calls the output module. The queue is
// guarded by the queue lock; play, seek, open and close by the host lock;
// the flags are single atomic words.
class TWinampIn final : public PcmInput, private DecoderOutput {
public:
    // Below this start position the start is reached by decoding and
    // dropping; from it on, by seeking.
    static constexpr std::int32_t kSeekFromMs = 8000;
    // Seconds of PCM the queue of a local file holds (the server's value).
    static constexpr int kBufferSeconds = 1;
    // One second of 44100 Hz 16-bit stereo.
    static constexpr std::int64_t kSecondOfCdAudio = 176400;
    static constexpr std::chrono::milliseconds kOpenWait{2000};
    static constexpr std::chrono::milliseconds kReadWait{2000};
    static constexpr std::chrono::milliseconds kReadWaitNearEnd{200};
    static constexpr std::chrono::milliseconds kPlayRetry{750};
    static constexpr int kPlayAttempts = 2;
    static constexpr std::int64_t kOpenPrefill = 600;
    static constexpr int kInvitedBlock = 9216;

    // Published properties; set them before Init.
    std::string FileName;         // marked text
    std::string PluginFilename;   // the decoder chosen from the extension table
    std::int32_t CueTime = 0;     // start position in ms
    std::int64_t StartSample = 0;
    std::int64_t EndSample = -1;  // -1: none
    std::uint32_t ReplayGain = 0; // 16.16 factor; 0: untouched

    TWinampIn();
    // Unloads the plug-in (closing the file first). noexcept.
    ~TWinampIn() override;
    TWinampIn(const TWinampIn&) = delete;
    TWinampIn& operator=(const TWinampIn&) = delete;

    // Loads the decoder named by PluginFilename. Throws DecoderError when
    // one is loaded already or the name is no decoder of the table.
    void LoadPlugin();
    // Closes the file when open and releases the decoder. noexcept.
    void UnloadPlugin() noexcept;
    bool PluginLoaded() const noexcept { return plugin_ != nullptr; }

    // Opens FileName and reaches CueTime; true when PCM can be read. True
    // at once while open. Throws DecoderError when no file name is set;
    // every other failure gives false.
    bool Init() override;
    // The next PCM bytes, at most out.size() and never more than one queued
    // block; 0 after kReadWait (kReadWaitNearEnd near the end) without
    // data, or once the decoder has delivered the end of its audio and the
    // queue is empty (or EndSample is reached). Applies ReplayGain.
    std::size_t GetData(std::span<std::byte> out) override;
    // Continues from that sample frame (nothing when not seekable).
    void Seek(std::int64_t sampleFrame);
    // Closes the file; the plug-in stays loaded. noexcept.
    void Flush() noexcept override;

    // When false, PCM from the decoder is dropped.
    void SetAcceptData(bool accept) noexcept;
    bool AcceptData() const noexcept { return acceptData_.load(); }

    int SampleRate() const noexcept override { return sampleRate_.load(); }
    int Channels() const noexcept override { return channels_.load(); }
    int BitsPerSample() const noexcept override { return bitsPerSample_.load(); }
    int FrameSize() const noexcept { return Channels() * BitsPerSample() / 8; }
    std::int64_t Size() const noexcept { return size_.load(); }
    std::int64_t Position() const noexcept { return position_.load(); }
    std::int64_t TotalSamples() const noexcept { return totalSamples_.load(); }
    std::int32_t LengthMs() const noexcept { return lengthMs_.load(); }
    std::int32_t EndMargin() const noexcept { return endMargin_.load(); }
    bool Seekable() const noexcept { return seekable_.load(); }
    bool Opened() const noexcept { return opened_.load(); }
    bool OutputOpen() const noexcept { return outputOpen_.load(); }
    std::int64_t QueueLimit() const noexcept { return queueLimit_.load(); }
    std::int64_t QueuedBytes() const noexcept { return queuedBytes_.load(); }

    // The output module the plug-in's thread calls.
    int Open(int sampleRate, int channels, int bitsPerSample) override;
    int Write(std::span<const std::byte> block) override;
    int CanWrite() override;
    void Ended() override;
    bool IsPlaying() const override { return !pluginStopped_.load(); }

private:
    void OpenFile();
    void ReadLength(std::int64_t divisor) noexcept;
    void ClearQueue() noexcept;
    void WakePlugin() noexcept;
    void FlushLocked() noexcept;

    std::unique_ptr<DecoderPlugin> plugin_;
    HostLock hostLock_;

    std::atomic<int> sampleRate_{0};
    std::atomic<int> channels_{0};
    std::atomic<int> bitsPerSample_{0};
    std::atomic<double> bytesPerMs_{0.0};
    std::atomic<std::int64_t> size_{0};
    std::atomic<std::int64_t> position_{0};
    std::atomic<std::int64_t> totalSamples_{0};
    std::atomic<std::int32_t> lengthMs_{0};
    std::atomic<std::int32_t> endMargin_{0};
    std::atomic<std::int64_t> skipBytes_{0};
    std::atomic<bool> seekable_{false};
    std::atomic<bool> opened_{false};
    std::atomic<bool> outputOpen_{false};
    std::atomic<bool> pluginStopped_{true};
    std::atomic<bool> acceptData_{false};
    std::atomic<bool> audioEnded_{false}; // the decoder delivered its last block
    std::atomic<bool> interrupt_{false}; // a seek or a stop is coming for the plug-in

    // The PCM queue (queue lock).
    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<std::vector<std::byte>> queue_;
    std::size_t headTaken_ = 0; // bytes already read from the head block
    bool queueMade_ = false;
    std::atomic<std::int64_t> queuedBytes_{0};
    std::atomic<std::int64_t> queueLimit_{kBufferSeconds * kSecondOfCdAudio};
};

} // namespace zd
