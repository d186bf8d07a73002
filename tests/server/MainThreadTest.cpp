#include "server/MainThread.hpp"

#include "common/Error.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace zd {
namespace {

TEST(MainThread, RunsWorkFromManyThreadsInOrderAndWaits)
{
    MainThread main;
    constexpr int kThreads = 8;
    constexpr int kJobs = 50;
    std::vector<std::pair<int, int>> ran; // touched on the main thread only
    std::atomic<int> finished{0};
    std::atomic<bool> wrongThread{false};
    std::atomic<bool> returnedEarly{false};

    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
        callers.emplace_back([&, t] {
            for (int j = 0; j < kJobs; ++j) {
                bool done = false;
                const int result = main.RunOnMainThread([&] {
                    if (!main.IsMainThread())
                        wrongThread = true;
                    ran.emplace_back(t, j);
                    done = true;
                    return j * 2;
                });
                if (!done || result != j * 2)
                    returnedEarly = true;
            }
            if (++finished == kThreads)
                main.Post([&] { main.Quit(0); });
        });
    }
    EXPECT_EQ(main.Run(), 0);
    for (auto& caller : callers)
        caller.join();

    EXPECT_FALSE(wrongThread);
    EXPECT_FALSE(returnedEarly);
    ASSERT_EQ(ran.size(), static_cast<std::size_t>(kThreads * kJobs));
    std::vector<int> next(kThreads, 0);
    for (const auto& [t, j] : ran) {
        EXPECT_EQ(j, next[static_cast<std::size_t>(t)]) << "thread " << t;
        next[static_cast<std::size_t>(t)] = j + 1;
    }
}

TEST(MainThread, KeepsTheOrderHandedOverAndCarriesErrorsBack)
{
    MainThread main;
    std::vector<std::string> order;
    std::string caught;
    std::thread caller([&] {
        main.Post([&] { order.push_back("posted 1"); });
        main.Post([&] { order.push_back("posted 2"); });
        main.RunOnMainThread([&] { order.push_back("waited"); });
        try {
            main.RunOnMainThread([]() -> int { throw FileError("File not found"); });
        } catch (const Error& error) {
            caught = error.ClassName() + ": " + error.what();
        }
        main.Quit(3);
    });
    EXPECT_EQ(main.Run(), 3);
    caller.join();
    EXPECT_EQ(order, (std::vector<std::string>{"posted 1", "posted 2", "waited"}));
    EXPECT_EQ(caught, "EFOpenError: File not found");
}

TEST(MainThread, RunsAtOnceOnTheMainThread)
{
    MainThread main; // no loop running: the work must not be queued
    EXPECT_EQ(main.RunOnMainThread([] { return 7; }), 7);
    EXPECT_THROW(main.RunOnMainThread([] { throw SocketError("gone"); }), SocketError);
    EXPECT_EQ(main.RunPending(), 0u);
}

TEST(MainThread, TimerTicksWhileEnabledOnly)
{
    MainThread main;
    int ticks = 0;
    main.SetTimerInterval(std::chrono::milliseconds(5));
    main.SetTimerHandler([&] {
        EXPECT_TRUE(main.IsMainThread());
        if (++ticks == 3) {
            main.StopTimer();
            // Stopped: a later job ends the loop without another tick.
            main.Post([&] { main.Quit(0); });
        }
    });
    EXPECT_FALSE(main.TimerEnabled());
    main.StartTimer();
    main.Run();
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(main.TimerEnabled());
}

} // namespace
} // namespace zd
