#include "lib/ffmpeg/AudioDecoder.hpp"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <mutex>

namespace zd {

namespace {

// The pre-roll allowed before a seek target besides the codec's own: the
// overlap of transform codecs and the bit reservoir of MPEG audio.
constexpr std::int64_t kSeekMarginMs = 100;

// The server has no console for the library's messages; failures reach the
// caller as errors.
void QuietLibrary() noexcept
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

AVChannelLayout LayoutOf(const AVChannelLayout& given, int channels)
{
    AVChannelLayout layout{};
    if (given.order != AV_CHANNEL_ORDER_UNSPEC && given.nb_channels > 0)
        av_channel_layout_copy(&layout, &given);
    else
        av_channel_layout_default(&layout, channels);
    return layout;
}

} // namespace

AudioDecoder::AudioDecoder(const std::string& path)
{
    QuietLibrary();
    AVFormatContext* raw = nullptr;
    CheckFfmpeg(avformat_open_input(&raw, path.c_str(), nullptr, nullptr), "Cannot open the file");
    format_.reset(raw);
    CheckFfmpeg(avformat_find_stream_info(format_.get(), nullptr), "Cannot read the stream facts");
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (index < 0 || codec == nullptr)
        throw FfmpegError(FfmpegErrorText("No audio stream", index < 0 ? index : AVERROR_DECODER_NOT_FOUND));
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        format_->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    stream_ = format_->streams[index];

    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_)
        throw FfmpegError("Cannot allocate the decoder");
    CheckFfmpeg(avcodec_parameters_to_context(codec_.get(), stream_->codecpar), "Cannot set up the decoder");
    codec_->pkt_timebase = stream_->time_base;
    // One thread per decoder: the server runs many previews at once.
    codec_->thread_count = 1;
    CheckFfmpeg(avcodec_open2(codec_.get(), codec, nullptr), "Cannot open the decoder");

    sampleRate_ = codec_->sample_rate;
    channels_ = std::min(codec_->ch_layout.nb_channels, kMaxChannels);
    if (sampleRate_ <= 0 || channels_ <= 0)
        throw FfmpegError("The audio stream has no sample format");
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!frame_ || !packet_)
        throw FfmpegError("Cannot allocate the decoder's buffers");
}

AudioDecoder::~AudioDecoder()
{
    av_channel_layout_uninit(&swrLayout_);
}

std::int64_t AudioDecoder::LengthMs() const noexcept
{
    if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
        return av_rescale(format_->duration, 1000, AV_TIME_BASE);
    if (stream_->duration != AV_NOPTS_VALUE && stream_->duration > 0)
        return av_rescale_q(stream_->duration, stream_->time_base, AVRational{1, 1000});
    return -1;
}

bool AudioDecoder::Seekable() const noexcept
{
    return format_->pb != nullptr && (format_->pb->seekable & AVIO_SEEKABLE_NORMAL) != 0 && LengthMs() > 0;
}

bool AudioDecoder::ReceiveFrame()
{
    for (;;) {
        const int received = avcodec_receive_frame(codec_.get(), frame_.get());
        if (received == 0)
            return true;
        if (received == AVERROR_EOF)
            return false;
        if (received != AVERROR(EAGAIN))
            continue; // a damaged frame: the decoder goes on with the next
        if (inputEnded_)
            return false;
        const int read = av_read_frame(format_.get(), packet_.get());
        if (read < 0) {
            // The end of the file, or bytes the demuxer cannot read: either
            // way the audio ends here, after what the decoder still holds.
            inputEnded_ = true;
            avcodec_send_packet(codec_.get(), nullptr);
            continue;
        }
        if (packet_->stream_index == stream_->index)
            avcodec_send_packet(codec_.get(), packet_.get()); // a damaged packet is skipped
        av_packet_unref(packet_.get());
    }
}

