#include "DemoInstallation.hpp"
#include "RawClient.hpp"
#include "ServerProcess.hpp"

#include "platform/LocalAddresses.hpp"

#include "../support/PrivateNetwork.hpp"
#include "../support/TestIgd.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace zd::e2e {
namespace {

class PortForwarding : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::EnterPrivateNetwork(); }

    std::unique_ptr<ServerProcess> Start(const std::string& igdUrl)
    {
        return std::make_unique<ServerProcess>(
            BuiltProgram("zodavizi"),
            std::vector<std::string>{"--headless", "-a", demo_.RootArgument(), "--listen",
                                     "127.0.0.1:" + std::to_string(port_)},
            std::vector<std::string>{"ZODAVIZI_UPNP=off", "ZODAVIZI_UPNP_IGD=" + igdUrl});
    }

    DemoInstallation demo_;
    std::uint16_t port_ = FreePort();
};

TEST_F(PortForwarding, TheRouterGetsTheMappingAtStartAndLosesItAtExit)
{
    testsupport::TestIgd igd;
    auto server = Start(igd.DescriptionUrl());
    ASSERT_TRUE(server->WaitForPort(port_)) << server->Stderr();
    // The mapping is asked for right after the listener opened.
    for (int i = 0; i < 500 && igd.Calls().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto calls = igd.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].action, "AddPortMapping");
    const std::string port = std::to_string(port_); // the bound port, not the stored 2323
    const std::map<std::string, std::string> six{
        {"NewExternalPort", port}, {"NewProtocol", "TCP"}, {"NewInternalPort", port},
        {"NewInternalClient", ChooseLocalAddress(LocalIPv4Addresses())}, {"NewEnabled", "1"},
        {"NewPortMappingDescription", "VRNZODavizi"}};
    for (const auto& [name, value] : six)
        EXPECT_EQ(calls[0].args.at(name), value) << name;

    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitExit(std::chrono::seconds(10)), 0);
    const auto after = igd.Calls();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1].action, "DeletePortMapping");
    EXPECT_EQ(after[1].args.at("NewExternalPort"), port);
    EXPECT_EQ(after[1].args.at("NewProtocol"), "TCP");
}

TEST_F(PortForwarding, WithoutARouterTheServerRunsOn)
{
    std::string deadUrl;
    {
        testsupport::TestIgd gone;
        deadUrl = gone.DescriptionUrl();
    }
    auto server = Start(deadUrl);
    ASSERT_TRUE(server->WaitForPort(port_)) << server->Stderr();
    RawClient client(port_);
    EXPECT_EQ(client.Login("demo", "demo"), "OK");
}

} // namespace
} // namespace zd::e2e
