#pragma once

#include "net/Connection.hpp"

#include <chrono>

namespace zd {

// Sets a connection's read time-out for a scope and puts the previous one
// back on every way out of it.
class ReadTimeoutScope {
public:
    ReadTimeoutScope(Connection& connection, std::chrono::milliseconds timeout) noexcept
        : connection_(connection), previous_(connection.ReadTimeout())
    {
        connection_.SetReadTimeout(timeout);
    }
    ~ReadTimeoutScope() { connection_.SetReadTimeout(previous_); }
    ReadTimeoutScope(const ReadTimeoutScope&) = delete;
    ReadTimeoutScope& operator=(const ReadTimeoutScope&) = delete;

private:
    Connection& connection_;
    std::chrono::milliseconds previous_;
};

} // namespace zd
