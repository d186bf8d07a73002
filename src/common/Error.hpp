#pragma once

#include <stdexcept>
#include <string>

namespace zd {

// Base of every error this system raises. It carries the class name that
// replies and log lines show as "<class name>: <message>" (for example
// "EInOutError: File not found" or "EIdSocketError: Connection reset").
class Error : public std::runtime_error {
public:
    Error(std::string className, const std::string& message)
        : std::runtime_error(message), className_(std::move(className)) {}

    const std::string& ClassName() const noexcept { return className_; }

private:
    std::string className_;
};

// File and stream failures: open, read, write, seek, lock refused.
class FileError : public Error {
public:
    explicit FileError(const std::string& message) : Error("EFOpenError", message) {}
    FileError(std::string className, const std::string& message)
        : Error(std::move(className), message) {}
};

// Socket failures and a peer that went away.
class SocketError : public Error {
public:
    explicit SocketError(const std::string& message) : Error("EIdSocketError", message) {}
};

// A read that waited longer than the connection's read time-out.
class ReadTimeoutError : public Error {
public:
    ReadTimeoutError() : Error("EIdReadTimeout", "Read timed out.") {}
};

// The peer closed the connection.
class ConnectionClosedError : public Error {
public:
    ConnectionClosedError() : Error("EIdConnClosedGracefully", "Connection Closed Gracefully.") {}
};

// The class name of any exception: ours carry one, others are named by kind.
inline std::string ClassNameOf(const std::exception& error)
{
    if (const auto* own = dynamic_cast<const Error*>(&error))
        return own->ClassName();
    return "Exception";
}

// An exception as replies and log lines show it: "class name: message".
inline std::string ErrorText(const std::exception& error)
{
    return ClassNameOf(error) + ": " + error.what();
}

} // namespace zd
