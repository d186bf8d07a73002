#include "preview/DecoderPlugin.hpp"

#include "lib/ffmpeg/AudioDecoder.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zd {

DecoderPlugin::DecoderPlugin(std::string name) : name_(std::move(name)) {}

DecoderPlugin::~DecoderPlugin()
{
    Stop();
}

std::string DecoderPlugin::Description() const
{
    return "FFmpeg decoder (" + name_ + ")";
}

void DecoderPlugin::Play(const std::string& nativePath, DecoderOutput& out)
{
    Stop();
    decoder_ = std::make_unique<AudioDecoder>(nativePath);
    command_ = Command::None;
    ended_ = false;
    thread_ = std::thread([this, &out] { Run(out); });
}

void DecoderPlugin::Stop() noexcept
{
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            command_ = Command::Stop;
        }
        changed_.notify_all();
        thread_.join();
    }
    decoder_.reset();
}

void DecoderPlugin::SetOutputFrame(std::int64_t frame) noexcept
{
    if (!thread_.joinable())
        return;
    std::unique_lock lock(mutex_);
    if (command_ == Command::Stop)
        return;
    command_ = Command::Seek;
    seekFrame_ = frame;
    changed_.notify_all();
    changed_.wait(lock, [this] { return command_ != Command::Seek; });
}

bool DecoderPlugin::IsSeekable() const noexcept
{
    return decoder_ && decoder_->Seekable();
}

std::int64_t DecoderPlugin::LengthMs() const noexcept
{
    return decoder_ ? decoder_->LengthMs() : -1;
}

// Waits for a command while the audio has ended, then runs a pending one.
DecoderPlugin::Step DecoderPlugin::HandleCommand(bool& ended) noexcept
{
    std::unique_lock lock(mutex_);
    if (ended)
        changed_.wait(lock, [this] { return command_ != Command::None; });
    if (command_ == Command::Stop)
        return Step::Stop;
    if (command_ != Command::Seek)
        return Step::Go;
    try {
        decoder_->SeekToFrame(seekFrame_);
        ended = false;
    } catch (...) {
        ended = true; // a file that cannot be positioned ends here
    }
    ended_ = ended;
    command_ = Command::None;
    changed_.notify_all();
    return Step::Seeked;
}

void DecoderPlugin::Run(DecoderOutput& out) noexcept
{
    const auto frameBytes = static_cast<std::size_t>(decoder_->Channels()) * 2;
    // Whole sample frames per block, so the host never has to cut one.
    const std::size_t blockBytes = kBlockBytes / frameBytes * frameBytes;
    out.Open(decoder_->SampleRate(), decoder_->Channels(), 16);
    std::vector<std::byte> pending;
    std::size_t done = 0;
    bool ended = false;
    for (;;) {
        const Step step = HandleCommand(ended);
        if (step == Step::Stop)
            return;
        if (step == Step::Seeked || done == pending.size()) {
            pending.clear();
            done = 0;
        }
        if (ended)
            continue;
        if (pending.empty()) {
            try {
                const auto bytes = std::as_bytes(decoder_->Next());
                pending.assign(bytes.begin(), bytes.end());
            } catch (...) {
                pending.clear();
            }
            ended = pending.empty();
            if (ended) {
                ended_ = true;
                out.Ended();
            }
            continue;
        }
        const std::size_t size = std::min(blockBytes, pending.size() - done);
        if (static_cast<std::size_t>(out.CanWrite()) < size)
            continue; // CanWrite has waited; a seek or the stop may be due
        out.Write(std::span<const std::byte>(pending).subspan(done, size));
        done += size;
    }
}

} // namespace zd
