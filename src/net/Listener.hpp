#pragma once

#include "lib/posix/UniqueFileDescriptor.hpp"
#include "net/Connection.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zd {

// The TCP listener: an accepting thread and one thread per connection. Each
// accepted connection gets keep-alive and the read time-out of net/Limits
// before its serve handler runs.
class Listener {
public:
    // Runs on the connection's own thread for its whole life; when it
    // returns the connection is closed and forgotten.
    using ServeHandler = std::function<void(const std::shared_ptr<Connection>&)>;
    // Called on the accepting thread when accepting fails.
    using ErrorHandler = std::function<void(const std::exception&)>;

    Listener() = default;
    ~Listener(); // Stop() and CloseAll(), joins every thread
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds (with address reuse) and listens on the address ("" = all
    // local addresses) and port, then starts accepting. Throws SocketError
    // with the system's message on failure; already listening does nothing.
    void Listen(const std::string& address, std::uint16_t port, ServeHandler serve,
                ErrorHandler onError);

    // Stops accepting and closes the listening socket; open connections stay.
    // Main thread. noexcept.
    void Stop() noexcept;
    bool Listening() const noexcept { return listening_.load(); }
    // The port actually bound (useful with port 0); 0 when not listening.
    std::uint16_t BoundPort() const noexcept { return boundPort_.load(); }

    // The number of open connections, from the listener's list under its lock.
    std::size_t ConnectionCount() const;
    // Shuts every open connection down (their threads then end). noexcept.
    void CloseAll() noexcept;
    // Joins the threads of connections that ended. With wait true, waits for
    // every connection thread; returns true when none is left. noexcept.
    bool JoinFinished(bool wait = false) noexcept;
    // Called (on the ending connection's thread) after each connection ends.
    void SetOnConnectionEnded(std::function<void()> notify) { onEnded_ = std::move(notify); }
    // Called on the accepting thread, at most once per kLimitReportInterval,
    // with the number of connections refused or closed by the connection
    // limits since the last call.
    void SetOnLimit(std::function<void(std::size_t)> notify) { onLimit_ = std::move(notify); }

private:
    using Clock = std::chrono::steady_clock;

    struct Served {
        std::shared_ptr<Connection> connection;
        std::thread thread;
        std::atomic<bool> finished{false};
        Clock::time_point accepted;
        std::string address;
    };

    void AcceptLoop();
    // Applies the connection limits to a peer about to be accepted: false
    // when it is to be refused; may close the oldest connection not logged
    // in. Under mutex_.
    bool Admit(const std::string& address);
    // Closes the connections past their login time. Under mutex_.
    void CloseLateLogins(Clock::time_point now) noexcept;
    // Counts a connection refused or closed by a limit and reports when due.
    void CountLimited(Clock::time_point now);
    void ReportLimited(Clock::time_point now);

    UniqueFileDescriptor listen_;
    UniqueFileDescriptor wakeRead_;  // a byte here ends the accepting thread
    UniqueFileDescriptor wakeWrite_;
    std::thread acceptThread_;
    std::atomic<bool> listening_{false};
    std::atomic<std::uint16_t> boundPort_{0};
    ServeHandler serve_;
    ErrorHandler onError_;
    std::function<void()> onEnded_;
    std::function<void(std::size_t)> onLimit_;
    std::size_t limited_ = 0;                 // accepting thread only
    Clock::time_point lastLimitReport_{};     // accepting thread only
    mutable std::mutex mutex_;
    std::list<Served> connections_;
};

} // namespace zd