void AudioDecoder::ConfigureConverter()
{
    const AVFrame& frame = *frame_;
    AVChannelLayout in = LayoutOf(frame.ch_layout, frame.ch_layout.nb_channels);
    if (swr_ && frame.format == swrFormat_ && frame.sample_rate == swrRate_
        && av_channel_layout_compare(&in, &swrLayout_) == 0) {
        av_channel_layout_uninit(&in);
        return;
    }
    AVChannelLayout out{};
    av_channel_layout_default(&out, channels_);
    SwrContext* raw = nullptr;
    const int made = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, sampleRate_, &in,
                                         static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
    SwrPtr swr(raw);
    av_channel_layout_uninit(&out);
    if (made < 0 || swr_init(swr.get()) < 0) {
        av_channel_layout_uninit(&in);
        throw FfmpegError("Cannot convert the decoded samples");
    }
    swr_ = std::move(swr);
    av_channel_layout_uninit(&swrLayout_);
    swrLayout_ = in;
    swrFormat_ = frame.format;
    swrRate_ = frame.sample_rate;
}

std::size_t AudioDecoder::Convert()
{
    ConfigureConverter();
    const int room = swr_get_out_samples(swr_.get(), frame_->nb_samples);
    if (room <= 0)
        return 0;
    pcm_.resize(static_cast<std::size_t>(room) * static_cast<std::size_t>(channels_));
    auto* out = reinterpret_cast<std::uint8_t*>(pcm_.data());
    const int made = swr_convert(swr_.get(), &out, room, const_cast<const std::uint8_t**>(frame_->extended_data),
                                 frame_->nb_samples);
    return made > 0 ? static_cast<std::size_t>(made) : 0;
}

std::int64_t AudioDecoder::FrameStart() const noexcept
{
    const std::int64_t ts = frame_->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        return nextFrame_;
    const std::int64_t origin = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
    return av_rescale_q(ts - origin, stream_->time_base, AVRational{1, sampleRate_});
}

std::span<const std::int16_t> AudioDecoder::Next()
{
    const auto width = static_cast<std::size_t>(channels_);
    while (ReceiveFrame()) {
        const std::int64_t start = dropUntil_ >= 0 ? FrameStart() : nextFrame_;
        const std::size_t frames = Convert();
        av_frame_unref(frame_.get());
        if (frames == 0)
            continue;
        std::size_t skip = 0;
        if (dropUntil_ >= 0) {
            const auto count = static_cast<std::int64_t>(frames);
            if (start + count <= dropUntil_) {
                nextFrame_ = start + count;
                continue;
            }
            skip = static_cast<std::size_t>(std::max<std::int64_t>(0, dropUntil_ - start));
            dropUntil_ = -1;
        }
        nextFrame_ = start + static_cast<std::int64_t>(frames);
        return std::span<const std::int16_t>(pcm_).subspan(skip * width, (frames - skip) * width);
    }
    return {};
}

void AudioDecoder::SeekToFrame(std::int64_t frame)
{
    frame = std::max<std::int64_t>(0, frame);
    std::int64_t preroll = av_rescale(kSeekMarginMs, sampleRate_, 1000);
    if (stream_->codecpar->seek_preroll > 0)
        preroll += av_rescale(stream_->codecpar->seek_preroll, sampleRate_,
                              std::max(1, stream_->codecpar->sample_rate));
    const std::int64_t target = std::max<std::int64_t>(0, frame - preroll);
    const std::int64_t origin = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
    const std::int64_t ts = av_rescale_q(target, AVRational{1, sampleRate_}, stream_->time_base) + origin;
    CheckFfmpeg(av_seek_frame(format_.get(), stream_->index, ts, AVSEEK_FLAG_BACKWARD), "Cannot seek");
    avcodec_flush_buffers(codec_.get());
    swr_.reset(); // drops samples the converter still holds
    inputEnded_ = false;
    nextFrame_ = target;
    dropUntil_ = frame;
}

} // namespace zd
