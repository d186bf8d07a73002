#include "preview/TMP3Out.hpp"

#include "lib/lame/LameEncoder.hpp"
#include "preview/PcmInput.hpp"
#include "preview/PreviewBuffer.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace zd {

namespace {

std::int64_t NowMs() noexcept
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count() + 1;
}

struct Preset {
    TMP3BitRate BitRate;
    TMP3Mode Mode;
};
constexpr std::array<Preset, 4> kPresets = {{
    {TMP3BitRate::mbr48, TMP3Mode::mmMono},
    {TMP3BitRate::mbr64, TMP3Mode::mmMono},
    {TMP3BitRate::mbr96, TMP3Mode::mmJointStereo},
    {TMP3BitRate::mbr128, TMP3Mode::mmJointStereo},
}};

const Preset& PresetAt(int index) noexcept
{
    return kPresets[index >= 0 && index < static_cast<int>(kPresets.size()) ? static_cast<std::size_t>(index) : 0];
}

MPEG_mode LameMode(TMP3Mode mode) noexcept
{
    switch (mode) {
    case TMP3Mode::mmJointStereo: return JOINT_STEREO;
    case TMP3Mode::mmMono: return MONO;
    default: return STEREO; // dual channel is encoded as stereo
    }
}

} // namespace

int KbitRate(TMP3BitRate rate) noexcept
{
    static constexpr std::array<int, 16> kRates = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    return kRates[static_cast<std::size_t>(rate)];
}

std::size_t MixDownStereo(std::span<std::int16_t> samples) noexcept
{
    const std::size_t pairs = samples.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i)
        samples[i] = static_cast<std::int16_t>((samples[2 * i] + samples[2 * i + 1]) / 2);
    return pairs;
}

void ApplyPreviewPreset(TMP3Out& encoder, int index) noexcept
{
    encoder.BitRate = PresetAt(index).BitRate;
    encoder.Mode = PresetAt(index).Mode;
    encoder.Quality = 3;
}

TMP3BitRate PreviewBitRate(int index) noexcept
{
    return PresetAt(index).BitRate;
}

TMP3Out::TMP3Out() : worker_([this] { Worker(); }) {}

TMP3Out::~TMP3Out()
{
    {
        std::lock_guard lock(mutex_);
        terminate_ = true;
    }
    stopRequested_ = true;
    wake_.notify_all();
    worker_.join();
    Finalise();
}

void TMP3Out::SetDelay(int ms) noexcept
{
    if (ms <= 100)
        delay_ = ms;
}

std::string TMP3Out::LastError() const
{
    std::lock_guard lock(mutex_);
    return lastError_;
}

void TMP3Out::Run() noexcept
{
    if (Input == nullptr) {
        HandleError("Input is not assigned");
        return;
    }
    finishTime_ = 0;
    inputEnded_ = false;
    try {
        if (!Prepare())
            return;
    } catch (const std::exception& error) {
        HandleError(error.what());
        return;
    } catch (...) {
        HandleError("Unknown error");
        return;
    }
    busy_ = true;
    active_ = true;
    stopRequested_ = false;
    {
        std::lock_guard lock(mutex_);
        resume_ = true;
        suspended_ = false;
    }
    wake_.notify_all();
}

bool TMP3Out::Prepare()
{
    if (!Input->Init())
        return false;
    const int channels = Input->Channels();
    mixDown_ = Mode == TMP3Mode::mmMono && channels == 2;
    LameSettings settings;
    settings.SampleRate = Input->SampleRate();
    settings.Channels = mixDown_ ? 1 : channels;
    settings.Mode = channels == 1 ? MONO : LameMode(Mode);
    settings.KbitRate = KbitRate(BitRate);
    settings.Quality = Quality;
    settings.Original = Original;
    settings.Copyright = Copyright;
    settings.Crc = CRC;
    settings.BitReservoir = EnableBitReservoir;
    settings.StrictIso = StrictISO;
    try {
        encoder_ = std::make_unique<LameEncoder>(settings);
    } catch (...) {
        active_ = false;
        Input->Flush();
        throw;
    }
    const std::size_t bytes = static_cast<std::size_t>(channels) * kFramesPerChunk
        * static_cast<std::size_t>(settings.Channels) * 2;
    pcm_.resize(std::min(bytes, kMaxChunkBytes));
    return true;
}

// One chunk; false when the worker is to finish.
bool TMP3Out::Chunk()
{
    if (!busy_.load())
        return true;
    if (stopRequested_.load())
        return false;
    std::size_t n = Input->GetData(pcm_);
    if (n == 0) {
        inputEnded_ = true;
        return false;
    }
    auto* samples = reinterpret_cast<std::int16_t*>(pcm_.data());
    std::size_t count = n / 2;
    if (mixDown_)
        count = MixDownStereo(std::span<std::int16_t>(samples, count));
    const auto mp3 = encoder_->Encode(std::span<const std::int16_t>(samples, count));
    if (!mp3.empty() && Stream != nullptr && !Stream->Append(mp3))
        return false; // the reserve is full: nothing more can be sent
    return true;
}

void TMP3Out::Worker() noexcept
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return resume_ || terminate_; });
        if (terminate_)
            return;
        lock.unlock();
        for (;;) {
            const int delay = delay_.load();
            if (delay > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            bool more = false;
            try {
                more = Chunk();
            } catch (const std::exception& error) {
                HandleError(error.what());
            } catch (...) {
                HandleError("Unknown error");
            }
            if (!more || stopRequested_.load())
                break;
        }
        finishTime_ = NowMs();
        Finalise();
        stopRequested_ = false;
        inputEnded_ = false;
        lock.lock();
        resume_ = false;
        suspended_ = true;
    }
}

void TMP3Out::Finalise() noexcept
{
    if (!active_.load())
        return;
    busy_ = false;
    try {
        if (encoder_) {
            const auto last = encoder_->Flush();
            if (!last.empty() && Stream != nullptr)
                Stream->Append(last);
        }
    } catch (...) {
        // The last frames are lost; the stream ends before them.
    }
    encoder_.reset();
    pcm_.clear();
    if (Input != nullptr)
        Input->Flush();
    active_ = false;
}

void TMP3Out::HandleError(const std::string& text) noexcept
{
    try {
        std::lock_guard lock(mutex_);
        lastError_ = text;
    } catch (...) {
    }
    Finalise();
    busy_ = false;
    active_ = false;
}

int TMP3Out::Status() noexcept
{
    if (!active_.load())
        return 3;
    if (suspended_.load())
        return 2;
    if (!inputEnded_.load())
        return 0;
    const std::int64_t finished = finishTime_.load();
    if (finished == 0 || NowMs() - finished <= std::chrono::milliseconds(kFinishGrace).count())
        return 1;
    finishTime_ = 0;
    active_ = false;
    return 3;
}

void TMP3Out::Stop() noexcept
{
    if (active_.load())
        stopRequested_ = true;
}

} // namespace zd
