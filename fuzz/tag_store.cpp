// The tag store at the end of a file (APE tag, maybe followed by ID3v1),
// read as the file commands read it.

#include "FuzzFile.hpp"
#include "audio/tags/TAPETags.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zd::TAPETags tags(zd::fuzz::WriteInput("track.mp3", data, size), 1, zd::TAPETags::ModeRead);
    for (int i = 0; i < tags.Count(); ++i)
        (void)tags.GetValue(i);
    for (const char* name : {"Title", "Artist", "Duration", "Intro"})
        (void)tags.GetField(name);
    return 0;
}
