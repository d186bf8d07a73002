#include "server/PortMapping.hpp"

#include "../support/PrivateNetwork.hpp"
#include "../support/TestIgd.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zd::test {
namespace {

using testsupport::TestIgd;

class PortMappingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::EnterPrivateNetwork(); }
    void SetUp() override
    {
        ::setenv("ZODAVIZI_UPNP", "off", 1);
        igd_ = std::make_unique<TestIgd>();
        ::setenv("ZODAVIZI_UPNP_IGD", igd_->DescriptionUrl().c_str(), 1);
    }
    void TearDown() override { ::unsetenv("ZODAVIZI_UPNP_IGD"); }

    std::unique_ptr<TestIgd> igd_;
};

TEST_F(PortMappingTest, AddAndRemoveReachTheRouterWithTheirValues)
{
    PortMapping mapping;
    EXPECT_TRUE(mapping.SetPortMapping(true, "VRNZODavizi", PortMapping::kTcpOnly, "10.0.0.5", 2323));
    EXPECT_TRUE(mapping.SetPortMapping(false, "VRNZODavizi", PortMapping::kTcpOnly, "10.0.0.5", 2323));
    EXPECT_TRUE(mapping.SetPortMapping(true, "VRNZODavizi", PortMapping::kTcpAndUdp, "10.0.0.5", 2424));

    const auto calls = igd_->Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].action, "AddPortMapping");
    const std::map<std::string, std::string> six{
        {"NewExternalPort", "2323"}, {"NewProtocol", "TCP"}, {"NewInternalPort", "2323"},
        {"NewInternalClient", "10.0.0.5"}, {"NewEnabled", "1"}, {"NewPortMappingDescription", "VRNZODavizi"}};
    for (const auto& [name, value] : six)
        EXPECT_EQ(calls[0].args.at(name), value) << name;
    EXPECT_EQ(calls[1].action, "DeletePortMapping");
    EXPECT_EQ(calls[1].args.at("NewExternalPort"), "2323");
    EXPECT_EQ(calls[1].args.at("NewProtocol"), "TCP");
    EXPECT_EQ(calls[2].args.at("NewProtocol"), "TCP");
    EXPECT_EQ(calls[3].args.at("NewProtocol"), "UDP");
    EXPECT_EQ(calls[3].args.at("NewExternalPort"), "2424");
    // The router is looked for once and kept.
    EXPECT_EQ(igd_->DescriptionFetches(), 1);
}

TEST_F(PortMappingTest, ARefusalIsReportedAsFalse)
{
    PortMapping mapping;
    igd_->Refuse(true);
    EXPECT_FALSE(mapping.SetPortMapping(true, "VRNZODavizi", PortMapping::kTcpOnly, "10.0.0.5", 2323));
    igd_->Refuse(false);
    EXPECT_TRUE(mapping.SetPortMapping(true, "VRNZODavizi", PortMapping::kTcpOnly, "10.0.0.5", 2323));
}

TEST_F(PortMappingTest, WithoutARouterEveryCallFailsAndNothingIsAskedAgain)
{
    // A description address where nothing answers, then no router at all.
    const std::string url = igd_->DescriptionUrl();
    igd_.reset();
    ::setenv("ZODAVIZI_UPNP_IGD", url.c_str(), 1);
    PortMapping unreachable;
    EXPECT_FALSE(unreachable.SetPortMapping(true, "VRNZODavizi", PortMapping::kTcpOnly, "10.0.0.5", 2323));
    EXPECT_TRUE(unreachable.Searched());

    igd_ = std::make_unique<TestIgd>(); // a router that appears later is not looked for again
    ::setenv("ZODAVIZI_UPNP_IGD", igd_->DescriptionUrl().c_str(), 1);
    EXPECT_FALSE(unreachable.SetPortMapping(false, "VRNZODavizi", PortMapping::kTcpOnly, "10.0.0.5", 2323));
    EXPECT_EQ(igd_->DescriptionFetches(), 0);

    ::unsetenv("ZODAVIZI_UPNP_IGD");
    PortMapping off; // ZODAVIZI_UPNP=off: no discovery, no router
    EXPECT_FALSE(off.SetPortMapping(true, "VRNZODavizi", PortMapping::kTcpOnly, "10.0.0.5", 2323));
    EXPECT_TRUE(igd_->Calls().empty());
}

} // namespace
} // namespace zd::test
