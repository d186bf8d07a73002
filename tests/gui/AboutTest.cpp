#include "WindowFixture.hpp"

#include "../support/Loopback.hpp"
#include "gui/AboutDialog.hpp"

#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <poll.h>

#include <thread>

namespace zd::test {
namespace {

// Answers one HTTP request on 127.0.0.1 with the body, then closes.
class OneAnswer {
public:
    explicit OneAnswer(std::string body) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address = testsupport::LoopbackAddress(0);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 1);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, body = std::move(body)] {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 10000) <= 0)
                return;
            const int client = ::accept(fd_, nullptr, nullptr);
            char buffer[4096];
            request_ = std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(0, ::recv(client, buffer, sizeof buffer, 0))));
            const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size())
                                      + "\r\nConnection: close\r\n\r\n" + body;
            (void)::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(client);
        });
    }
    ~OneAnswer()
    {
        thread_.join();
        ::close(fd_);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/ip"; }
    const std::string& Request() const { return request_; }

private:
    int fd_;
    std::uint16_t port_ = 0;
    std::string request_;
    std::thread thread_;
};

QString InfoAfter(gui::AboutDialog& about, const QString& wanted)
{
    auto* info = about.findChild<QPlainTextEdit*>("Info");
    QElapsedTimer timer;
    timer.start();
    while (!info->toPlainText().contains(wanted) && timer.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return info->toPlainText();
}

TEST_F(WindowFixture, AboutShowsTheLocalAndThePublicAddress)
{
    OneAnswer service("203.0.113.7\n");
    ::setenv("ZODAVIZI_PUBLIC_IP_URL", service.Url().c_str(), 1);
    gui::AboutDialog about("192.168.1.20");
    EXPECT_EQ(about.windowTitle(), "About Vornelle ZO Davizi");
    about.show();
    EXPECT_EQ(InfoAfter(about, "Public"), "Local  IP: 192.168.1.20\nPublic IP: 203.0.113.7");
    EXPECT_NE(service.Request().find("User-Agent: Mozilla/5.0 (compatible; Vornelle)"), std::string::npos);
    about.hide();
    ::unsetenv("ZODAVIZI_PUBLIC_IP_URL");
}

TEST_F(WindowFixture, AboutWithoutAnAnswerShowsTheLocalAddressOnly)
{
    // A port that is bound but not listening refuses the connection.
    const int held = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = testsupport::LoopbackAddress(0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(held, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(held, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string dead = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/ip";
    ::setenv("ZODAVIZI_PUBLIC_IP_URL", dead.c_str(), 1);
    gui::AboutDialog about("10.0.0.5");
    about.show();
    EXPECT_EQ(InfoAfter(about, "Public"), "Local  IP: 10.0.0.5");
    about.hide();
    ::close(held);
    ::unsetenv("ZODAVIZI_PUBLIC_IP_URL");
}

} // namespace
} // namespace zd::test
