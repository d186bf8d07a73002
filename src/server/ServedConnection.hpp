#pragma once

#include "net/Connection.hpp"

#include <memory>
#include <mutex>

namespace zd {

class TContextData;

// One accepted connection as the server serves it: the connection and its
// session record (the "attachment").
class ServedConnection {
public:
    explicit ServedConnection(std::shared_ptr<Connection> accepted) noexcept
        : connection(*accepted), accepted_(std::move(accepted)) {}
    ServedConnection(const ServedConnection&) = delete;
    ServedConnection& operator=(const ServedConnection&) = delete;

    Connection& connection;

    // The attached session record, or null once detached. Thread-safe.
    std::shared_ptr<TContextData> Data() const;
    void Attach(std::shared_ptr<TContextData> data);
    // Detaches the record and returns it (null when already detached), so
    // that exactly one caller runs the session end. Thread-safe.
    std::shared_ptr<TContextData> Detach();

private:
    std::shared_ptr<Connection> accepted_; // keeps `connection` alive
    mutable std::mutex mutex_;
    std::shared_ptr<TContextData> data_;
};

} // namespace zd
