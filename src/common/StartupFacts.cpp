#include "common/StartupFacts.hpp"

#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>

namespace zd {

namespace {
std::string EnvironmentValue(const char* lower, const char* upper)
{
    for (const char* name : {lower, upper}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return {};
}
} // namespace

void ParseProxySetting(const std::string& value, std::string& host, int& port)
{
    host.clear();
    port = 0;
    std::string rest = value;
    if (const auto scheme = rest.find("://"); scheme != std::string::npos)
        rest = rest.substr(scheme + 3);
    if (const auto at = rest.rfind('@'); at != std::string::npos)
        rest = rest.substr(at + 1); // credentials are not kept
    if (const auto slash = rest.find('/'); slash != std::string::npos)
        rest = rest.substr(0, slash);
    const auto colon = rest.rfind(':');
    const auto bracket = rest.rfind(']');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        const std::string digits = rest.substr(colon + 1);
        char* end = nullptr;
        const long number = std::strtol(digits.c_str(), &end, 10);
        if (!digits.empty() && *end == '\0' && number > 0 && number < 65536)
            port = static_cast<int>(number);
        rest = rest.substr(0, colon);
    }
    host = rest;
}

TStartupFacts GatherStartupFacts()
{
    TStartupFacts facts;
    utsname name{};
    if (uname(&name) == 0) {
        std::sscanf(name.release, "%d.%d.%d", &facts.OsMajor, &facts.OsMinor, &facts.OsBuild);
        facts.OsText = std::string(name.sysname) + " " + name.release;
    }
    ParseProxySetting(EnvironmentValue("http_proxy", "HTTP_PROXY"), facts.HttpProxyHost, facts.HttpProxyPort);
    ParseProxySetting(EnvironmentValue("ftp_proxy", "FTP_PROXY"), facts.FtpProxyHost, facts.FtpProxyPort);
    return facts;
}

} // namespace zd
