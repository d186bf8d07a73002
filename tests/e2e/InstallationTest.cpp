// Start-up against the scheduler installation and the listener's TLS files,
// with the real program on copies of the demo installation.

#include "DemoInstallation.hpp"
#include "ServerProcess.hpp"

#include "server/SettingsFile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include <sys/wait.h>

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

TEST(Installation, AHeadlessServerSaysWhenEnableServerIsOff)
{
    DemoInstallation demo;
    const std::string data = demo.DataFolder().string() + "/";
    StoredConfiguration stored = ReadConfigurationFile(data);
    stored.settings.ServerEnabled = false;
    ASSERT_TRUE(WriteConfigurationFile(data, stored.settings, stored.users));
    const std::uint16_t port = FreePort();
    auto server = StartHeadlessServer(demo.RootArgument(), port);
    EXPECT_TRUE(server->WaitForOutput("\"Enable Server\" is off: the server does not listen for connections\n"));
    EXPECT_TRUE(server->Running());
    EXPECT_FALSE(PortAccepts(port));
}

// zodavizi-account stores UTF-8 arguments in the code page, marked where the
// code page cannot hold them, and refuses texts longer than their fields.
TEST(Installation, AccountToolConvertsItsArgumentsAndRefusesOverlongOnes)
{
    struct Case {
        std::string login;
        std::string password;
        int exitCode;
        std::string storedLogin;  // "" when nothing is stored
    };
    const Case cases[] = {
        {"Zo\xC3\xAB", "caf\xC3\xA9", 0, "Zo\xEB"},
        {"\xE2\x82\xAC" "uro", "pw", 0, "\x80uro"},           // Windows-1252 holds the euro sign
        {"\xD0\x96" "ed", "pw", 0, "\x7F\xD0\x96" "ed"},          // Cyrillic goes out marked
        {"sixteen-letters!", "pw", 2, ""},
        {"fifteen-letters", "sixteen-letters!", 2, ""},
        {"fifteen-letters", "fifteen-letters", 0, "fifteen-letters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.login);
        DemoInstallation demo;
        const std::string command = BuiltProgram("zodavizi-account") + " -a '" + demo.RootArgument() + "' --user '"
            + c.login + "' --password '" + c.password + "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
        const StoredConfiguration stored = ReadConfigurationFile(demo.DataFolder().string() + "/");
        std::vector<std::string> logins;
        for (const auto& user : stored.users)
            logins.push_back(user->Login);
        if (c.storedLogin.empty()) {
            EXPECT_EQ(logins, std::vector<std::string>{"demo"});
        } else {
            EXPECT_NE(std::find(logins.begin(), logins.end(), c.storedLogin), logins.end());
        }
        if (c.login.starts_with("Zo")) {
            for (const auto& user : stored.users) {
                if (user->Login == c.storedLogin) {
                    EXPECT_EQ(user->Password, "caf\xE9");
                }
            }
        }
    }
}

// The server would overwrite a change made while it runs, so the account tool
// refuses then, and stores the account once the server has stopped.
TEST(Installation, AccountToolRefusesWhileTheServerRuns)
{
    DemoInstallation demo;
    const std::string data = demo.DataFolder().string() + "/";
    const std::string command = BuiltProgram("zodavizi-account") + " -a '" + demo.RootArgument()
        + "' --user late --password pw >/dev/null 2>&1";
    const auto storedLogins = [&] {
        std::vector<std::string> logins;
        for (const auto& user : ReadConfigurationFile(data).users)
            logins.push_back(user->Login);
        return logins;
    };
    {
        auto server = RunHeadlessServer(demo.RootArgument(), FreePort());
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_EQ(storedLogins(), std::vector<std::string>{"demo"});
    }
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(storedLogins(), (std::vector<std::string>{"demo", "late"}));
}

} // namespace
} // namespace zd::e2e
