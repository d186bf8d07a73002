#include "server/PortMapping.hpp"

#include "FormFixture.hpp"

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

// The server's call points, against the test router.
class PortMappingCallsTest : public FormFixture {
protected:
    static void SetUpTestSuite() { testsupport::EnterPrivateNetwork(); }
    void SetUp() override
    {
        ::setenv("ZODAVIZI_UPNP_IGD", igd_.DescriptionUrl().c_str(), 1);
        FormFixture::SetUp();
    }
    void TearDown() override
    {
        FormFixture::TearDown();
        ::unsetenv("ZODAVIZI_UPNP_IGD");
    }

    // "Add 2323", "Delete 2323" ...
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> texts;
        for (const auto& call : igd_.Calls())
            texts.push_back(call.action.substr(0, call.action.find("PortMapping")) + " "
                            + call.args.at("NewExternalPort"));
        return texts;
    }

    TestIgd igd_;
};

TEST_F(PortMappingCallsTest, TheMappingFollowsTheSwitchesAndThePort)
{
    Start();
    const std::string bound = std::to_string(form_->BoundPort());
    OptionsPage& page = form_->Page();
    page.SetPortText("2424"); // while listening: the old mapping goes, the new one comes
    page.SetUPnPEnabled(false);
    page.SetUPnPEnabled(true);
    page.SetServerEnabled(false);
    page.SetPortText("2525"); // not listening: nothing
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Delete " + bound, "Add 2424", "Delete " + bound,
                                                  "Add " + bound, "Delete " + bound}));
    ASSERT_FALSE(igd_.Calls().empty());
    EXPECT_EQ(igd_.Calls()[1].args.at("NewInternalClient"), form_->LocalAddress());

    igd_.ClearCalls();
    page.SetUPnPEnabled(false);
    page.SetServerEnabled(true); // UPnP off: the router is not asked
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Delete 2525"}));
}

TEST_F(PortMappingCallsTest, EveryTenthMinuteARouterThatForgotGetsItAgain)
{
    std::tm clock{};
    clock.tm_min = 9;
    form_->GetHooks().LocalClock = [&clock] { return clock; };
    Start();
    form_->CheckTime(); // minute 9: nothing
    clock.tm_min = 10;
    form_->CheckTime();
    form_->CheckTime(); // the same minute again: nothing
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Add " + std::to_string(form_->BoundPort())}));
}

} // namespace
} // namespace zd::test
