#include "lib/ffmpeg/FfmpegOwners.hpp"

namespace zd {

std::string FfmpegErrorText(const std::string& what, int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return what + ": " + text;
}

int CheckFfmpeg(int code, const char* what)
{
    if (code < 0)
        throw FfmpegError(FfmpegErrorText(what, code));
    return code;
}

} // namespace zd
