// Previews against their anchors in the same run, on the real server
// (zodavizi --headless on a demo copy, loopback only):
//  - the first body byte after the request, against the first byte of an
//    ffmpeg command-line transcode of the same file;
//  - the encoder's CPU time, against the lame command line on the same PCM;
//  - 51 concurrent player previews at "64k mono": each stream's speed as a
//    multiple of real time;
//  - the server's memory per stream, against the announced length + 2 MB.

#include "../tests/e2e/DemoInstallation.hpp"
#include "../tests/e2e/PreviewClient.hpp"
#include "../tests/e2e/ServerProcess.hpp"
#include "../tests/support/AudioTools.hpp"

#include "preview/PcmInput.hpp"
#include "preview/PreviewBuffer.hpp"
#include "preview/TMP3Out.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kSeconds = 60;
constexpr int kStreams = 51;
constexpr int kKbit = 64;
const std::string kPlayer = "User-Agent: Winamp/5.9\r\n";

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double CpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

long ResidentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// Milliseconds from the start of a command to the first byte on its output.
double FirstByteOfCommand(const std::string& command)
{
    const auto start = Clock::now();
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    (void)std::fgetc(pipe);
    const double ms = Ms(Clock::now() - start);
    char rest[65536];
    while (std::fread(rest, 1, sizeof rest, pipe) > 0) {
    }
    pclose(pipe);
    return ms;
}

