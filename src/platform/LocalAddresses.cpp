#include "platform/LocalAddresses.hpp"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <memory>
#include <netinet/in.h>

namespace zd {

std::vector<std::string> LocalIPv4Addresses()
{
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return addresses;
    const std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, &::freeifaddrs);
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr)
            addresses.emplace_back(text);
    }
    return addresses;
}

std::string ChooseLocalAddress(const std::vector<std::string>& addresses)
{
    for (const std::string& address : addresses) {
        if (address.starts_with("192.168") || address.starts_with("10."))
            return address;
    }
    for (const std::string& address : addresses) {
        if (address.find('.') != std::string::npos)
            return address;
    }
    return addresses.empty() ? std::string() : addresses.front();
}

} // namespace zd
