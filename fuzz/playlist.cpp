// A playlist file: the input is written to a file read as an m3u and as a pls
// list (entries name files that mostly do not exist).

#include "FuzzFile.hpp"
#include "audio/playlists/PlaylistLength.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zd::ReadM3U(zd::fuzz::WriteInput("list.m3u", data, size));
    zd::ReadPLS(zd::fuzz::WriteInput("list.pls", data, size));
    return 0;
}
