// The real program on an open port: connection limits, the login time and
// throttled failed logins, spoken to from several loopback addresses.

#include "DemoInstallation.hpp"
#include "RawClient.hpp"
#include "ServerProcess.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include <poll.h>

namespace zd::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A plain TCP connection from a given loopback address that sends nothing.
class IdleSocket {
public:
    IdleSocket(std::uint16_t port, const std::string& from)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
        const sockaddr_in server = testsupport::LoopbackAddress(port);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
            || ::connect(fd_, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
            throw std::runtime_error("cannot connect from " + from);
    }
    ~IdleSocket() { ::close(fd_); }
    IdleSocket(const IdleSocket&) = delete;
    IdleSocket& operator=(const IdleSocket&) = delete;

    // True when the server closed the connection within the time.
    bool ClosedWithin(std::chrono::milliseconds time) const
    {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(time.count())) <= 0)
            return false;
        char byte = 0;
        return ::recv(fd_, &byte, 1, MSG_DONTWAIT) <= 0;
    }
    void Send(const std::string& bytes) const { (void)!::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

private:
    int fd_ = -1;
};

std::size_t OpenDescriptors(pid_t pid)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        ++count;
    return count;
}

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class OpenPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = FreePort();
        server = RunHeadlessServer(demo.RootArgument(), port);
    }
    DemoInstallation demo;
    std::uint16_t port = 0;
    std::unique_ptr<ServerProcess> server;
};

TEST_F(OpenPort, AThousandIdleSocketsNeitherKeepALoginOutNorUseUpDescriptors)
{
    const std::size_t before = OpenDescriptors(server->Pid());
    std::vector<std::unique_ptr<IdleSocket>> idle;
    for (int i = 0; i < 1000; ++i)
        idle.push_back(std::make_unique<IdleSocket>(port, "127.0.0." + std::to_string(2 + i / 8)));
    RawClient client(port);
    EXPECT_EQ(client.Login("demo", "demo"), "OK");
    // The oldest idle ones were closed to make room; at most the pending
    // limit of them is still open.
    std::size_t open = 0;
    for (const auto& socket : idle)
        open += socket->ClosedWithin(0ms) ? 0 : 1;
    EXPECT_LE(open, 64u);
    // Closed ones give their descriptors back as their threads end.
    const auto deadline = Clock::now() + 10s;
    while (OpenDescriptors(server->Pid()) > before + 64 + 8 && Clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    EXPECT_LE(OpenDescriptors(server->Pid()), before + 64 + 8);
    ASSERT_TRUE(server->WaitForOutput("Connection limits reached: "));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Occurrences(server->Stdout(), "Connection limits reached: "), 1u) << "one line a minute at most";
}

TEST_F(OpenPort, ANinthPendingConnectionFromOneAddressIsClosedAtOnce)
{
    std::vector<std::unique_ptr<IdleSocket>> idle;
    for (int i = 0; i < 8; ++i)
        idle.push_back(std::make_unique<IdleSocket>(port, "127.0.0.5"));
    IdleSocket ninth(port, "127.0.0.5");
    EXPECT_TRUE(ninth.ClosedWithin(5s));
    EXPECT_FALSE(idle.front()->ClosedWithin(200ms));
    RawClient other(port, "127.0.0.6");
    EXPECT_EQ(other.Login("demo", "demo"), "OK");
}

TEST_F(OpenPort, AConnectionThatDoesNotLogInWithinThirtySecondsIsClosed)
{
    // One byte a second keeps every read alive, but not the connection.
    IdleSocket slow(port, "127.0.0.7");
    const auto start = Clock::now();
    bool closed = false;
    while (!closed && Clock::now() - start < 45s) {
        slow.Send("L");
        closed = slow.ClosedWithin(1s);
    }
    EXPECT_TRUE(closed);
    EXPECT_GE(Clock::now() - start, 25s);
}

TEST_F(OpenPort, FailedLoginsFromOneAddressAreAnsweredEverMoreSlowly)
{
    for (int i = 0; i < 6; ++i) {
        RawClient client(port, "127.0.0.8");
        ASSERT_EQ(client.Login("demo", "wrong"), "Fail");
    }
    // The 7th failure waits 2 s for its answer; another address does not.
    RawClient other(port, "127.0.0.9");
    const auto otherStart = Clock::now();
    EXPECT_EQ(other.Login("demo", "demo"), "OK");
    EXPECT_LT(Clock::now() - otherStart, 1900ms);
    RawClient seventh(port, "127.0.0.8");
    const auto start = Clock::now();
    EXPECT_EQ(seventh.Login("demo", "wrong"), "Fail");
    EXPECT_GE(Clock::now() - start, 1900ms);
    // The right password waits too, then clears the address.
    RawClient right(port, "127.0.0.8");
    EXPECT_EQ(right.Login("demo", "demo"), "OK");
    RawClient again(port, "127.0.0.8");
    const auto againStart = Clock::now();
    EXPECT_EQ(again.Login("demo", "wrong"), "Fail");
    EXPECT_LT(Clock::now() - againStart, 1900ms);
}

} // namespace
} // namespace zd::e2e
