// Start-up against the scheduler installation and the listener's TLS files,
// with the real program on copies of the demo installation.

#include "DemoInstallation.hpp"
#include "ServerProcess.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace zd::e2e {
namespace {

using namespace std::chrono_literals;

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Installation, RefusesToStartWithoutAReadableSchedulerSettingsFile)
{
    struct Case {
        const char* name;
        void (*damage)(const DemoInstallation&);
    };
    const Case cases[] = {
        {"missing", [](const DemoInstallation& demo) { std::filesystem::remove(demo.DataFolder() / "VRNCadmora.dat"); }},
        {"first line too short",
         [](const DemoInstallation& demo) { std::ofstream(demo.DataFolder() / "VRNCadmora.dat") << "a,b,c,1,2,3\r\n"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DemoInstallation demo;
        c.damage(demo);
        auto server = StartHeadlessServer(demo.RootArgument(), FreePort());
        const auto code = server->WaitExit(10s);
        ASSERT_TRUE(code.has_value());
        EXPECT_NE(*code, 0);
        EXPECT_NE(server->Stderr().find("A correctly configured installation of Cadmora must exist on this computer"),
                  std::string::npos);
        EXPECT_NE(server->Stderr().find("ZO Davizi will now close."), std::string::npos);
    }
}

TEST(Installation, MakesACertificatePairOnceAndKeepsIt)
{
    DemoInstallation demo;
    const auto cert = demo.DataFolder() / "cert.pem";
    std::string first;
    for (int start = 0; start < 2; ++start) {
        const std::uint16_t port = FreePort();
        auto server = StartHeadlessServer(demo.RootArgument(), port);
        ASSERT_TRUE(server->WaitForPort(port));
        ASSERT_TRUE(std::filesystem::exists(demo.DataFolder() / "key.pem"));
        if (start == 0) {
            first = ReadFile(cert);
            EXPECT_TRUE(server->WaitForOutput("Created a self-signed certificate"));
        } else {
            EXPECT_EQ(ReadFile(cert), first);
            EXPECT_FALSE(server->WaitForOutput("Created a self-signed certificate", 300ms));
        }
        server->Signal(SIGTERM);
        ASSERT_TRUE(server->WaitExit(10s).has_value());
    }
    EXPECT_NE(first.find("BEGIN CERTIFICATE"), std::string::npos);
}

TEST(Installation, APairThatDoesNotLoadFailsTheActivation)
{
    struct Case {
        const char* name;
        const char* cert;  // nullptr: no file
        const char* key;
    };
    const Case cases[] = {
        {"garbage in both", "not a certificate\n", "not a key\n"},
        {"a key without a certificate", nullptr, "not a key\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DemoInstallation demo;
        if (c.cert)
            std::ofstream(demo.DataFolder() / "cert.pem") << c.cert;
        if (c.key)
            std::ofstream(demo.DataFolder() / "key.pem") << c.key;
        const std::uint16_t port = FreePort();
        auto server = StartHeadlessServer(demo.RootArgument(), port);
        EXPECT_TRUE(server->WaitForOutput("Unable to activate the server"));
        EXPECT_TRUE(server->Running());  // the program goes on with the server disabled
        EXPECT_FALSE(PortAccepts(port));
        EXPECT_FALSE(std::filesystem::exists(demo.DataFolder() / "cert.pem") && !c.cert);
    }
}

} // namespace
} // namespace zd::e2e
