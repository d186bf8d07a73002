#include "preview/TWinampIn.hpp"

#include "audio/NativePath.hpp"
#include "preview/DecoderPlugin.hpp"
#include "preview/PluginChoice.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

namespace zd {

namespace {

using Clock = std::chrono::steady_clock;

// How long a full queue keeps the plug-in's thread waiting before it asks
// again; taking data, a seek or the stop wakes it earlier.
constexpr std::chrono::milliseconds kFullQueueWait{20};

std::int16_t Scaled(std::int16_t sample, std::uint32_t factor) noexcept
{
    const std::int64_t product = static_cast<std::int64_t>(sample) * factor / 65536;
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(product, std::numeric_limits<std::int16_t>::min(),
                                                              std::numeric_limits<std::int16_t>::max()));
}

} // namespace

TWinampIn::TWinampIn() = default;

TWinampIn::~TWinampIn()
{
    UnloadPlugin();
}

void TWinampIn::LoadPlugin()
{
    if (plugin_)
        throw DecoderError(plugin_->Description() + " is currently loaded");
    if (!IsDecoderName(PluginFilename))
        throw DecoderError(PluginFilename + " cannot be loaded");
    plugin_ = std::make_unique<DecoderPlugin>(PluginFilename);
}

void TWinampIn::UnloadPlugin() noexcept
{
    if (opened_.load())
        Flush();
    if (plugin_) {
        interrupt_ = true;
        WakePlugin();
        plugin_->Stop();
        plugin_.reset();
        interrupt_ = false;
    }
}

void TWinampIn::SetAcceptData(bool accept) noexcept
{
    acceptData_ = accept;
    WakePlugin();
}

bool TWinampIn::Init()
{
    HostLockGuard guard(hostLock_);
    if (opened_.load() && !pluginStopped_.load())
        return true;
    acceptData_ = false;
    if (outputOpen_.load())
        FlushLocked();
    ClearQueue();
    {
        std::lock_guard lock(queueMutex_);
        queueMade_ = true;
    }
    if (FileName.empty())
        throw DecoderError("The file name is not assigned");
    position_ = 0;
    size_ = 0;
    try {
        OpenFile();
    } catch (...) {
        ClearQueue();
        std::lock_guard lock(queueMutex_);
        queueMade_ = false;
        return false;
    }
    opened_ = true;
    if (CueTime < kSeekFromMs) {
        StartSample = 0;
    } else {
        StartSample = std::llround(CueTime / 1000.0 * SampleRate());
        if (StartSample > 0)
            Seek(StartSample);
    }
    if (EndSample != -1)
        size_ = EndSample * FrameSize();
    return true;
}

void TWinampIn::OpenFile()
{
    if (!plugin_)
        throw DecoderError("No input plugin is loaded");
    queueLimit_ = kBufferSeconds * kSecondOfCdAudio;
    const auto native = NativePathOf(FileName);
    if (!native)
        throw DecoderError("Cannot open " + FileName);
    acceptData_ = CueTime < kSeekFromMs;
    pluginStopped_ = false;
    audioEnded_ = false;
    bool playing = false;
    for (int attempt = 0; attempt < kPlayAttempts && !playing; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(kPlayRetry);
        try {
            plugin_->Play(*native, *this);
            playing = true;
        } catch (...) {
        }
    }
    if (!playing) {
        pluginStopped_ = true;
        throw DecoderError("Cannot play " + FileName);
    }
    {
        // Until the decoder has announced its format and, when its PCM is
        // taken, queued the first bytes.
        std::unique_lock lock(queueMutex_);
        queueChanged_.wait_until(lock, Clock::now() + kOpenWait, [this] {
            return outputOpen_.load() && (!acceptData_.load() || queuedBytes_.load() >= kOpenPrefill);
        });
    }
    if (!outputOpen_.load()) {
        FlushLocked();
        PluginFilename.clear();
        throw DecoderError("No output from " + FileName);
    }
    if (SampleRate() != 44100 || BitsPerSample() != 16 || Channels() != 2)
        queueLimit_ = static_cast<std::int64_t>(SampleRate()) * kBufferSeconds * (BitsPerSample() / 8) * Channels();
    ReadLength(12);
}

// LengthMs, Size, TotalSamples and EndMargin (Size / divisor) from the
// decoder's length; all 0 when it cannot seek.
void TWinampIn::ReadLength(std::int64_t divisor) noexcept
{
    seekable_ = plugin_ && plugin_->IsSeekable();
    if (!seekable_.load()) {
        lengthMs_ = 0;
        size_ = 0;
        totalSamples_ = 0;
        endMargin_ = 0;
        return;
    }
    lengthMs_ = static_cast<std::int32_t>(plugin_->LengthMs() - 100);
    const std::int64_t size = std::max<std::int64_t>(0, std::llround(LengthMs() * bytesPerMs_.load()));
    size_ = size;
    totalSamples_ = FrameSize() > 0 ? size / FrameSize() : 0;
    endMargin_ = static_cast<std::int32_t>(size / divisor);
}

