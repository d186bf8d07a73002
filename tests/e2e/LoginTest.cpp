// The login exchange and the command loop of the real program, run headless
// on copies of the demo installation and spoken to over loopback.

#include "DemoInstallation.hpp"
#include "RawClient.hpp"
#include "ServerProcess.hpp"

#include "lib/openssl/SelfSignedCertificate.hpp"

#include <gtest/gtest.h>

#include <memory>

#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>

namespace zd::e2e {
namespace {

using namespace std::chrono_literals;

TUser Account(const char* login, const char* password, const char* restrictIp = "", bool enabled = true)
{
    TUser user;
    user.Login = login;
    user.Password = password;
    user.RestrictIP = restrictIp;
    user.Enabled = enabled ? 1 : 0;
    return user;
}

struct RunningServer {
    explicit RunningServer(const std::vector<TUser>& accounts = {}, bool keepUsersFile = true)
        : port(FreePort())
    {
        for (const TUser& account : accounts)
            demo.AddAccount(account);
        if (!keepUsersFile)
            std::filesystem::remove(demo.ConnectedUsersFile());
        process = RunHeadlessServer(demo.RootArgument(), port);
    }
    DemoInstallation demo;
    std::uint16_t port;
    std::unique_ptr<ServerProcess> process;
};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool WaitForFile(const std::filesystem::path& path, const std::string& content)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ReadFile(path) != content) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

class Login : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<RunningServer>(std::vector<TUser>{
            Account("bob", "Secret"),
            Account("off", "pw", "", false),
            Account("exact", "pw", "127.0.0.2"),
            Account("lan", "pw", "127.0.0.*"),
            Account("other", "pw", "127.0.1.*"),
            Account("star", "pw", "*"),
            Account("twice", "pw"),
            Account("again", "pw"),
        });
    }
    static void TearDownTestSuite()
    {
        server.reset();
    }
    static std::uint16_t Port() { return server->port; }
    static bool Logged(const std::string& text) { return server->process->WaitForOutput(text); }
    static inline std::unique_ptr<RunningServer> server;
};

