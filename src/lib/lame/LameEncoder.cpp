#include "lib/lame/LameEncoder.hpp"

namespace zd {

namespace {

void Check(int code)
{
    if (code < 0)
        throw LameError(code);
}

} // namespace

LameEncoder::LameEncoder(const LameSettings& settings)
    : lame_(lame_init())
{
    if (!lame_)
        throw LameError(-1);
    lame_global_flags* gf = lame_.get();
    inputChannels_ = settings.Channels;
    Check(lame_set_in_samplerate(gf, settings.SampleRate));
    Check(lame_set_num_channels(gf, inputChannels_));
    Check(lame_set_mode(gf, inputChannels_ == 1 ? MONO : settings.Mode));
    if (inputChannels_ < 1)
        throw LameError(-1);
    Check(lame_set_VBR(gf, vbr_off));
    Check(lame_set_brate(gf, settings.KbitRate));
    Check(lame_set_quality(gf, settings.Quality));
    Check(lame_set_original(gf, settings.Original ? 1 : 0));
    Check(lame_set_copyright(gf, settings.Copyright ? 1 : 0));
    Check(lame_set_error_protection(gf, settings.Crc ? 1 : 0));
    Check(lame_set_disable_reservoir(gf, settings.BitReservoir ? 0 : 1));
    Check(lame_set_strict_ISO(gf, settings.StrictIso ? 1 : 0));
    Check(lame_set_bWriteVbrTag(gf, 0));
    Check(lame_init_params(gf));
}

std::span<const std::uint8_t> LameEncoder::Encode(std::span<const std::int16_t> pcm)
{
    const auto frames = pcm.size() / static_cast<std::size_t>(inputChannels_);
    // LAME's own bound for the output of one call.
    mp3_.resize(frames * 5 / 4 + 7200);
    const int made = inputChannels_ == 1
        ? lame_encode_buffer(lame_.get(), pcm.data(), nullptr, static_cast<int>(frames), mp3_.data(),
                             static_cast<int>(mp3_.size()))
        : lame_encode_buffer_interleaved(lame_.get(), const_cast<short*>(pcm.data()), static_cast<int>(frames),
                                         mp3_.data(), static_cast<int>(mp3_.size()));
    Check(made);
    return std::span<const std::uint8_t>(mp3_).first(static_cast<std::size_t>(made));
}

std::span<const std::uint8_t> LameEncoder::Flush()
{
    mp3_.resize(7200);
    const int made = lame_encode_flush(lame_.get(), mp3_.data(), static_cast<int>(mp3_.size()));
    Check(made);
    return std::span<const std::uint8_t>(mp3_).first(static_cast<std::size_t>(made));
}

} // namespace zd
