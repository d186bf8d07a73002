#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace zd {

class LameEncoder;
class PcmInput;
class PreviewBuffer;

enum class TMP3BitRate {
    mbrAuto, mbr32, mbr40, mbr48, mbr56, mbr64, mbr80, mbr96,
    mbr112, mbr128, mbr144, mbr160, mbr192, mbr224, mbr256, mbr320,
};
// The same numbers as the encoder's mode codes.
enum class TMP3Mode { mmStereo, mmJointStereo, mmDual, mmMono };

// The kilobit rate of a bit-rate value (0 for mbrAuto). noexcept.
int KbitRate(TMP3BitRate rate) noexcept;

// The MP3 encoder of a preview: a worker thread pulls PCM from Input, mixes
// stereo down when the mode is mono, encodes it with LAME at a constant bit
// rate and appends the MP3 bytes to Stream. The worker is created idle;
// Run starts it, Stop asks it to finish, and it goes idle again at the end
// of the input (finalising the encoder and closing the input). Run, Stop,
// Status and the Delay are called from other threads; the flags are
// single atomic words.
class TMP3Out {
public:
    // At most this many PCM bytes per chunk (1152 stereo sample frames).
    static constexpr std::size_t kMaxChunkBytes = 4608;
    static constexpr std::size_t kFramesPerChunk = 1152;
    // Status 1 turns into 3 when the input ended this long ago.
    static constexpr std::chrono::seconds kFinishGrace{5};

    TMP3BitRate BitRate = TMP3BitRate::mbr128;
    TMP3Mode Mode = TMP3Mode::mmJointStereo;
    int Quality = 3;
    bool Copyright = false;
    bool Original = true;
    bool EnableBitReservoir = true;
    bool StrictISO = false;
    bool CRC = false;
    bool SuspendWhenIdle = true;
    PcmInput* Input = nullptr;
    PreviewBuffer* Stream = nullptr;

    TMP3Out();
    // Ends the worker thread (finishing the encoding) and joins it. noexcept.
    ~TMP3Out();
    TMP3Out(const TMP3Out&) = delete;
    TMP3Out& operator=(const TMP3Out&) = delete;

    // Starts encoding on the worker. Never throws: a failure to start (no
    // input, an input that does not open, an encoder that refuses the
    // settings) leaves the component idle and the stream without bytes.
    void Run() noexcept;
    // Asks the worker to finish; the next chunk sees it. noexcept.
    void Stop() noexcept;
    // 0 running, 1 input ended and finalising (for at most kFinishGrace),
    // 2 worker suspended while active, 3 idle. noexcept.
    int Status() noexcept;
    // The pause in ms before each chunk (-1: none); set only to 100 or less.
    int Delay() const noexcept { return delay_.load(); }
    void SetDelay(int ms) noexcept;

    // The error text of the last failure ("" when none).
    std::string LastError() const;

private:
    void Worker() noexcept;
    bool Prepare();
    bool Chunk();
    void Finalise() noexcept;
    void HandleError(const std::string& text) noexcept;

    std::unique_ptr<LameEncoder> encoder_;
    std::vector<std::byte> pcm_;
    bool mixDown_ = false;

    std::atomic<int> delay_{-1};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> busy_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> inputEnded_{false};
    std::atomic<bool> suspended_{true};
    std::atomic<std::int64_t> finishTime_{0}; // steady clock ms; 0 = none

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool resume_ = false;
    bool terminate_ = false;
    std::string lastError_;
    std::thread worker_;
};

// Mixes interleaved stereo down to mono in place: each pair (L, R) becomes
// (L + R) / 2, truncated toward zero. Returns the mono sample count. noexcept.
std::size_t MixDownStereo(std::span<std::int16_t> samples) noexcept;

// The preview choices of the Options page, index 0 to 3: "48k mono",
// "64k mono", "96k stereo", "128k stereo". Sets BitRate, Mode and Quality 3;
// an index out of range counts as 0. noexcept.
void ApplyPreviewPreset(TMP3Out& encoder, int index) noexcept;
// The bit rate of a preview choice. noexcept.
TMP3BitRate PreviewBitRate(int index) noexcept;

} // namespace zd
