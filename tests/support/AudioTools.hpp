#pragma once

// Real audio files for tests, made and checked with the command-line tools
// (ffmpeg, ffprobe): a tone or a single click in any container the station
// may hold.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zd::testsupport {

inline bool HaveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool RunQuietly(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Standard output of a command (standard error dropped).
inline std::string Capture(const std::string& command)
{
    std::string out;
    std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return out;
    char block[4096];
    std::size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, pipe)) > 0)
        out.append(block, n);
    pclose(pipe);
    return out;
}

inline std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

// One container and codec as ffmpeg writes it.
struct AudioKind {
    const char* Extension; // with the dot
    const char* Codec;     // ffmpeg's output options
};

// Every kind ffmpeg can write of those the station plays.
inline const std::vector<AudioKind>& AudioKinds()
{
    static const std::vector<AudioKind> kinds = {
        {".mp3", "-c:a libmp3lame -b:a 128k"},
        {".wav", "-c:a pcm_s16le"},
        {".flac", "-c:a flac"},
        {".ogg", "-c:a libvorbis -q:a 3"},
        {".opus", "-c:a libopus -b:a 64k"},
        {".m4a", "-c:a aac -b:a 96k"},
        {".aiff", "-c:a pcm_s16be"},
        {".wma", "-c:a wmav2 -b:a 96k"},
    };
    return kinds;
}

// A tone of the given length in the kind's container ("-f wav" and the
// like may be added to codec options); true when ffmpeg made it.
inline bool MakeTone(const std::string& path, double seconds, const std::string& codec, int rate = 44100,
                     int channels = 2, double frequency = 440)
{
    return RunQuietly("ffmpeg -nostdin -y -f lavfi -i 'sine=frequency=" + std::to_string(frequency)
                      + ":sample_rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds)
                      + "' -ac " + std::to_string(channels) + " " + codec + " " + Quoted(path));
}

// Silence with one full-scale click at the given sample.
inline bool MakeClick(const std::string& path, double seconds, long clickSample, const std::string& codec,
                      int rate = 44100)
{
    return RunQuietly("ffmpeg -nostdin -y -f lavfi -i 'aevalsrc=if(eq(n\\," + std::to_string(clickSample)
                      + ")\\,0.9\\,0):s=" + std::to_string(rate) + ":d=" + std::to_string(seconds) + "' -ac 2 "
                      + codec + " " + Quoted(path));
}

// The file decoded by ffmpeg to interleaved 16-bit samples; its channel
// count as given.
inline std::vector<std::int16_t> DecodeWithFfmpeg(const std::string& path, int channels)
{
    const std::string raw = Capture("ffmpeg -nostdin -v error -i " + Quoted(path) + " -f s16le -ac "
                                    + std::to_string(channels) + " -");
    std::vector<std::int16_t> samples(raw.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(raw[2 * i])
                                               | static_cast<std::uint8_t>(raw[2 * i + 1]) << 8);
    return samples;
}

// What ffprobe says of a file's first audio stream.
struct ProbedAudio {
    std::string Codec;   // "mp3"
    std::string Profile; // the codec's long name, e.g. "MP3 (MPEG audio layer 3)"
    long BitRate = 0;
    int Channels = 0;
    int SampleRate = 0;
};

inline ProbedAudio ProbeAudio(const std::string& path)
{
    const std::string out = Capture("ffprobe -v error -select_streams a:0 -show_entries "
                                    "stream=codec_name,codec_long_name,bit_rate,channels,sample_rate "
                                    "-of default=nw=1 " + Quoted(path));
    ProbedAudio probed;
    std::size_t at = 0;
    while (at < out.size()) {
        std::size_t end = out.find('\n', at);
        if (end == std::string::npos)
            end = out.size();
        const std::string line = out.substr(at, end - at);
        at = end + 1;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_name") probed.Codec = value;
        else if (key == "codec_long_name") probed.Profile = value;
        else if (key == "bit_rate") probed.BitRate = std::atol(value.c_str());
        else if (key == "channels") probed.Channels = std::atoi(value.c_str());
        else if (key == "sample_rate") probed.SampleRate = std::atoi(value.c_str());
    }
    return probed;
}

} // namespace zd::testsupport
