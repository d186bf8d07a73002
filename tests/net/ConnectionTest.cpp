#include "net/Connection.hpp"

#include "common/Error.hpp"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace zd {
namespace {

// A Connection over one end of a socket pair; the test writes the other end.
class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        connection_ = std::make_unique<Connection>(ends[0]);
        peer_ = ends[1];
        connection_->SetReadTimeout(std::chrono::milliseconds(2000));
    }
    void TearDown() override
    {
        if (peer_ >= 0)
            ::close(peer_);
    }
    void Send(const std::string& bytes) { ASSERT_EQ(::write(peer_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
    void HangUp()
    {
        ::close(peer_);
        peer_ = -1;
    }
    std::string Received()
    {
        char buffer[256];
        const ssize_t got = ::recv(peer_, buffer, sizeof buffer, MSG_DONTWAIT);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

    std::unique_ptr<Connection> connection_;
    int peer_ = -1;
};

TEST_F(ConnectionTest, LinesEndAtLfWithoutTheCrBeforeIt)
{
    Send("Login\r\nplain\n\r\nkeeps\rinner\r\r\nrest");
    EXPECT_EQ(connection_->ReadLine(), "Login");
    EXPECT_EQ(connection_->ReadLine(), "plain");
    EXPECT_EQ(connection_->ReadLine(), "");
    EXPECT_EQ(connection_->ReadLine(), "keeps\rinner\r");
    EXPECT_TRUE(connection_->BytesWaiting());
    // The unfinished line is handed over raw, e.g. to the TLS layer.
    const auto rest = connection_->TakeBufferedBytes();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rest.data()), rest.size()), "rest");
    EXPECT_FALSE(connection_->BytesWaiting());

    connection_->WriteLine("241");
    connection_->Write(std::string_view("raw"));
    EXPECT_EQ(Received(), "241\r\nraw");
}

TEST_F(ConnectionTest, TimeOutsAndTheLongestLine)
{
    connection_->SetReadTimeout(std::chrono::milliseconds(30));
    EXPECT_EQ(connection_->ReadLine(), std::nullopt); // nothing read
    Send("half");
    EXPECT_THROW(connection_->ReadLine(), ReadTimeoutError);
    Send(" line\n");
    EXPECT_EQ(connection_->ReadLine(), "half line"); // nothing lost

    Send(std::string(16, 'x') + "\r\n");
    EXPECT_EQ(connection_->ReadLine(16), std::string(16, 'x'));
    Send(std::string(17, 'y') + "\n");
    EXPECT_THROW(connection_->ReadLine(16), SocketError);
}

TEST_F(ConnectionTest, ExactReadsSpanTheBufferAndTheSocket)
{
    Send("head\nABCDEFGH");
    EXPECT_EQ(connection_->ReadLine(), "head");
    std::thread late([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Send("IJ");
    });
    std::array<std::byte, 10> bytes{};
    connection_->ReadExact(bytes);
    late.join();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), "ABCDEFGHIJ");
    Send("xy");
    HangUp();
    std::array<std::byte, 3> more{};
    EXPECT_THROW(connection_->ReadExact(more), ConnectionClosedError);
}

TEST_F(ConnectionTest, PeerHangingUpEndsTheRead)
{
    Send("unfinished");
    HangUp();
    EXPECT_THROW(connection_->ReadLine(), ConnectionClosedError);
}

TEST_F(ConnectionTest, CloseFromAnotherThreadWakesABlockedRead)
{
    connection_->SetReadTimeout(std::chrono::seconds(30));
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        connection_->Close();
    });
    EXPECT_THROW(connection_->ReadLine(), ConnectionClosedError);
    closer.join();
    EXPECT_TRUE(connection_->IsClosed());
    EXPECT_THROW(connection_->WriteLine("late"), SocketError);
}

} // namespace
} // namespace zd
