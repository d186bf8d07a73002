// Durations of files made by ffmpeg and sox agree with ffprobe's.

#include <gtest/gtest.h>

#include "ToolRun.hpp"
#include "audio/FileDuration.hpp"

namespace zd {
namespace {

using namespace testdata;

TEST(ContainerToolFiles, DurationsMatchFfprobe)
{
    if (!HaveTool("sox") || !HaveTool("ffmpeg") || !HaveTool("ffprobe"))
        GTEST_SKIP() << "sox, ffmpeg or ffprobe missing";
    TempFolder folder;
    const std::string source = folder.File("source.wav");
    const std::string mono = folder.File("mono.wav");
    ASSERT_TRUE(RunQuietly("sox -n -r 44100 -c 2 -b 16 '" + source + "' synth 3.3 sine 440"));
    ASSERT_TRUE(RunQuietly("sox -n -r 22050 -c 1 -b 16 '" + mono + "' synth 2.2 sine 300"));
    const std::string ffmpeg = "ffmpeg -v error -y -i '" + source + "' ";
    const std::string video = "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -i '" + source + "' -t 3.3 ";
    const struct {
        const char* name;
        std::string make;
        double tolerance;
    } files[] = {
        {"vorbis.ogg", ffmpeg + "-c:a libvorbis", 30},
        {"mono.ogg", "ffmpeg -v error -y -i '" + mono + "' -c:a libvorbis", 30},
        {"from44k.opus", ffmpeg + "-c:a libopus", 30},
        {"from22k.opus", "ffmpeg -v error -y -i '" + mono + "' -c:a libopus", 30},
        {"plain.flac", ffmpeg + "-c:a flac", 30},
        {"aac.m4a", ffmpeg + "-c:a aac", 30},
        {"ffmpeg.aiff", ffmpeg, 30},
        {"sox.aifc", "sox '" + source + "'", 30},
        {"sox.aiff", "sox '" + mono + "'", 30},
        {"wmav2.wma", ffmpeg + "-c:a wmav2", 30},
        {"program.mpg", video + "-c:v mpeg2video -c:a mp2 -f vob", 1000},
        {"mpeg4.avi", video + "-c:v mpeg4 -c:a mp3", 30},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = folder.File(f.name);
        ASSERT_TRUE(RunQuietly(f.make + " '" + path + "'"));
        const double probed = ProbeMs(path);
        ASSERT_GT(probed, 0);
        const std::int32_t ours = GetFileDuration(path);
        EXPECT_NEAR(ours, probed, f.tolerance);
        RecordProperty(f.name, std::to_string(ours) + " ms, ffprobe " + std::to_string(probed) + " ms");
    }

    // A FLAC file behind an ID3v2 tag.
    const std::string tagged = folder.File("tagged.flac");
    Bytes bytes = Id3v2Tag(1034);
    const Bytes flac = ReadFile(folder.File("plain.flac"));
    bytes.insert(bytes.end(), flac.begin(), flac.end());
    WriteFile(tagged, bytes);
    const double probed = ProbeMs(tagged);
    ASSERT_GT(probed, 0);
    const std::int32_t ours = GetFileDuration(tagged);
    EXPECT_NEAR(ours, probed, 30);
    RecordProperty("tagged.flac", std::to_string(ours) + " ms, ffprobe " + std::to_string(probed) + " ms");
}

} // namespace
} // namespace zd
