#include "audio/FileDuration.hpp"

#include "audio/FileOps.hpp"
#include "audio/TVRNFileStream.hpp"
#include "audio/info/TMPEGInfo.hpp"
#include "audio/info/TWAVInfo.hpp"

#include <limits>

namespace zd {

namespace {

// The reader of each extension; the first matching row is used. A row
// without a reader answers -1 until its reader is added here.
const DurationRow kReaders[] = {
    {{".mp3", ".mp2", ".mus", ".snd"}, false, &MPEGDurationOf},
    {{".wav"}, false, &WAVDurationOf},
    {{".ogg", ".opus"}, false, nullptr},
    {{".flac"}, false, nullptr},
    {{".ape", ".mac"}, false, nullptr},
    {{".m4a", ".mp4", ".mp4a", ".mov"}, false, nullptr},
    {{".ots"}, false, nullptr},
    {{".aif"}, true, nullptr},
    {{".asf", ".wma", ".wmv"}, false, nullptr},
    {{".mpg", ".mpeg"}, false, nullptr},
    {{".avi"}, false, nullptr},
    {{".cda"}, false, nullptr},
    {{".m3u"}, false, nullptr},
    {{".pls"}, false, nullptr},
};

} // namespace

const DurationRow* DurationRowFor(std::string_view markedName)
{
    const std::string extension = ExtensionLower(markedName);
    if (extension.empty())
        return nullptr;
    for (const auto& row : kReaders)
        for (const auto served : row.Extensions)
            if (!served.empty() && (row.ByPrefix ? extension.starts_with(served) : extension == served))
                return &row;
    return nullptr;
}

bool IsKnownAudioExtension(std::string_view markedName)
{
    return DurationRowFor(markedName) != nullptr && !PlaylistOrProgram(markedName);
}

std::int32_t GetFileDuration(const std::string& markedName, TVRNFileStream* stream) noexcept
{
    try {
        if (stream != nullptr && !stream->HasHandle())
            stream = nullptr;
        if (stream == nullptr && !FileExistsMarked(markedName))
            return -1;
        const DurationRow* row = DurationRowFor(markedName);
        if (row == nullptr || row->Reader == nullptr)
            return -1;
        std::int64_t result = 0;
        try {
            result = row->Reader(markedName, stream);
        } catch (...) {
            result = 0;
        }
        if (result <= 0)
            return -1;
        return result > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                                  : static_cast<std::int32_t>(result);
    } catch (...) {
        return -1;
    }
}

} // namespace zd
