#include "FormFixture.hpp"

#include "common/Error.hpp"
#include "support/BusyPort.hpp"

#include <algorithm>

namespace zd::test {
namespace {

// A small command handler in the shape of the real login: "Login <name>"
// links the account, drops an older connection of it and adds the entry.
void LoginLikeHandler(MainForm& form, Connection& connection, TContextData& context)
{
    const auto line = connection.ReadLine();
    if (!line) {
        connection.Close();
        return;
    }
    if (line->starts_with("Login ")) {
        const std::string name = line->substr(6);
        const auto user = form.RunOnMainThread([&] { return form.FindUser(name); });
        if (!user) {
            connection.WriteLine("Fail");
            return;
        }
        context.User = user;
        if (const auto old = form.RunOnMainThread([&] { return form.FindSessionByLogin(user->Login); }))
            form.DropSession(*old);
        form.RunOnMainThread([&] { form.AddSessionEntry(context.shared_from_this(), *user); });
        form.LogEvent("User " + name + " connected");
        connection.WriteLine("OK");
    } else if (*line == "boom") {
        throw FileError("EInOutError", "File not found");
    } else {
        connection.WriteLine("echo " + *line);
    }
}

class Connections : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        form_->SetCommandHandler(LoginLikeHandler);
        form_->Users().Add(NewUser("bob"));
        form_->Users().Add(NewUser("ann"));
        Start();
    }

    std::unique_ptr<Client> Connect()
    {
        auto client = std::make_unique<Client>(*this, form_->BoundPort(),
                                               [this](const std::function<bool()>& c) { return WaitFor(c); });
        EXPECT_TRUE(client->Connected());
        return client;
    }

    std::unique_ptr<Client> LoggedIn(const std::string& login)
    {
        auto client = Connect();
        client->Send("Login " + login + "\r\n");
        EXPECT_EQ(client->ReadLine(), "OK");
        return client;
    }

    bool AllEnded()
    {
        return WaitFor([this] { return form_->OpenConnectionCount() == 0; });
    }
};

TEST_F(Connections, ClientThatNeverLogsInLeavesNoEntryAndNoLogLine)
{
    {
        auto client = Connect();
        client->Send("hello\r\n");
        EXPECT_EQ(client->ReadLine(), "echo hello");
        EXPECT_EQ(form_->OpenConnectionCount(), 1u);
    }
    ASSERT_TRUE(AllEnded());
    EXPECT_EQ(form_->Connected().Count(), 0u);
    EXPECT_TRUE(form_->Log().Lines().empty());
}

TEST_F(Connections, SessionEndRemovesTheEntryRestoresAndLogs)
{
    std::vector<std::string> restoredFor;
    form_->GetHooks().RestorePlaylist = [&](MainForm&, TUser& user) -> std::optional<std::string> {
        restoredFor.push_back(user.Login);
        return std::string("File restored");
    };
    {
        auto bob = LoggedIn("bob");
        EXPECT_EQ(form_->Connected().Texts(), std::vector<std::string>{"bob - "});
        EXPECT_EQ(form_->Window().ApplicationTitle, "ZO Davizi (1)");
        EXPECT_EQ(form_->Window().TrayTip, "Vornelle ZO Davizi (1)");
        EXPECT_EQ(form_->Window().TrayImage, 1);
    }
    ASSERT_TRUE(AllEnded());
    EXPECT_EQ(form_->Connected().Count(), 0u);
    EXPECT_EQ(form_->Window().ApplicationTitle, "ZO Davizi (0)");
    EXPECT_EQ(form_->Window().TrayImage, 0);
    EXPECT_EQ(restoredFor, std::vector<std::string>{"bob"});
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"User bob connected",
                                                    "**** User bob error updating PLG. File restored",
                                                    "User bob disconnected from IP 127.0.0.1."}));
}

TEST_F(Connections, SecondLoginDropsTheBlockedFirstConnection)
{
    auto first = LoggedIn("bob");
    auto second = LoggedIn("bob"); // its thread drops the first, blocked in its read
    EXPECT_TRUE(first->WaitClosed());
    ASSERT_EQ(form_->Connected().Count(), 1u);
    second->Send("still here\r\n");
    EXPECT_EQ(second->ReadLine(), "echo still here");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"User bob connected",
                                                    "User bob disconnected from IP 127.0.0.1.",
                                                    "User bob connected"}));
    EXPECT_TRUE(WaitFor([this] { return form_->OpenConnectionCount() == 1; }));
}

