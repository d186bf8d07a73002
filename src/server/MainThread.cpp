#include "server/MainThread.hpp"

namespace zd {

MainThread::MainThread() : owner_(std::this_thread::get_id()) {}

MainThread::~MainThread() = default;

void MainThread::Post(Job job)
{
    Job wake;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(Task{std::move(job), nullptr});
        wake = wakeHandler_;
    }
    wake_.notify_all();
    if (wake)
        wake();
}

void MainThread::SetWakeHandler(Job wake)
{
    std::lock_guard lock(mutex_);
    wakeHandler_ = std::move(wake);
}

void MainThread::RunDueTimer()
{
    std::unique_lock lock(mutex_);
    RunTimerIfDue(lock);
}

void MainThread::RunAndWait(const Job& job)
{
    if (IsMainThread()) {
        job();
        return;
    }
    Waiter waiter;
    std::unique_lock lock(mutex_);
    queue_.push_back(Task{job, &waiter});
    const Job wake = wakeHandler_;
    lock.unlock();
    wake_.notify_one();
    if (wake)
        wake();
    lock.lock();
    waiter.finished.wait(lock, [&] { return waiter.done; });
    lock.unlock();
    if (waiter.error)
        std::rethrow_exception(waiter.error);
}

bool MainThread::RunOne(std::unique_lock<std::mutex>& lock)
{
    if (queue_.empty())
        return false;
    Task task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    std::exception_ptr error;
    try {
        task.job();
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    if (task.waiter != nullptr) {
        task.waiter->error = error;
        task.waiter->done = true;
        task.waiter->finished.notify_one();
    }
    return true;
}

void MainThread::RunTimerIfDue(std::unique_lock<std::mutex>& lock)
{
    if (!timerEnabled_ || !tick_ || std::chrono::steady_clock::now() < nextTick_)
        return;
    nextTick_ = std::chrono::steady_clock::now() + interval_;
    Job tick = tick_;
    lock.unlock();
    try {
        tick();
    } catch (...) {
        // A failing check must not stop the loop; the next tick tries again.
    }
    lock.lock();
}

void MainThread::SetTimerHandler(Job tick)
{
    std::lock_guard lock(mutex_);
    tick_ = std::move(tick);
}

void MainThread::SetTimerInterval(std::chrono::milliseconds interval) noexcept
{
    std::lock_guard lock(mutex_);
    interval_ = interval;
    if (timerEnabled_)
        nextTick_ = std::chrono::steady_clock::now() + interval_;
}

std::chrono::milliseconds MainThread::TimerInterval() const noexcept
{
    std::lock_guard lock(mutex_);
    return interval_;
}

void MainThread::StartTimer() noexcept
{
    {
        std::lock_guard lock(mutex_);
        timerEnabled_ = true;
        nextTick_ = std::chrono::steady_clock::now() + interval_;
    }
    wake_.notify_all();
}

void MainThread::StopTimer() noexcept
{
    std::lock_guard lock(mutex_);
    timerEnabled_ = false;
}

bool MainThread::TimerEnabled() const noexcept
{
    std::lock_guard lock(mutex_);
    return timerEnabled_;
}

int MainThread::Run()
{
    std::unique_lock lock(mutex_);
    quit_ = false;
    while (!quit_) {
        if (RunOne(lock))
            continue;
        RunTimerIfDue(lock);
        if (quit_ || !queue_.empty())
            continue;
        if (timerEnabled_ && tick_)
            wake_.wait_until(lock, nextTick_);
        else
            wake_.wait(lock);
    }
    return exitCode_;
}

void MainThread::Quit(int exitCode) noexcept
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        exitCode_ = exitCode;
    }
    wake_.notify_all();
}

std::size_t MainThread::RunPending()
{
    std::unique_lock lock(mutex_);
    std::size_t count = queue_.size();
    std::size_t ran = 0;
    while (ran < count && RunOne(lock))
        ++ran;
    return ran;
}

void MainThread::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds poll)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        while (RunOne(lock)) {
        }
        lock.unlock();
        if (done())
            return;
        lock.lock();
        if (queue_.empty())
            wake_.wait_for(lock, poll);
    }
}

void MainThread::Wake() noexcept
{
    wake_.notify_all();
}

} // namespace zd
