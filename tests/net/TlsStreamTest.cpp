#include "lib/openssl/SelfSignedCertificate.hpp"
#include "lib/openssl/TlsContext.hpp"
#include "net/TlsStream.hpp"

#include <gtest/gtest.h>

#include <memory>

#include <filesystem>
#include <fstream>
#include <future>
#include <sys/socket.h>
#include <unistd.h>

namespace zd {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::span<const std::byte> Bytes(std::string_view text)
{
    return std::as_bytes(std::span(text.data(), text.size()));
}

std::string ReadText(ByteStream& stream, std::size_t count)
{
    std::string text;
    std::byte buffer[256];
    while (text.size() < count) {
        const std::size_t n = stream.ReadSome(std::span(buffer).first(std::min(sizeof buffer, count - text.size())), 5s);
        if (n == 0)
            break;
        text.append(reinterpret_cast<const char*>(buffer), n);
    }
    return text;
}

struct SocketPair {
    int server = -1;
    int client = -1;
    SocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
            server = fds[0];
            client = fds[1];
        }
    }
    ~SocketPair()
    {
        ::close(server);
        ::close(client);
    }
};

class TlsStreamTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<fs::path>(fs::temp_directory_path() / ("zd-tls-" + std::to_string(::getpid())));
        fs::create_directories(*folder);
        MakeSelfSignedCertificate((*folder / "cert.pem").string(), (*folder / "key.pem").string(), "zd-test-host");
        MakeSelfSignedCertificate((*folder / "other.pem").string(), (*folder / "otherkey.pem").string(), "zd-test-host");
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*folder);
        folder.reset();
    }
    static std::string File(const char* name) { return (*folder / name).string(); }
    static inline std::unique_ptr<fs::path> folder;
};

TEST_F(TlsStreamTest, HandshakeStartsFromBytesReadBeforeTheSwitchAndCarriesData)
{
    const SslCtxPtr server = MakeServerTlsContext(File("cert.pem"), File("key.pem"));
    const SslCtxPtr client = MakeClientTlsContext(File("cert.pem"));
    SocketPair sockets;
    auto peer = std::async(std::launch::async, [&] {
        TlsStream stream(client.get(), sockets.client, TlsStream::Role::Client, {}, 5s, "127.0.0.1");
        stream.WriteAll(Bytes("hello"));
        return ReadText(stream, 5);
    });
    // The plain reader took the first bytes of the client's hello.
    std::byte head[7];
    ASSERT_EQ(::recv(sockets.server, head, sizeof head, MSG_WAITALL), 7);
    TlsStream stream(server.get(), sockets.server, TlsStream::Role::Server, head, 5s);
    EXPECT_EQ(stream.Version(), "TLSv1.3");
    EXPECT_EQ(ReadText(stream, 5), "hello");
    stream.WriteAll(Bytes("world"));
    EXPECT_EQ(peer.get(), "world");
}

TEST_F(TlsStreamTest, AcceptsTls11AndRefusesAnUntrustedCertificate)
{
    const SslCtxPtr server = MakeServerTlsContext(File("cert.pem"), File("key.pem"));
    struct Case {
        const char* caFile;
        int clientMaxVersion;
        bool connects;
    };
    for (const Case& c : {Case{"", TLS1_1_VERSION, true}, Case{"other.pem", TLS1_2_VERSION, false}}) {
        SCOPED_TRACE(c.caFile);
        const SslCtxPtr client = MakeClientTlsContext(*c.caFile ? File(c.caFile) : "");
        SSL_CTX_set_max_proto_version(client.get(), c.clientMaxVersion);
        SocketPair sockets;
        auto peer = std::async(std::launch::async, [&] {
            try {
                TlsStream stream(client.get(), sockets.client, TlsStream::Role::Client, {}, 5s, "127.0.0.1");
                return stream.Version();
            } catch (const TlsError&) {
                ::shutdown(sockets.client, SHUT_RDWR);
                return std::string("refused");
            }
        });
        if (c.connects) {
            TlsStream stream(server.get(), sockets.server, TlsStream::Role::Server, {}, 5s);
            EXPECT_EQ(stream.Version(), "TLSv1.1");
            EXPECT_EQ(peer.get(), "TLSv1.1");
        } else {
            EXPECT_THROW(TlsStream(server.get(), sockets.server, TlsStream::Role::Server, {}, 5s), TlsError);
            EXPECT_EQ(peer.get(), "refused");
        }
    }
}

