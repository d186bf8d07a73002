#pragma once

#include "common/Error.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>

namespace zd {

// Owners of the FFmpeg handles the decoder uses; each frees its handle on
// every path.
struct FormatContextClose {
    void operator()(AVFormatContext* p) const noexcept { avformat_close_input(&p); }
};
struct CodecContextFree {
    void operator()(AVCodecContext* p) const noexcept { avcodec_free_context(&p); }
};
struct FrameFree {
    void operator()(AVFrame* p) const noexcept { av_frame_free(&p); }
};
struct PacketFree {
    void operator()(AVPacket* p) const noexcept { av_packet_free(&p); }
};
struct SwrFree {
    void operator()(SwrContext* p) const noexcept { swr_free(&p); }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextClose>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;

// A failure of the decoding library: a file it cannot open or read, a codec
// it does not have.
class FfmpegError : public Error {
public:
    explicit FfmpegError(const std::string& message) : Error("EDecoderError", message) {}
};

// "what: <the library's text for the error code>". Never throws apart from
// allocation.
std::string FfmpegErrorText(const std::string& what, int code);

// Throws FfmpegError with FfmpegErrorText when code is negative; returns it
// otherwise.
int CheckFfmpeg(int code, const char* what);

} // namespace zd
