#include "server/PortMapping.hpp"

#include <cstdlib>
#include <string_view>

namespace zd {

namespace {

std::optional<UpnpGateway> FindGateway()
{
    const char* igd = std::getenv("ZODAVIZI_UPNP_IGD");
    if (igd != nullptr && *igd != 0)
        return UpnpGateway::FromDescription(igd);
    const char* upnp = std::getenv("ZODAVIZI_UPNP");
    if (upnp != nullptr && std::string_view(upnp) == "off")
        return std::nullopt;
    return UpnpGateway::Discover(PortMapping::kDiscoveryWait);
}

} // namespace

const UpnpGateway* PortMapping::Gateway() noexcept
{
    if (!searched_) {
        searched_ = true;
        try {
            gateway_ = FindGateway();
        } catch (...) {
            gateway_.reset();
        }
    }
    return gateway_ ? &*gateway_ : nullptr;
}

bool PortMapping::SetPortMapping(bool add, const std::string& description, int protocols,
                                 const std::string& internalClient, std::uint16_t port) noexcept
{
    const UpnpGateway* gateway = Gateway();
    if (gateway == nullptr)
        return false;
    const bool tcp = protocols == kTcpAndUdp || protocols == kTcpOnly;
    const bool udp = protocols == kTcpAndUdp || protocols == kUdpOnly;
    try {
        for (const char* protocol : {"TCP", "UDP"}) {
            if (std::string_view(protocol) == "TCP" ? !tcp : !udp)
                continue;
            if (add)
                gateway->AddPortMapping(port, protocol, port, internalClient, description);
            else
                gateway->DeletePortMapping(port, protocol);
        }
    } catch (...) {
        return false;
    }
    return true;
}

} // namespace zd