TEST_F(TlsStreamTest, OnlyForwardSecretSuitesAndCbcOnlyForTls11)
{
    const SslCtxPtr server = MakeServerTlsContext(File("cert.pem"), File("key.pem"));
    struct Case {
        int maxVersion;
        const char* suites;  // the client's offer for TLS 1.2 and below; "" = OpenSSL's default
        const char* agreed;  // "version suite", or "" when refused
    };
    const Case cases[] = {
        {TLS1_3_VERSION, "", "TLSv1.3 TLS_AES_256_GCM_SHA384"},
        {TLS1_2_VERSION, "", "TLSv1.2 ECDHE-RSA-AES128-GCM-SHA256"},
        {TLS1_2_VERSION, "ECDHE-RSA-CHACHA20-POLY1305:ECDHE-RSA-AES128-SHA", "TLSv1.2 ECDHE-RSA-CHACHA20-POLY1305"},
        {TLS1_2_VERSION, "ECDHE-RSA-AES128-SHA:ECDHE-RSA-AES256-SHA", ""},
        {TLS1_2_VERSION, "AES128-GCM-SHA256", ""},
        {TLS1_2_VERSION, "DHE-RSA-AES128-GCM-SHA256", ""},
        {TLS1_1_VERSION, "", "TLSv1.1 ECDHE-RSA-AES128-SHA"},
        {TLS1_1_VERSION, "AES128-SHA:DHE-RSA-AES128-SHA", ""},
        {TLS1_VERSION, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.maxVersion) + " " + c.suites);
        // A client built on OpenSSL's own defaults, not on ours.
        const SslCtxPtr client(SSL_CTX_new(TLS_client_method()));
        SSL_CTX_set_security_level(client.get(), 0);
        SSL_CTX_set_min_proto_version(client.get(), TLS1_VERSION);
        SSL_CTX_set_max_proto_version(client.get(), c.maxVersion);
        if (*c.suites) {
            ASSERT_EQ(SSL_CTX_set_cipher_list(client.get(), c.suites), 1);
        }
        SocketPair sockets;
        auto peer = std::async(std::launch::async, [&] {
            try {
                TlsStream stream(client.get(), sockets.client, TlsStream::Role::Client, {}, 5s);
                return stream.Version() + " " + stream.Cipher();
            } catch (const TlsError&) {
                ::shutdown(sockets.client, SHUT_RDWR);
                return std::string();
            }
        });
        std::string agreed;
        try {
            TlsStream stream(server.get(), sockets.server, TlsStream::Role::Server, {}, 5s);
            agreed = stream.Version() + " " + stream.Cipher();
        } catch (const TlsError&) {
            ::shutdown(sockets.server, SHUT_RDWR);
        }
        EXPECT_EQ(agreed, c.agreed);
        EXPECT_EQ(peer.get(), c.agreed);
    }
}

TEST_F(TlsStreamTest, PeerCloseReadsAsEndAndSilenceAsTimeout)
{
    const SslCtxPtr server = MakeServerTlsContext(File("cert.pem"), File("key.pem"));
    const SslCtxPtr client = MakeClientTlsContext("");
    SocketPair sockets;
    std::promise<void> closeNow;
    auto peer = std::async(std::launch::async, [&] {
        TlsStream stream(client.get(), sockets.client, TlsStream::Role::Client, {}, 5s);
        closeNow.get_future().wait();
    });
    TlsStream stream(server.get(), sockets.server, TlsStream::Role::Server, {}, 5s);
    std::byte buffer[16];
    EXPECT_THROW(stream.ReadSome(buffer, 50ms), ReadTimeoutError);
    closeNow.set_value();
    peer.get();
    EXPECT_EQ(stream.ReadSome(buffer, 5s), 0u);
}

TEST_F(TlsStreamTest, MismatchedOrMissingFilesDoNotLoad)
{
    EXPECT_THROW(MakeServerTlsContext(File("cert.pem"), File("otherkey.pem")), TlsError);
    EXPECT_THROW(MakeServerTlsContext(File("missing.pem"), File("key.pem")), TlsError);
    std::ofstream(File("garbage.pem")) << "not a certificate\n";
    EXPECT_THROW(MakeServerTlsContext(File("garbage.pem"), File("key.pem")), TlsError);
}

} // namespace
} // namespace zd
