// The library search over a database of 100,000 songs that matches 1 % of
// them, next to a plain sequential read of the same file in the same run
// (bytes per second of each, and the search's counter speed_vs_read); and zdlibrary's builder over 1,000 tagged
// files (items per second = files per second).

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "../tests/audio/TagTestFiles.hpp"
#include "../tests/audio/TempInstallation.hpp"
#include "common/DosTime.hpp"
#include "scheduler/LibraryBuilder.hpp"
#include "scheduler/LibraryDatabase.hpp"
#include "scheduler/LibrarySearch.hpp"

namespace {

namespace fs = std::filesystem;

constexpr int kSongs = 100000;
constexpr int kFiles = 1000;

std::string Padded(int value)
{
    std::string text = std::to_string(value);
    return std::string(3 - text.size(), '0') + text;
}

// A data folder with "Big.dat": 100 artists of 1,000 songs each, one in ten
// with accented names in the code page, and every song with a history.
class BigDatabase {
public:
    BigDatabase()
    {
        fs::create_directories(Data());
        zd::LibraryWriter writer((Data() / "Big.dat").string());
        for (int i = 0; i < kSongs; ++i) {
            zd::LibraryRecord record;
            const int artist = i % 100;
            record.Artist = (artist % 10 == 9 ? "Zo\xEB M\xE1rquez " : "Artist ") + Padded(artist);
            record.Title = "Song number " + std::to_string(i);
            record.FileName = "C:\\Cadmora\\Music\\Rock\\" + record.Artist + " - " + record.Title + ".mp3";
            record.Album = "Album " + std::to_string(i / 12);
            record.Genre = "Rock";
            record.Mood = "Calm";
            record.Year = static_cast<std::uint16_t>(1960 + i % 60);
            record.DurationMs = static_cast<std::uint32_t>(150000 + i % 120000);
            record.BitRate = 128;
            record.Rating = static_cast<std::uint8_t>(i % 6);
            record.TransitionMs = 2000;
            writer.Add(record);
        }
        writer.Commit();
    }
    fs::path Data() const { return installation_.OnDriveC("Cadmora/Data"); }
    fs::path File() const { return Data() / "Big.dat"; }

private:
    zd::testing::TempInstallation installation_;
};

const BigDatabase& Database()
{
    static BigDatabase database;
    return database;
}

// The thread's CPU time in seconds.
double CpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The file read from start to end in 64 KiB pieces, nothing else.
std::size_t PlainRead(const fs::path& file)
{
    static std::string buffer(64 * 1024, '\0');
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
        total += static_cast<std::size_t>(n);
    ::close(fd);
    return total;
}

// Each iteration also reads the file plainly (outside the timing), so the
// counter speed_vs_read compares the two on the same load of the machine:
// the plain read's CPU time over the search's.
void Search(benchmark::State& state, const std::string& filters)
{
    const auto& database = Database();
    zd::SearchEnvironment environment;
    environment.DataFolder = "C:\\Cadmora\\Data\\";
    environment.SeparationMinutes = 60;
    environment.Now = 46000;
    const auto request = zd::ParseSearchRequest(
        "Big,0," + std::to_string(zd::PackDosDateTime(2026, 6, 10, 12, 0, 0)) + "," + filters);
    std::size_t matches = 0;
    double readSeconds = 0, searchSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const double beforeRead = CpuSeconds();
        benchmark::DoNotOptimize(PlainRead(database.File()));
        readSeconds += CpuSeconds() - beforeRead;
        state.ResumeTiming();
        const double beforeSearch = CpuSeconds();
        const auto result = zd::SearchLibrary(request, environment);
        searchSeconds += CpuSeconds() - beforeSearch;
        matches = result.Items.size();
        benchmark::DoNotOptimize(result);
    }
    if (matches != kSongs / 100)
        state.SkipWithError(("matched " + std::to_string(matches)).c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(database.File())));
    state.counters["speed_vs_read"] = searchSeconds > 0 ? readSeconds / searchSeconds : 0;
}

void BM_SearchArtist(benchmark::State& state) { Search(state, "\"A=artist 042\""); }
void BM_SearchAccentedArtistUtf8(benchmark::State& state) { Search(state, "\"A=\x7F" "zoë márquez 039\""); }
void BM_SearchArtistWithRestrictionAndSeparation(benchmark::State& state) { Search(state, "\"A=artist 042\",SR=2"); }

void BM_SequentialRead(benchmark::State& state)
{
    const auto& database = Database();
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainRead(database.File()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(database.File())));
}

BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchArtist)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAccentedArtistUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchArtistWithRestrictionAndSeparation)->Unit(benchmark::kMillisecond);

// 1,000 tagged MP3 files in two category folders of an installation.
void BM_BuildLibrary(benchmark::State& state)
{
    zd::testing::TempInstallation installation;
    const fs::path music = installation.OnDriveC("Cadmora/Music");
    for (int i = 0; i < kFiles; ++i) {
        const fs::path folder = music / (i % 2 == 0 ? "Rock" : "Pop");
        fs::create_directories(folder);
        zd::testdata::WriteTaggedMp3((folder / ("song" + std::to_string(i) + ".mp3")).string(), 4, 0,
            {{"Title", "Song " + std::to_string(i)}, {"Artist", "Artist " + Padded(i % 100)}, {"Album", "Album"},
             {"Year", "1999"}, {"Tempo", "3"}});
    }
    fs::create_directories(installation.OnDriveC("Cadmora/Data"));
    const zd::LibraryBuildOptions options{installation.OnDriveC("Cadmora/Data").string(), "",
                                          {(music / "Rock").string(), (music / "Pop").string()}};
    for (auto _ : state) {
        const auto summary = zd::BuildLibrary(options);
        if (summary.Files != kFiles)
            state.SkipWithError("not every file was written");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

BENCHMARK(BM_BuildLibrary)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
