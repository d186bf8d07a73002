#include "lib/openssl/SelfSignedCertificate.hpp"

#include "lib/openssl/OpenSslOwners.hpp"
#include "lib/posix/UniqueFileDescriptor.hpp"

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zd {
namespace {

constexpr int kKeyBits = 2048;
constexpr long kValidSeconds = 10L * 365 * 24 * 3600;

void AddExtension(X509* certificate, int nid, const std::string& value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, certificate, certificate, nullptr, nullptr, 0);
    X509ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str()));
    if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1)
        throw TlsError(OpenSslErrorText("Could not add a certificate extension"));
}

std::string PemText(BIO* bio)
{
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(size));
}

void WriteFile(const std::string& path, const std::string& content, mode_t mode)
{
    UniqueFileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (!file)
        throw FileError("EFCreateError", "Cannot create file \"" + path + "\". " + std::strerror(errno));
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(file.Get(), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError("EWriteError", std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
    if (!file.Close())
        throw FileError("EWriteError", std::strerror(errno));
}

} // namespace

void MakeSelfSignedCertificate(const std::string& certFile, const std::string& keyFile,
                               const std::string& hostName)
{
    EvpPkeyPtr key(EVP_RSA_gen(kKeyBits));
    if (!key)
        throw TlsError(OpenSslErrorText("Could not make an RSA key"));

    X509Ptr certificate(X509_new());
    if (!certificate)
        throw TlsError(OpenSslErrorText("X509_new"));
    X509_set_version(certificate.get(), 2);
    unsigned char serial[8];
    if (RAND_bytes(serial, sizeof serial) != 1)
        throw TlsError(OpenSslErrorText("RAND_bytes"));
    serial[0] &= 0x7F;  // a positive serial number
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet = number != nullptr
        && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate.get())) != nullptr;
    BN_free(number);
    if (!serialSet)
        throw TlsError(OpenSslErrorText("Could not set the serial number"));
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kValidSeconds);
    X509_set_pubkey(certificate.get(), key.get());

    X509_NAME* name = X509_get_subject_name(certificate.get());
    const auto* cn = reinterpret_cast<const unsigned char*>(hostName.c_str());
    const auto* org = reinterpret_cast<const unsigned char*>("ZO Davizi");
    if (X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, org, -1, -1, 0) != 1
        || X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, cn, -1, -1, 0) != 1
        || X509_set_issuer_name(certificate.get(), name) != 1)
        throw TlsError(OpenSslErrorText("Could not set the certificate's name"));

    AddExtension(certificate.get(), NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(certificate.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment,keyCertSign");
    AddExtension(certificate.get(), NID_subject_key_identifier, "hash");
    std::string names = "DNS:" + hostName;
    if (hostName != "localhost")
        names += ",DNS:localhost";
    names += ",IP:127.0.0.1";
    AddExtension(certificate.get(), NID_subject_alt_name, names);

    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0)
        throw TlsError(OpenSslErrorText("Could not sign the certificate"));

    BioPtr keyPem(BIO_new(BIO_s_mem()));
    BioPtr certPem(BIO_new(BIO_s_mem()));
    if (!keyPem || !certPem
        || PEM_write_bio_PrivateKey(keyPem.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1
        || PEM_write_bio_X509(certPem.get(), certificate.get()) != 1)
        throw TlsError(OpenSslErrorText("Could not write the certificate"));

    WriteFile(keyFile, PemText(keyPem.get()), 0600);
    WriteFile(certFile, PemText(certPem.get()), 0644);
}

std::string LocalHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

} // namespace zd