std::size_t TWinampIn::GetData(std::span<std::byte> out)
{
    if (!opened_.load() || out.empty())
        return 0;
    if (Size() > 0 && Position() >= Size())
        ReadLength(15);
    // The end: the decoder has delivered its last block and all of it has
    // been read. (Ending as soon as the queue runs dry past the stated
    // length would cut the audio's tail whenever the reader is faster.)
    const bool pastEnd = EndSample != -1 && Size() > 0 && Position() >= Size();
    if (queuedBytes_.load() == 0 && (audioEnded_.load() || pastEnd))
        return 0;
    const bool nearEnd = Size() > 0 && Position() >= Size() - EndMargin();
    std::size_t taken = 0;
    {
        std::unique_lock lock(queueMutex_);
        queueChanged_.wait_until(lock, Clock::now() + (nearEnd ? kReadWaitNearEnd : kReadWait), [this] {
            return (acceptData_.load() && queuedBytes_.load() > 0) || pluginStopped_.load() || audioEnded_.load();
        });
        if (!outputOpen_.load())
            return 0;
        if (!queue_.empty()) {
            std::vector<std::byte>& head = queue_.front();
            taken = std::min(out.size(), head.size() - headTaken_);
            std::memcpy(out.data(), head.data() + headTaken_, taken);
            headTaken_ += taken;
            if (headTaken_ == head.size()) {
                queue_.pop_front();
                headTaken_ = 0;
            }
            queuedBytes_ -= static_cast<std::int64_t>(taken);
        }
    }
    if (taken == 0)
        return 0;
    WakePlugin();
    if (ReplayGain > 0 && BitsPerSample() == 16) {
        for (std::size_t i = 0; i + 1 < taken; i += 2) {
            std::int16_t sample;
            std::memcpy(&sample, out.data() + i, 2);
            sample = Scaled(sample, ReplayGain);
            std::memcpy(out.data() + i, &sample, 2);
        }
    }
    position_ += static_cast<std::int64_t>(taken);
    return taken;
}

void TWinampIn::Seek(std::int64_t sampleFrame)
{
    if (!Seekable() || !plugin_)
        return;
    HostLockGuard guard(hostLock_);
    interrupt_ = true;
    if (acceptData_.exchange(false)) {
        WakePlugin();
        plugin_->SetOutputFrame(sampleFrame);
        ClearQueue();
    } else {
        WakePlugin();
        plugin_->SetOutputFrame(sampleFrame);
    }
    interrupt_ = false;
    audioEnded_ = plugin_->AudioEnded();
    position_ = sampleFrame * FrameSize();
    acceptData_ = true;
    WakePlugin();
}

void TWinampIn::Flush() noexcept
{
    HostLockGuard guard(hostLock_);
    FlushLocked();
}

void TWinampIn::FlushLocked() noexcept
{
    acceptData_ = false;
    bool queueMade = false;
    {
        std::lock_guard lock(queueMutex_);
        queueMade = queueMade_;
    }
    outputOpen_ = false;
    pluginStopped_ = true;
    if (!opened_.load() && !queueMade)
        return;
    // The stop joins the plug-in's thread, so nothing is left to wait for.
    if (plugin_) {
        interrupt_ = true;
        WakePlugin();
        plugin_->Stop();
        interrupt_ = false;
    }
    ClearQueue();
    std::lock_guard lock(queueMutex_);
    queueMade_ = false;
    opened_ = false;
}

void TWinampIn::ClearQueue() noexcept
{
    {
        std::lock_guard lock(queueMutex_);
        queue_.clear();
        headTaken_ = 0;
        queuedBytes_ = 0;
    }
    WakePlugin();
}

void TWinampIn::WakePlugin() noexcept
{
    { std::lock_guard lock(queueMutex_); }
    queueChanged_.notify_all();
}

int TWinampIn::Open(int sampleRate, int channels, int bitsPerSample)
{
    sampleRate_ = sampleRate;
    channels_ = channels;
    bitsPerSample_ = bitsPerSample;
    const double bytesPerMs = sampleRate * channels * (bitsPerSample / 8.0) / 1000.0;
    bytesPerMs_ = bytesPerMs;
    skipBytes_ = CueTime < kSeekFromMs ? std::llround(CueTime * bytesPerMs) : 0;
    outputOpen_ = true;
    WakePlugin();
    return 1;
}

int TWinampIn::Write(std::span<const std::byte> block)
{
    if (block.size() < 8)
        return 1;
    const auto frame = static_cast<std::size_t>(std::max(1, FrameSize()));
    block = block.first(block.size() - block.size() % frame);
    if (skipBytes_.load() > 0) {
        // Dropped while the start is not reached; the block that reaches it
        // is kept whole.
        position_ += static_cast<std::int64_t>(block.size());
        if (Position() < skipBytes_.load())
            return 0;
        skipBytes_ = 0;
    }
    if (!acceptData_.load())
        return 0;
    {
        std::lock_guard lock(queueMutex_);
        queue_.emplace_back(block.begin(), block.end());
        queuedBytes_ += static_cast<std::int64_t>(block.size());
    }
    queueChanged_.notify_all();
    return 0;
}

void TWinampIn::Ended()
{
    audioEnded_ = true;
    WakePlugin();
}

int TWinampIn::CanWrite()
{
    if (!acceptData_.load() && !outputOpen_.load())
        return opened_.load() ? kInvitedBlock : 0;
    std::unique_lock lock(queueMutex_);
    const auto room = [this] { return acceptData_.load() && queuedBytes_.load() < queueLimit_.load(); };
    if (room())
        return kInvitedBlock;
    queueChanged_.wait_for(lock, kFullQueueWait, [&] { return room() || interrupt_.load(); });
    return 1;
}

} // namespace zd
