// The file commands' cost against the file system's own: the "FileCheck="
// marker lines of 1,000 files (half written this week) and reading the tag
// store of 10,000 files, each next to the same number of plain stat calls
// with a 32-byte read of the file's end.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../tests/audio/TagTestFiles.hpp"
#include "../tests/support/TempFolder.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/DosTime.hpp"
#include "protocol/FileQueries.hpp"

namespace {

// Small tagged MP3 files in a temporary folder, removed at exit.
class Library {
public:
    explicit Library(int count)
    {
        for (int i = 0; i < count; ++i) {
            const std::string path = (folder_.Path() / ("song" + std::to_string(i) + ".mp3")).string();
            // Half changed two days ago, half a month ago.
            zd::testdata::WriteTaggedMp3(path, 2, i % 2 == 0 ? 2 : 30,
                {{"Title", "Song " + std::to_string(i)}, {"Artist", "Artist"},
                 {"Duration", std::to_string(180000 + i)}, {"Cue", "100"}, {"Segue", "175000"},
                 {"Intro", "9000"}});
            paths_.push_back(path);
        }
    }

    const std::vector<std::string>& Paths() const { return paths_; }

private:
    zd::testsupport::TempFolder folder_;
    std::vector<std::string> paths_;
};

const Library& Files(int count)
{
    static Library thousand(1000);
    static Library tenThousand(10000);
    return count == 1000 ? thousand : tenThousand;
}

// stat and a 32-byte read of the end of each file.
void PlainReads(const std::vector<std::string>& paths)
{
    char tail[32];
    for (const std::string& path : paths) {
        struct stat s{};
        if (::stat(path.c_str(), &s) != 0)
            continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        benchmark::DoNotOptimize(::pread(fd, tail, sizeof tail, s.st_size - 32));
        ::close(fd);
    }
}

void FileCheckOf1000(benchmark::State& state)
{
    const auto& paths = Files(1000).Paths();
    std::string list;
    for (const std::string& path : paths)
        list += path + ",";
    const std::int64_t now = zd::NowUtcDosDateTime();
    for (auto _ : state)
        benchmark::DoNotOptimize(zd::FileCheckReply(list, now));
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(FileCheckOf1000)->Unit(benchmark::kMillisecond);

void PlainStatReadsOf1000(benchmark::State& state)
{
    const auto& paths = Files(1000).Paths();
    for (auto _ : state)
        PlainReads(paths);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(PlainStatReadsOf1000)->Unit(benchmark::kMillisecond);

void TagStoresOf10000(benchmark::State& state)
{
    const auto& paths = Files(10000).Paths();
    for (auto _ : state) {
        for (const std::string& path : paths) {
            zd::TAPETags tags(path, 1, zd::TAPETags::ModeReadShared);
            benchmark::DoNotOptimize(tags.GetField("Duration"));
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(TagStoresOf10000)->Unit(benchmark::kMillisecond);

void PlainStatReadsOf10000(benchmark::State& state)
{
    const auto& paths = Files(10000).Paths();
    for (auto _ : state)
        PlainReads(paths);
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(PlainStatReadsOf10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
