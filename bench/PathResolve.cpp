// Resolving a Windows-form name five folders deep: as written (the fast
// path, one lstat) against a name whose every component differs in letter
// case (a folder scan per component). Each folder holds 60 other entries.
#include "audio/FileOps.hpp"
#include "audio/NativePath.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <stdlib.h>

namespace {

class Installation {
public:
    Installation()
    {
        char pattern[] = "/tmp/zd-bench-XXXXXX";
        root_ = ::mkdtemp(pattern);
        std::filesystem::path folder = root_ / "drive_c";
        for (const char* name : {"Cadmora", "Music", "Rock", "Seventies", "Live"}) {
            folder /= name;
            std::filesystem::create_directories(folder);
            for (int i = 0; i < 60; ++i)
                std::ofstream(folder / ("other" + std::to_string(i) + ".mp3")) << "x";
        }
        std::ofstream(folder / "Song.mp3") << "x";
        std::filesystem::create_directories(root_ / "dosdevices");
        std::filesystem::create_directory_symlink("../drive_c", root_ / "dosdevices" / "c:");
        zd::SetInstallationRoot((root_ / "drive_c" / "Cadmora").string());
    }
    ~Installation()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

private:
    std::filesystem::path root_;
};

Installation& TheInstallation()
{
    static Installation installation;
    return installation;
}

void Resolve(benchmark::State& state, const char* name)
{
    TheInstallation();
    if (!zd::FileExistsMarked(name)) {
        state.SkipWithError("name does not resolve");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(zd::NativePathOf(name));
}

void BM_ExactCase(benchmark::State& state)
{
    Resolve(state, "C:\\Cadmora\\Music\\Rock\\Seventies\\Live\\Song.mp3");
}

void BM_MixedCase(benchmark::State& state)
{
    Resolve(state, "c:\\CADMORA\\music\\ROCK\\seventies\\LIVE\\song.MP3");
}

BENCHMARK(BM_ExactCase)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_MixedCase)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
