// Start-up, single instance, listener failure and shutdown of the real
// program, run headless on copies of the demo installation.

#include "DemoInstallation.hpp"
#include "ServerProcess.hpp"
#include "support/BusyPort.hpp"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace zd::e2e {
namespace {

using namespace std::chrono_literals;

using Installation = DemoInstallation;

// A fresh installation for one server: the demo copy without a
// configuration file, so the server starts from the defaults.
std::unique_ptr<Installation> PrepareRoot()
{
    auto root = std::make_unique<Installation>();
    std::filesystem::remove(root->DataFolder() / "ZODavizi.dat");
    std::filesystem::remove(root->DataFolder() / "ZODavizi.bak");
    return root;
}

// A loopback connection that can tell when the server closed it.
class Peer {
public:
    explicit Peer(std::uint16_t port) : fd_(testsupport::ConnectLoopback(port)) {}
    ~Peer()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Connected() const { return fd_ >= 0; }
    bool ClosedByServer(int boundMs)
    {
        pollfd ready{fd_, POLLIN, 0};
        char byte;
        return ::poll(&ready, 1, boundMs) == 1 && ::recv(fd_, &byte, 1, 0) == 0;
    }

private:
    int fd_;
};

TEST(Lifecycle, StartsWithDefaultsAcceptsAndClosesOnSigterm)
{
    const auto root = PrepareRoot();
    const std::uint16_t port = FreePort();
    auto server = StartHeadlessServer(root->RootArgument(), port);
    ASSERT_TRUE(server->WaitForPort(port)) << server->Stderr();
    Peer peer(port);
    ASSERT_TRUE(peer.Connected());
    EXPECT_FALSE(peer.ClosedByServer(50));

    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitExit(2s), std::optional<int>(0)) << server->Stderr();
    EXPECT_TRUE(peer.ClosedByServer(0));
    // Nothing changed, so nothing was written; the defaults stay as they were.
    EXPECT_FALSE(std::filesystem::exists(root->DataFolder() / "ZODavizi.dat"));
    EXPECT_EQ(server->Stderr().find("Unable"), std::string::npos) << server->Stderr();
}

TEST(Lifecycle, SecondStartOfAnInstallationEndsAndTheFirstRunsOn)
{
    const auto root = PrepareRoot();
    const auto otherRoot = PrepareRoot();
    const std::uint16_t port = FreePort();
    auto first = StartHeadlessServer(root->RootArgument(), port);
    ASSERT_TRUE(first->WaitForPort(port)) << first->Stderr();

    // The running copy answers within one timer period: the second only beeps.
    auto second = StartHeadlessServer(root->RootArgument(), FreePort());
    const auto secondCode = second->WaitExit(6s);
    ASSERT_TRUE(secondCode.has_value());
    EXPECT_NE(*secondCode, 0);
    EXPECT_NE(second->Stderr().find('\a'), std::string::npos);
    EXPECT_EQ(second->Stderr().find("already loaded"), std::string::npos) << second->Stderr();
    EXPECT_TRUE(first->Running());
    EXPECT_TRUE(PortAccepts(port));

    // Another installation runs beside it.
    const std::uint16_t otherPort = FreePort();
    auto other = StartHeadlessServer(otherRoot->RootArgument(), otherPort);
    EXPECT_TRUE(other->WaitForPort(otherPort)) << other->Stderr();

    other->Signal(SIGINT);
    first->Signal(SIGTERM);
    EXPECT_EQ(other->WaitExit(2s), std::optional<int>(0));
    EXPECT_EQ(first->WaitExit(2s), std::optional<int>(0));
}

TEST(Lifecycle, SecondStartReportsWhenTheRunningCopyDoesNotAnswer)
{
    const auto root = PrepareRoot();
    const std::uint16_t port = FreePort();
    auto first = StartHeadlessServer(root->RootArgument(), port);
    ASSERT_TRUE(first->WaitForPort(port)) << first->Stderr();
    first->Signal(SIGSTOP);
    auto second = StartHeadlessServer(root->RootArgument(), FreePort());
    const auto code = second->WaitExit(10s);
    first->Signal(SIGCONT);
    ASSERT_TRUE(code.has_value());
    EXPECT_NE(*code, 0);
    EXPECT_NE(second->Stderr().find("ZO Davizi is already loaded."), std::string::npos) << second->Stderr();
    EXPECT_NE(second->Stderr().find("Click OK to exit"), std::string::npos);
    first->Signal(SIGTERM);
    EXPECT_EQ(first->WaitExit(2s), std::optional<int>(0));
}

TEST(Lifecycle, PortInUseKeepsTheServerRunningDisabled)
{
    const auto root = PrepareRoot();
    const testsupport::BusyPort taken;

    auto server = StartHeadlessServer(root->RootArgument(), taken.Port());
    ASSERT_TRUE(server->WaitForOutput("Unable to activate the server")) << server->Stderr();
    EXPECT_NE(server->Stderr().find("Address already in use"), std::string::npos) << server->Stderr();
    EXPECT_TRUE(server->Running());
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitExit(2s), std::optional<int>(0));
}

} // namespace
} // namespace zd::e2e
