// Reading the duration and the container's own tags of 10,000 files of mixed
// formats (MP3, WAV, Ogg Vorbis, Opus, FLAC, M4A, AIFF, WMA, made by lame,
// sox and ffmpeg with tags), next to a plain stat and 4 KiB read of each
// file in the same run.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../tests/support/TempFolder.hpp"
#include "audio/tags/TAPETags.hpp"

namespace {

constexpr int kFiles = 10000;

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// kFiles copies of one short tagged file per format, in a temporary folder.
class Library {
public:
    Library()
    {
        const auto dir = folder_.Path();
        const std::string source = (dir / "source.wav").string();
        Run("sox -n -r 22050 -c 1 -b 16 '" + source + "' synth 0.5 sine 440");
        const std::string ffmpeg = "ffmpeg -v error -y -i '" + source
            + "' -metadata title='Bench title' -metadata artist='Bench artist' -metadata album=Album -metadata track=3 ";
        const std::pair<const char*, std::string> makes[] = {
            {"mp3", "lame --quiet -b 64 --tt 'Bench title' --ta 'Bench artist' --add-id3v2 '" + source + "'"},
            {"wav", ffmpeg},
            {"ogg", ffmpeg + "-c:a libvorbis"},
            {"opus", ffmpeg + "-c:a libopus"},
            {"flac", ffmpeg + "-c:a flac"},
            {"m4a", ffmpeg + "-c:a aac"},
            {"aiff", ffmpeg},
            {"wma", ffmpeg + "-c:a wmav2"},
        };
        std::vector<std::filesystem::path> originals;
        for (const auto& [extension, make] : makes) {
            const auto original = dir / (std::string("original.") + extension);
            if (Run(make + " '" + original.string() + "'"))
                originals.push_back(original);
        }
        for (int i = 0; i < kFiles && !originals.empty(); ++i) {
            const auto& original = originals[static_cast<std::size_t>(i) % originals.size()];
            const auto copy = dir / ("song" + std::to_string(i) + original.extension().string());
            std::filesystem::copy_file(original, copy);
            paths_.push_back(copy.string());
        }
    }

    const std::vector<std::string>& Paths() const { return paths_; }

private:
    zd::testsupport::TempFolder folder_;
    std::vector<std::string> paths_;
};

const std::vector<std::string>& Paths()
{
    static Library library;
    return library.Paths();
}

void DurationAndTagsOf10000(benchmark::State& state)
{
    const auto& paths = Paths();
    for (auto _ : state) {
        for (const std::string& path : paths) {
            zd::TAPETags tags(path, 1, zd::TAPETags::ModeReadShared);
            tags.ImportFormatTags();
            benchmark::DoNotOptimize(tags.GetField("Duration"));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()));
}
BENCHMARK(DurationAndTagsOf10000)->Unit(benchmark::kMillisecond);

void PlainStatAnd4KiBReadsOf10000(benchmark::State& state)
{
    const auto& paths = Paths();
    std::vector<char> head(4096);
    for (auto _ : state) {
        for (const std::string& path : paths) {
            struct stat s{};
            if (::stat(path.c_str(), &s) != 0)
                continue;
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            benchmark::DoNotOptimize(::pread(fd, head.data(), head.size(), 0));
            ::close(fd);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()));
}
BENCHMARK(PlainStatAnd4KiBReadsOf10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
