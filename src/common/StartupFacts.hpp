#pragma once

#include <string>

namespace zd {

// Platform facts gathered once at start-up.
struct TStartupFacts {
    int OsMajor = 0;               // kernel version, e.g. 6
    int OsMinor = 0;               // e.g. 1
    int OsBuild = 0;               // patch level, e.g. 0
    std::string OsText;            // "Linux 6.1.0"
    bool HasMediaFoundation = false; // no such decoder library on Linux
    bool HasLosslessDecoder = false;
    std::string HttpProxyHost;     // from http_proxy / HTTP_PROXY
    int HttpProxyPort = 0;
    std::string FtpProxyHost;      // from ftp_proxy / FTP_PROXY
    int FtpProxyPort = 0;
};

// Gathers the facts (uname, the proxy variables). noexcept apart from
// allocation.
TStartupFacts GatherStartupFacts();

// Host and port of a proxy setting such as "http://host:8080/" or
// "host:3128"; port 0 when none is given.
void ParseProxySetting(const std::string& value, std::string& host, int& port);

// "%d.%d.%d.%d" of a file's version: the program's own version from the
// build when path is empty; for another file (a native path) its version
// resource when it is a Windows executable carrying one, else "". Never
// throws.
std::string FileVersionText(const std::string& path);

} // namespace zd