TEST_F(Connections, DisconnectAllDropsEverySessionNewestFirst)
{
    auto bob = LoggedIn("bob");
    auto ann = LoggedIn("ann");
    auto anonymous = Connect();
    form_->DisconnectAll();
    EXPECT_TRUE(bob->WaitClosed());
    EXPECT_TRUE(ann->WaitClosed());
    EXPECT_EQ(form_->Connected().Count(), 0u);
    anonymous->Send("ping\r\n");
    EXPECT_EQ(anonymous->ReadLine(), "echo ping");
    const auto texts = LogTexts();
    EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
              (std::vector<std::string>{"User ann disconnected from IP 127.0.0.1.",
                                        "User bob disconnected from IP 127.0.0.1."}));
}

TEST_F(Connections, UntickingEnableServerDropsEveryoneAndStopsListening)
{
    auto bob = LoggedIn("bob");
    auto anonymous = Connect();
    form_->Page().SetServerEnabled(false);
    EXPECT_TRUE(bob->WaitClosed());
    EXPECT_TRUE(anonymous->WaitClosed());
    EXPECT_EQ(form_->OpenConnectionCount(), 0u);
    EXPECT_FALSE(form_->Listening());
    EXPECT_EQ(form_->Connected().Count(), 0u);
    EXPECT_TRUE(form_->Page().SettingsChanged());
    form_->Page().SetServerEnabled(true);
    EXPECT_TRUE(form_->Listening());
    auto again = LoggedIn("ann");
}

TEST_F(Connections, AnErrorInsideAConnectionIsLoggedAndEndsIt)
{
    auto client = Connect();
    client->Send("boom\r\n");
    EXPECT_TRUE(client->WaitClosed());
    ASSERT_TRUE(AllEnded());
    EXPECT_EQ(LogTexts(), std::vector<std::string>{"**** EInOutError: File not found"});
}

// The socket of a connection that ended is closed (and its thread joined) by
// the periodic check, not only when the next client connects.
TEST_F(Connections, PeriodicCheckFreesTheSocketsOfEndedConnections)
{
    auto openDescriptors = [] {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            (void)entry;
            ++count;
        }
        return count;
    };
    const std::size_t before = openDescriptors();
    {
        auto bob = LoggedIn("bob");
        auto anonymous = Connect();
        EXPECT_TRUE(WaitFor([this] { return form_->OpenConnectionCount() == 2; }));
    }
    ASSERT_TRUE(AllEnded());
    form_->CheckTime();
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(Connections, ShutdownEndsAndJoinsEveryConnection)
{
    auto bob = LoggedIn("bob");
    auto anonymous = Connect();
    EXPECT_TRUE(WaitFor([this] { return form_->OpenConnectionCount() == 2; }));
    form_->FormClose();
    EXPECT_EQ(form_->OpenConnectionCount(), 0u);
    EXPECT_FALSE(form_->Listening());
    EXPECT_TRUE(bob->WaitClosed());
    EXPECT_TRUE(anonymous->WaitClosed());
    EXPECT_TRUE(form_->Users().Empty());
    // Lines are no longer recorded once shutdown began.
    EXPECT_EQ(LogTexts(), std::vector<std::string>{"User bob connected"});
}

TEST_F(FormFixture, PortInUseLeavesTheServerRunningDisabled)
{
    const testsupport::BusyPort taken;

    StartOptions options = form_->Options();
    options.ListenPort = taken.Port();
    MainForm busy(main_, options);
    std::vector<MessageDialog> shown;
    busy.GetHooks().ShowMessage = [&](const MessageDialog& dialog) { shown.push_back(dialog); };

    // During start-up: unticked without side effects, the log line dropped.
    busy.ActivateListener();
    EXPECT_FALSE(busy.Page().ServerEnabled());
    EXPECT_FALSE(busy.Listening());
    EXPECT_TRUE(busy.Log().Lines().empty());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Title, "ZO Davizi Error");
    EXPECT_EQ(shown[0].Text, "Unable to activate the server");
    EXPECT_EQ(shown[0].Detail, "Address already in use");

    // Running: ticking the switch again fails the same way and is logged.
    busy.Page().SetLoading(false);
    main_.StartTimer();
    busy.Page().SetServerEnabled(true);
    EXPECT_FALSE(busy.Page().ServerEnabled());
    ASSERT_FALSE(busy.Log().Lines().empty());
    EXPECT_TRUE(busy.Log().Lines().back().ends_with(" Unable to activate the server: Address already in use"));
    busy.FormClose();
}

} // namespace
} // namespace zd::test
