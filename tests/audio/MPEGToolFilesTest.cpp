#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "ToolRun.hpp"
#include "audio/FileDuration.hpp"

namespace zd {
namespace {

using namespace testdata;

// Files made by sox and lame: the durations agree with ffprobe's.
TEST(MPEGToolFiles, DurationsMatchFfprobe)
{
    if (!HaveTool("sox") || !HaveTool("lame") || !HaveTool("ffprobe"))
        GTEST_SKIP() << "sox, lame or ffprobe missing";
    TempFolder folder;
    const std::string stereo = folder.File("stereo.wav");
    const std::string mono = folder.File("mono.wav");
    ASSERT_TRUE(RunQuietly("sox -n -r 44100 -c 2 -b 16 '" + stereo + "' synth 1.3 sine 440"));
    ASSERT_TRUE(RunQuietly("sox -n -r 22050 -c 1 -b 16 '" + mono + "' synth 1.1 sine 300"));
    const struct {
        const char* name;
        std::string make;
    } files[] = {
        {"stereo.wav", ""},
        {"mono.wav", ""},
        {"cbr.mp3", "lame --quiet -b 128 '" + stereo + "' "},
        {"vbr.mp3", "lame --quiet -V 4 '" + stereo + "' "},
        {"nolametag.mp3", "lame --quiet -t -b 160 '" + stereo + "' "},
        {"mpeg2.mp3", "lame --quiet -b 32 '" + mono + "' "},
        {"abr.mp3", "lame --quiet --abr 96 --add-id3v2 --tt Title '" + mono + "' "},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = folder.File(f.name);
        if (!f.make.empty()) {
            ASSERT_TRUE(RunQuietly(f.make + "'" + path + "'"));
        }
        const double probed = ProbeMs(path);
        ASSERT_GT(probed, 0);
        EXPECT_NEAR(GetFileDuration(path), probed, 30.0);
    }
}

} // namespace
} // namespace zd