TEST_F(Login, RepliesAndLogLinesFollowTheAccessRules)
{
    struct Case {
        const char* user;
        const char* password;
        const char* from;
        const char* reply;
        std::string logLine;
    };
    const Case cases[] = {
        {"demo", "demo", "127.0.0.1", "OK", "User demo connected on IP 127.0.0.1. RawClient 1.0\n"},
        {"Bob", "Secret", "127.0.0.1", "OK", "User Bob connected on IP 127.0.0.1. RawClient 1.0\n"},
        {"bob", "secret", "127.0.0.1", "Fail", "Login attempt by user bob failed on IP 127.0.0.1.\n"},
        {"nobody", "x", "127.0.0.1", "Fail", "Login attempt by user nobody failed on IP 127.0.0.1.\n"},
        {"off", "pw", "127.0.0.1", "Disabled", "Login attempt by user off failed on IP 127.0.0.1.\n"},
        {"exact", "pw", "127.0.0.1", "Bad IP", "Login attempt by user exact failed on IP 127.0.0.1.\n"},
        {"exact", "pw", "127.0.0.2", "OK", "User exact connected on IP 127.0.0.2. RawClient 1.0\n"},
        {"lan", "pw", "127.0.0.77", "OK", "User lan connected on IP 127.0.0.77. RawClient 1.0\n"},
        {"other", "pw", "127.0.0.1", "Bad IP", "Login attempt by user other failed on IP 127.0.0.1.\n"},
        {"star", "pw", "127.0.0.9", "OK", "User star connected on IP 127.0.0.9. RawClient 1.0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user) + " from " + c.from);
        RawClient client(Port(), c.from);
        EXPECT_EQ(client.Login(c.user, c.password), c.reply);
        EXPECT_TRUE(client.IsTls());
        EXPECT_TRUE(Logged(c.logLine));
    }
    // No password, sent or stored, reaches the log.
    const std::string log = server->process->Stdout();
    EXPECT_EQ(log.find("ecret"), std::string::npos);
}

TEST_F(Login, ControlCharactersOfClientTextsNeverReachTheLog)
{
    {
        RawClient client(Port());
        EXPECT_EQ(client.Login("x\x1b[2J\ry\x7f", "pw"), "Fail");
        EXPECT_TRUE(Logged("Login attempt by user x?[2J?y? failed on IP 127.0.0.1.\n"));
    }
    RawClient client(Port());
    EXPECT_EQ(client.Login("demo", "demo", "Tool\x1b]0;forged\x07 \x7f""9"), "OK");
    EXPECT_TRUE(Logged("User demo connected on IP 127.0.0.1. Tool?]0;forged? ?9\n"));
}

TEST_F(Login, WithoutLoginEveryOtherLineGetsByeAndTheConnectionCloses)
{
    for (const char* line : {"login", "Settings", "", "GET-ish line"}) {
        SCOPED_TRACE(line);
        RawClient client(Port());
        client.WriteLine(line);
        EXPECT_EQ(client.ReadLine(), "Bye!");
        EXPECT_TRUE(client.ServerClosed());
    }
}

TEST_F(Login, AnHttpRequestLineGoesToThePreviewBranch)
{
    for (bool loggedIn : {false, true}) {
        SCOPED_TRACE(loggedIn);
        RawClient client(Port());
        if (loggedIn) {
            ASSERT_EQ(client.Login("demo", "demo"), "OK");
        }
        client.WriteLine("get /x.mp3 http/1.1");
        EXPECT_EQ(client.ReadLine(), "HTTP/1.1 401 Unauthorized");
        EXPECT_TRUE(client.ServerClosed());
    }
}

TEST_F(Login, LoggedInLinesAreTrimmedAndMatchedWithoutLetterCase)
{
    struct Case {
        const char* line;
        const char* reply;  // first reply line
    };
    const Case cases[] = {
        {"settings", "Demo FM - Your hits"},
        {"Settings ", "Demo FM - Your hits"},
        {"  GETPLG=missing.plg\t", "-1"},
        {"Exists=C:\\Cadmora\\Playlists\\1210-06.plg", "1"},
        {"EXISTS=C:\\Cadmora\\Playlists\\1210-06.plg ", "1"},
        {"exists=C:\\Cadmora\\Playlists\\none.plg", "0"},
        {"", "What> "},
        {"Hello there, this is long", "What> Hello there, this is"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        RawClient client(Port());
        ASSERT_EQ(client.Login("demo", "demo"), "OK");
        client.WriteLine(c.line);
        EXPECT_EQ(client.ReadLine(), c.reply);
        if (std::string(c.reply).starts_with("What>")) {
            client.WriteLine("GetPLG=missing.plg");  // still connected and served
            EXPECT_EQ(client.ReadLine(), "-1");
        }
    }
}

TEST_F(Login, QuitEndsTheExchangeAndAFailedLoginMayBeRetriedInsideTls)
{
    RawClient client(Port());
    client.WriteLine("Login");
    ASSERT_EQ(client.ReadLine(), "241");
    client.WriteLine("quit!");
    EXPECT_EQ(client.ReadLine(300ms), std::nullopt);  // no reply, still open

    EXPECT_EQ(client.Login("again", "wrong"), "Fail");
    ASSERT_TRUE(client.IsTls());
    EXPECT_EQ(client.Login("again", "pw"), "OK");  // no second handshake
    EXPECT_EQ(client.Login("again", "pw"), "Already logged in");
    EXPECT_TRUE(Logged("User again already logged in\n"));
}

TEST_F(Login, SecondLoginOfTheSameUserDropsTheFirstConnection)
{
    RawClient first(Port());
    ASSERT_EQ(first.Login("twice", "pw"), "OK");
    RawClient second(Port(), "127.0.0.2");
    ASSERT_EQ(second.Login("TWICE", "pw"), "OK");
    EXPECT_TRUE(first.ServerClosed());
    const std::string dropped = "User TWICE already connected on IP 127.0.0.1. Disconnecting old connection.";
    const std::string connected = "User TWICE connected on IP 127.0.0.2.";
    ASSERT_TRUE(Logged(connected));
    const std::string log = server->process->Stdout();
    ASSERT_NE(log.find(dropped), std::string::npos);
    EXPECT_LT(log.find(dropped), log.find(connected));
    second.WriteLine("GetPLG=missing.plg");
    EXPECT_EQ(second.ReadLine(), "-1");
}

TEST_F(Login, ConnectedUsersFileFollowsTheSession)
{
    const auto file = server->demo.ConnectedUsersFile();
    ASSERT_TRUE(WaitForFile(file, "\xFF\xFE"));  // earlier sessions have ended
    {
        RawClient client(Port());
        ASSERT_EQ(client.Login("demo", "demo"), "OK");
        EXPECT_TRUE(WaitForFile(file, std::string("\xFF\xFE" "d\0e\0m\0o\0 \0-\0 \0\r\0\n\0", 20)));
    }
    EXPECT_TRUE(WaitForFile(file, "\xFF\xFE"));
}

TEST(LoginWithoutUsersFile, NothingCreatesTheConnectedUsersFile)
{
    RunningServer server({}, false);
    RawClient client(server.port);
    ASSERT_EQ(client.Login("demo", "demo"), "OK");
    ASSERT_TRUE(server.process->WaitForOutput("User demo connected"));
    EXPECT_FALSE(std::filesystem::exists(server.demo.ConnectedUsersFile()));
}

// Another process holding the connected-users file with a write lock, as the
// scheduler does while a local user edits playlists.
class LockHolder {
public:
    explicit LockHolder(const std::filesystem::path& file)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(file.c_str(), O_RDWR);
            struct flock lock{};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? '1' : '0';
            (void)!::write(ready[1], &ok, 1);
            ::pause();
            ::_exit(0);
        }
        char ok = '0';
        (void)!::read(ready[0], &ok, 1);
        ::close(ready[0]);
        ::close(ready[1]);
        if (ok != '1')
            throw std::runtime_error("could not lock " + file.string());
    }
    ~LockHolder() { Release(); }
    void Release()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
};

