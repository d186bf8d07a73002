#include "audio/FileDuration.hpp"

#include "audio/FileOps.hpp"
#include "audio/TVRNFileStream.hpp"
#include "audio/info/TMPEGInfo.hpp"
#include "audio/info/ReaderSupport.hpp"
#include "audio/info/TAIFFInfo.hpp"
#include "audio/info/TAPEInfo.hpp"
#include "audio/info/TASFInfo.hpp"
#include "audio/info/TAVIInfo.hpp"
#include "audio/info/TCDAInfo.hpp"
#include "audio/info/TFLAC.hpp"
#include "audio/info/TMP4Info.hpp"
#include "audio/info/TMPEGVideo.hpp"
#include "audio/info/TOTSInfo.hpp"
#include "audio/info/TOggInfo.hpp"
#include "audio/info/TWAVInfo.hpp"
#include "audio/playlists/PlaylistLength.hpp"

#include <limits>

namespace zd {

namespace {

// The reader of each extension; the first matching row is used.
const DurationRow kReaders[] = {
    {{".mp3", ".mp2", ".mus", ".snd"}, false, &MPEGDurationOf},
    {{".wav"}, false, &WAVDurationOf},
    {{".ogg", ".opus"}, false, &DurationOf<TOggInfo>},
    {{".flac"}, false, &DurationOf<TFLAC>},
    {{".ape", ".mac"}, false, &DurationOf<TAPEInfo>},
    {{".m4a", ".mp4", ".mp4a", ".mov"}, false, &DurationOf<TMP4Info>},
    {{".ots"}, false, &DurationOf<TOTSInfo>},
    {{".aif"}, true, &DurationOf<TAIFFInfo>},
    {{".asf", ".wma", ".wmv"}, false, &DurationOf<TASFInfo>},
    {{".mpg", ".mpeg"}, false, &DurationOf<TMPEGVideo>},
    {{".avi"}, false, &DurationOf<TAVIInfo>},
    {{".cda"}, false, &DurationOf<TCDAInfo>},
    {{".m3u"}, false, &M3UDurationOf},
    {{".pls"}, false, &PLSDurationOf},
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
