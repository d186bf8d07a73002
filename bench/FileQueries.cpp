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
#include "../tests/audio/TempInstallation.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/DosTime.hpp"
#include "protocol/FileQueries.hpp"

namespace {

// Small tagged MP3 files on drive C of a temporary installation, removed at
// exit. Clients name them in the Windows form ("C:\\Music\\song1.mp3").
class Library {
public:
    Library(const zd::testing::TempInstallation& installation, int count)
    {
        const std::string folder = "Music" + std::to_string(count);
        for (int i = 0; i < count; ++i) {
            const std::string name = "song" + std::to_string(i) + ".mp3";
            const std::string path = installation.Put(folder + "/" + name, "").string();
            // Half changed two days ago, half a month ago.
            zd::testdata::WriteTaggedMp3(path, 2, i % 2 == 0 ? 2 : 30,
                {{"Title", "Song " + std::to_string(i)}, {"Artist", "Artist"},
                 {"Duration", std::to_string(180000 + i)}, {"Cue", "100"}, {"Segue", "175000"},
                 {"Intro", "9000"}});
            paths_.push_back(path);
            clientNames_.push_back("C:\\" + folder + "\\" + name);
        }
    }

    const std::vector<std::string>& Paths() const { return paths_; }
    const std::vector<std::string>& ClientNames() const { return clientNames_; }

private:
    std::vector<std::string> paths_;
    std::vector<std::string> clientNames_;
};

const Library& Files(int count)
{
    // One installation: its drive map is the file layer's only one.
    static const zd::testing::TempInstallation installation;
    static const Library thousand(installation, 1000);
    static const Library tenThousand(installation, 10000);
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
    std::string list;
    for (const std::string& name : Files(1000).ClientNames())
        list += name + ",";
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