TEST(LoginWhileSchedulerEdits, IsRefusedWith001AndTheConnectionStaysOpen)
{
    RunningServer server;
    LockHolder scheduler(server.demo.ConnectedUsersFile());
    RawClient client(server.port);
    client.WriteLine("Login");
    EXPECT_EQ(client.ReadLine(), "001");
    EXPECT_TRUE(server.process->WaitForOutput("Playlist editing in progress. Login denied\n"));
    scheduler.Release();
    EXPECT_EQ(client.Login("demo", "demo"), "OK");
}

// vtclient as an operator runs it.
struct ToolRun {
    int exitCode;
    std::string output;
};

ToolRun RunCommand(const std::string& commandLine)
{
    const std::string command = commandLine + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char chunk[4096];
    while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe))
        output.append(chunk, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

ToolRun RunVtclient(const std::string& arguments)
{
    return RunCommand(BuiltProgram("vtclient") + " " + arguments);
}

TEST(Vtclient, LogsInOverTlsAndVerifiesTheCertificateWhenAsked)
{
    RunningServer server;
    const std::string base = "--port " + std::to_string(server.port) + " --user demo ";
    const std::string cert = (server.demo.DataFolder() / "cert.pem").string();
    const std::string otherCert = (server.demo.Prefix() / "other.pem").string();
    MakeSelfSignedCertificate(otherCert, (server.demo.Prefix() / "otherkey.pem").string(), "elsewhere");

    ToolRun run = RunVtclient(base + "--password demo --ca " + cert + " Settings");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.output.starts_with("OK\nDemo FM - Your hits\n")) << run.output;

    run = RunVtclient(base + "--password wrong");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.ends_with("Fail\n")) << run.output;
    // Unverified, the certificate's fingerprint is shown: the one openssl gives.
    const ToolRun openssl = RunCommand("openssl x509 -noout -fingerprint -sha256 -in " + cert);
    const auto equals = openssl.output.find('=');
    ASSERT_NE(equals, std::string::npos) << openssl.output;
    EXPECT_NE(run.output.find("SHA-256 fingerprint " + openssl.output.substr(equals + 1)), std::string::npos)
        << run.output;

    // The password from a file or from the environment.
    const std::string passwordFile = (server.demo.Prefix() / "password").string();
    std::ofstream(passwordFile) << "demo\n";
    run = RunVtclient(base + "--password-file " + passwordFile + " --ca " + cert + " GetPLG=missing.plg");
    EXPECT_EQ(run.output, "OK\n-1\n");
    run = RunCommand("ZODAVIZI_PASSWORD=demo " + BuiltProgram("vtclient") + " " + base + "--ca " + cert);
    EXPECT_EQ(run.output, "OK\n");

    run = RunVtclient(base + "--password demo --ca " + cert + " GetPLG=missing.plg");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "OK\n-1\n");

    run = RunVtclient(base + "--password demo --ca " + otherCert);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.output.find("OK"), std::string::npos);
}

} // namespace
} // namespace zd::e2e
