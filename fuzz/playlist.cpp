// A playlist file: the input is written to a file read as an m3u and as a pls
// list (entries name files that mostly do not exist).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "audio/playlists/PlaylistLength.hpp"

namespace {

std::string ListPath(const char* extension)
{
    static const std::filesystem::path folder = [] {
        const auto path = std::filesystem::temp_directory_path() / ("zd-fuzz-playlist-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return (folder / (std::string("list") + extension)).string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const char* extension : {".m3u", ".pls"}) {
        const std::string path = ListPath(extension);
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    zd::ReadM3U(ListPath(".m3u"));
    zd::ReadPLS(ListPath(".pls"));
    return 0;
}
