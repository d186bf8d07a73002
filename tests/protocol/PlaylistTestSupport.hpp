#pragma once

#include "protocol/CommandHost.hpp"
#include "net/Connection.hpp"
#include "server/TUser.hpp"

#include "../support/TempFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace zd::testing {

// Records the log lines and runs main-thread jobs at once.
class RecordingHost final : public CommandHost {
public:
    void Log(const std::string& text) noexcept override
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(text);
    }
    void RunOnMainThread(const std::function<void()>& job) override { job(); }

    std::vector<std::string> Lines() const
    {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// A temporary folder with the reads and writes the command tests make.
class TempFolder : public testsupport::TempFolder {
public:
    // The folder with a trailing separator, as the commands join names to it.
    std::string Folder() const { return Path().string() + "/"; }

    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(Path() / name, std::ios::binary) << content;
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Path() / name); }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(Path() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// A connected socket pair: the server side as a Connection, the client side
// as a plain descriptor.
class SocketPair {
public:
    SocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
            throw std::runtime_error("socketpair failed");
        server = std::make_unique<Connection>(fds[0]);
        client_ = fds[1];
    }
    ~SocketPair()
    {
        if (client_ >= 0)
            ::close(client_);
    }
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;

    void Send(std::string_view bytes) const
    {
        while (!bytes.empty()) {
            const auto sent = ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0)
                return;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
    }
    // Ends what the client sends (the server then reads the end).
    void EndSending() const { ::shutdown(client_, SHUT_WR); }
    // Everything the server wrote, once the server side is closed.
    std::string ReceiveAll()
    {
        server.reset();
        std::string received;
        char chunk[65536];
        for (;;) {
            const auto got = ::recv(client_, chunk, sizeof chunk, 0);
            if (got <= 0)
                return received;
            received.append(chunk, static_cast<std::size_t>(got));
        }
    }
    int ClientFd() const noexcept { return client_; }

    std::unique_ptr<Connection> server;

private:
    int client_ = -1;
};

inline std::shared_ptr<TUser> TestUser(const std::string& login = "bob")
{
    return NewUser(login);
}

// What a test of one command exchange needs: a folder, a host recording the
// log, user "bob" and the connection to a client.
class CommandExchange : public ::testing::Test {
protected:
    TempFolder folder;
    RecordingHost host;
    std::shared_ptr<TUser> user = TestUser();
    SocketPair pair;
};

template <class Case>
class CommandExchangeCases : public CommandExchange, public ::testing::WithParamInterface<Case> {};

} // namespace zd::testing