// CPU seconds of a command run to its end.
double CpuOfCommand(const std::string& command)
{
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    if (std::system(command.c_str()) != 0)
        return -1;
    getrusage(RUSAGE_CHILDREN, &after);
    const auto seconds = [](const rusage& r) {
        return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    return seconds(after) - seconds(before);
}

// Interleaved 16-bit stereo PCM held in memory.
class MemoryPcm : public zd::PcmInput {
public:
    explicit MemoryPcm(const std::string& bytes) : bytes_(bytes) {}
    bool Init() override { return true; }
    std::size_t GetData(std::span<std::byte> out) override
    {
        const std::size_t n = std::min(out.size(), bytes_.size() - at_);
        std::memcpy(out.data(), bytes_.data() + at_, n);
        at_ += n;
        return n;
    }
    void Flush() noexcept override {}
    int SampleRate() const noexcept override { return 44100; }
    int Channels() const noexcept override { return 2; }
    int BitsPerSample() const noexcept override { return 16; }

private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

double OurEncoderCpu(const std::string& pcm)
{
    MemoryPcm input(pcm);
    zd::PreviewBuffer buffer(8u << 20);
    zd::TMP3Out encoder;
    zd::ApplyPreviewPreset(encoder, 1);
    encoder.Input = &input;
    encoder.Stream = &buffer;
    const double before = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    encoder.SetDelay(0);
    encoder.Run();
    while (encoder.Status() != 3)
        std::this_thread::sleep_for(1ms);
    return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - before;
}

struct StreamResult {
    double realTime = 0; // audio seconds delivered per second
    long long bytes = 0;
    long long announced = 0;
};

} // namespace

int main()
{
    using namespace zd;
    using namespace zd::e2e;
    if (!testsupport::HaveTool("ffmpeg") || !testsupport::HaveTool("lame")) {
        std::printf("ffmpeg or lame missing\n");
        return 1;
    }
    DemoInstallation demo;
    const fs::path folder = demo.MusicFolder() / "Bench";
    fs::create_directories(folder);
    const std::string wav = (folder / "long.wav").string();
    const std::string raw = (demo.Prefix() / "long.raw").string();
    testsupport::MakeTone(wav, kSeconds, "-c:a pcm_s16le -af volume=0.5");
    testsupport::RunQuietly("ffmpeg -nostdin -y -i " + testsupport::Quoted(wav) + " -f s16le " + testsupport::Quoted(raw));
    const std::uint16_t port = FreePort();
    auto server = RunHeadlessServer(demo.RootArgument(), port);
    const std::string target = "C:/Cadmora/Music/Bench/long.wav.mp3";
    const std::string credentials = PreviewClient::Credentials("demo", "demo");

    // First byte.
    std::vector<double> ours, theirs;
    for (int i = 0; i < 41; ++i) {
        PreviewClient client(port);
        const auto start = Clock::now();
        client.Request(target, kPlayer + credentials);
        client.ReadHead();
        client.ReadBody(1);
        ours.push_back(Ms(client.LastByteAt() - start));
        client.Close();
        std::this_thread::sleep_for(100ms); // the stream notices and ends
    }
    for (int i = 0; i < 11; ++i)
        theirs.push_back(FirstByteOfCommand("ffmpeg -v quiet -nostdin -i " + testsupport::Quoted(wav)
                                            + " -ac 1 -b:a 64k -f mp3 -"));
    std::printf("first byte of a preview:          median %.1f ms (goal: at most 30 ms)\n", Median(ours));
    std::printf("anchor, ffmpeg CLI first byte:    median %.1f ms; ratio %.2f (goal: at most 0.3)\n",
                Median(theirs), Median(ours) / Median(theirs));

    // Encoder CPU.
    std::ifstream in(raw, std::ios::binary);
    const std::string pcm{std::istreambuf_iterator<char>(in), {}};
    double ourCpu = 1e9, lameCpu = 1e9;
    for (int i = 0; i < 3; ++i) {
        ourCpu = std::min(ourCpu, OurEncoderCpu(pcm));
        lameCpu = std::min(lameCpu, CpuOfCommand("lame --quiet -r -s 44.1 --bitwidth 16 -m m -b 64 -q 3 --cbr -t "
                                                 + testsupport::Quoted(raw) + " "
                                                 + testsupport::Quoted(demo.Prefix() / "lame.mp3")));
    }
    std::printf("encoder CPU, %d s at 64k mono:    %.3f s\n", kSeconds, ourCpu);
    std::printf("anchor, lame CLI on the same PCM: %.3f s; our speed %.2f of lame's (goal: at least 0.95)\n",
                lameCpu, lameCpu / ourCpu);

    // 51 concurrent player previews, and the memory they take.
    std::this_thread::sleep_for(5s); // the first-byte streams have ended
    const long idleKb = ResidentKb(server->Pid());
    std::atomic<long> peakKb{idleKb};
    std::atomic<bool> running{true};
    std::thread sampler([&] {
        while (running) {
            peakKb = std::max(peakKb.load(), ResidentKb(server->Pid()));
            std::this_thread::sleep_for(20ms);
        }
    });
    std::vector<StreamResult> results(kStreams);
    std::vector<std::thread> clients;
    for (int i = 0; i < kStreams; ++i) {
        clients.emplace_back([&, i] {
            PreviewClient client(port);
            const auto start = Clock::now();
            client.Request(target, kPlayer + credentials);
            const PreviewHead head = client.ReadHead();
            const std::string body = client.ReadBody(std::string::npos, 120s);
            results[static_cast<std::size_t>(i)].bytes = static_cast<long long>(body.size());
            results[static_cast<std::size_t>(i)].announced = head.ContentLength;
            const double audioMs = static_cast<double>(body.size()) * 8 / kKbit;
            results[static_cast<std::size_t>(i)].realTime = audioMs / Ms(client.LastByteAt() - start);
        });
    }
    for (auto& client : clients)
        client.join();
    running = false;
    sampler.join();
    std::vector<double> speeds;
    long long announced = 0;
    int whole = 0;
    for (const auto& r : results) {
        speeds.push_back(r.realTime);
        announced = std::max(announced, r.announced);
        whole += r.bytes == r.announced ? 1 : 0;
    }
    std::sort(speeds.begin(), speeds.end());
    std::printf("%d player previews at 64k mono: slowest %.2fx, median %.2fx, fastest %.2fx real time; "
                "%d of %d bodies whole (goal: every stream at least 2x, none below 1x)\n",
                kStreams, speeds.front(), Median(speeds), speeds.back(), whole, kStreams);
    const double perStreamKb = static_cast<double>(peakKb - idleKb) / kStreams;
    std::printf("memory per stream: %.0f kB at the peak; announced length %lld kB + 2048 kB = %lld kB (goal: at most that)\n",
                perStreamKb, announced / 1024, announced / 1024 + 2048);
    server->Signal(SIGTERM);
    server->WaitExit(10s);
    return 0;
}
