// The cost of one RunOnMainThread hand-over from a connection thread: the
// job is queued, the main thread's loop runs it, the caller wakes.

#include "server/MainThread.hpp"

#include <benchmark/benchmark.h>

#include <thread>

namespace {

void RoundTripFromConnectionThread(benchmark::State& state)
{
    zd::MainThread main;
    int counter = 0; // touched on the main thread only
    std::thread connection([&] {
        for (auto _ : state) {
            const int seen = main.RunOnMainThread([&] { return ++counter; });
            benchmark::DoNotOptimize(seen);
        }
        main.Post([&] { main.Quit(0); });
    });
    main.Run();
    connection.join();
    state.counters["jobs"] = counter;
}
BENCHMARK(RoundTripFromConnectionThread)->UseRealTime();

void RoundTripFromFourConnectionThreads(benchmark::State& state)
{
    // Four connections hand work over at once; each iteration is one round
    // trip of the measuring thread while three others compete for the loop.
    zd::MainThread main;
    std::atomic<bool> stop{false};
    std::vector<std::thread> others;
    for (int i = 0; i < 3; ++i) {
        others.emplace_back([&] {
            while (!stop)
                main.RunOnMainThread([] {});
        });
    }
    std::thread connection([&] {
        for (auto _ : state)
            main.RunOnMainThread([] {});
        stop = true;
        main.Post([&] { main.Quit(0); });
    });
    main.Run();
    connection.join();
    // The others may have one job left to run.
    std::thread drain([&] { for (auto& other : others) other.join(); main.Post([&] { main.Quit(0); }); });
    main.Run();
    drain.join();
}
BENCHMARK(RoundTripFromFourConnectionThreads)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
