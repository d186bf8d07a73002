#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace zd {

// The main thread's event loop: the one owner of the window state, the user
// list, the connected-users list and the log. Other threads hand work to it
// and wait; it also runs the one periodic timer of the window.
//
// The thread that constructs the object is the main thread.
class MainThread {
public:
    using Job = std::function<void()>;

    MainThread();
    ~MainThread();
    MainThread(const MainThread&) = delete;
    MainThread& operator=(const MainThread&) = delete;

    bool IsMainThread() const noexcept { return std::this_thread::get_id() == owner_; }

    // Queues a job to run on the main thread after those queued before it.
    // Any thread. noexcept apart from allocation.
    void Post(Job job);

    // Runs the work on the main thread and returns its result once it ran.
    // On the main thread it runs at once; from other threads jobs run in the
    // order handed over. Throws only what the work throws, rethrown to the
    // caller. The main thread serves these jobs until every thread that may
    // call it has ended (shutdown pumps them while connections end); such a
    // thread must not call it after that.
    template <class Work>
    auto RunOnMainThread(Work&& work) -> std::invoke_result_t<Work&>
    {
        using Result = std::invoke_result_t<Work&>;
        if constexpr (std::is_void_v<Result>) {
            RunAndWait([&] { work(); });
        } else {
            std::optional<Result> result;
            RunAndWait([&] { result.emplace(work()); });
            return std::move(*result);
        }
    }

    // The periodic timer. The tick runs on the main thread every interval
    // while the timer is enabled. TimerEnabled may be read from any thread.
    void SetTimerHandler(Job tick);
    void SetTimerInterval(std::chrono::milliseconds interval) noexcept;
    std::chrono::milliseconds TimerInterval() const noexcept;
    void StartTimer() noexcept; // (re)starts a full interval from now
    void StopTimer() noexcept;
    bool TimerEnabled() const noexcept;

    // Runs jobs and timer ticks until Quit; returns the exit code given to
    // Quit. Main thread only. Exceptions of posted jobs are swallowed.
    int Run();
    // Makes Run return after the current job. Any thread. noexcept.
    void Quit(int exitCode = 0) noexcept;

    // Runs the jobs queued now (not the timer); returns how many ran. Main
    // thread only; for start-up, shutdown, tests and an outside event loop.
    std::size_t RunPending();

    // For an outside event loop that takes the place of Run (the window's):
    // the wake handler is called, from any thread, whenever a job was queued
    // or the timer was started, so that loop runs RunPending on the main
    // thread; RunDueTimer runs the timer's tick when it is due.
    void SetWakeHandler(Job wake);
    void RunDueTimer();

    // Runs queued jobs until `done` is true, checking it after every job and
    // at least every `poll`. Main thread only. Wake() makes it check early.
    void PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds poll = std::chrono::milliseconds(20));
    // Wakes Run or PumpUntil so they check their conditions. Any thread.
    void Wake() noexcept;

private:
    // What a waiting caller keeps on its stack: the main thread fills it in
    // and wakes only that caller.
    struct Waiter {
        std::exception_ptr error;
        bool done = false;
        std::condition_variable finished;
    };
    struct Task {
        Job job;
        Waiter* waiter = nullptr; // set for waited jobs
    };

    void RunAndWait(const Job& job);
    bool RunOne(std::unique_lock<std::mutex>& lock);
    void RunTimerIfDue(std::unique_lock<std::mutex>& lock);

    std::thread::id owner_;
    mutable std::mutex mutex_;
    std::condition_variable wake_; // the main thread waits here
    std::deque<Task> queue_;
    bool quit_ = false;
    int exitCode_ = 0;

    Job tick_;
    Job wakeHandler_;
    bool timerEnabled_ = false;
    std::chrono::milliseconds interval_{2000};
    std::chrono::steady_clock::time_point nextTick_{};
};

} // namespace zd
