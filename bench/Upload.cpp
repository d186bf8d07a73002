// Upload throughput over loopback: the upload handler receiving a voice
// track into a file, against a plain socket-to-file copy of the same bytes
// in the same run.

#include "PlaylistBenchSupport.hpp"

#include "protocol/Upload.hpp"
#include "server/TUser.hpp"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <thread>
#include <vector>

namespace zd::bench {
namespace {

constexpr std::size_t kTrackSize = 32u << 20;
constexpr std::size_t kSendChunk = 65536;

const std::string& Track()
{
    static const std::string track = [] {
        std::string bytes(kTrackSize, '\0');
        std::mt19937 random(7);
        for (auto& byte : bytes)
            byte = static_cast<char>(random());
        return bytes;
    }();
    return track;
}

void SendTrack(int fd, const std::string& header)
{
    SendAll(fd, header);
    const std::string& track = Track();
    for (std::size_t at = 0; at < track.size(); at += kSendChunk)
        SendAll(fd, std::string_view(track).substr(at, kSendChunk));
}

void BM_UploadHandler(benchmark::State& state)
{
    Track();
    BenchFolder folder;
    QuietHost host;
    const auto user = NewUser("bench");
    for (auto _ : state) {
        LoopbackPair pair;
        auto connection = pair.TakeServer();
        std::thread client([&] {
            SendTrack(pair.client, std::to_string(kTrackSize) + "\r\n");
            ReceiveLine(pair.client);
            ReceiveLine(pair.client);
        });
        ReceiveUpload(host, *connection, *user, folder.Folder(), "take.wav");
        client.join();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTrackSize));
}

void BM_RawSocketCopy(benchmark::State& state)
{
    Track();
    BenchFolder folder;
    const std::string path = folder.Folder() + "raw.wav";
    std::vector<char> buffer(kSendChunk);
    for (auto _ : state) {
        LoopbackPair pair;
        std::thread client([&] { SendTrack(pair.client, {}); });
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::size_t left = kTrackSize;
        while (left > 0) {
            const auto got = ::recv(pair.server, buffer.data(), std::min(left, buffer.size()), 0);
            if (got <= 0)
                break;
            if (::write(file, buffer.data(), static_cast<std::size_t>(got)) != got)
                break;
            left -= static_cast<std::size_t>(got);
        }
        ::close(file);
        client.join();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTrackSize));
}

BENCHMARK(BM_RawSocketCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UploadHandler)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace zd::bench

BENCHMARK_MAIN();
