#include "server/ServerTls.hpp"

#include "audio/NativePath.hpp"
#include "common/Translate.hpp"
#include "lib/openssl/SelfSignedCertificate.hpp"
#include "lib/openssl/TlsContext.hpp"
#include "net/Connection.hpp"
#include "net/TlsStream.hpp"
#include "server/MainForm.hpp"

#include <filesystem>
#include <mutex>

namespace zd {
namespace {

std::mutex contextMutex;
std::shared_ptr<SSL_CTX> serverContext;

} // namespace

bool PrepareServerTls(const std::string& dataFolder)
{
    // Found without regard to letter case, as every file of the data folder.
    const std::string certFile = NativePathOf(dataFolder + "cert.pem").value_or(dataFolder + "cert.pem");
    const std::string keyFile = NativePathOf(dataFolder + "key.pem").value_or(dataFolder + "key.pem");
    std::error_code error;
    const bool made = !std::filesystem::exists(certFile, error) && !std::filesystem::exists(keyFile, error);
    if (made)
        MakeSelfSignedCertificate(certFile, keyFile, LocalHostName());
    SslCtxPtr context = MakeServerTlsContext(certFile, keyFile);
    std::lock_guard lock(contextMutex);
    serverContext = std::shared_ptr<SSL_CTX>(context.release(), SslCtxFree{});
    return made;
}

void PrepareServerTls(MainForm& form)
{
    if (PrepareServerTls(form.DataFolder())) {
        // At start-up the log records nothing yet; the main loop runs this
        // once the timer is on.
        const std::string line = TrFormat("Created a self-signed certificate for %0:s in %1:s",
                                          {LocalHostName(), form.DataFolder()});
        form.Main().Post([&form, line] { form.LogEvent(line); });
    }
}

std::shared_ptr<SSL_CTX> ServerTlsContext() noexcept
{
    std::lock_guard lock(contextMutex);
    return serverContext;
}

void SwitchToTls(Connection& connection)
{
    if (connection.IsTls())
        return;
    const std::shared_ptr<SSL_CTX> context = ServerTlsContext();
    if (!context)
        throw TlsError("The server has no TLS certificate loaded");
    const std::vector<std::byte> ahead = connection.TakeBufferedBytes();
    connection.ReplaceStream(std::make_unique<TlsStream>(
        context.get(), connection.Fd(), TlsStream::Role::Server, ahead, connection.ReadTimeout()));
}

} // namespace zd
