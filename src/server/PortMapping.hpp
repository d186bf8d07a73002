#pragma once

#include "lib/upnp/UpnpGateway.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace zd {

// Port forwarding on the station's router. The router is looked for at the
// first call and kept for the life of the process; when none answered, every
// later call fails at once until the program is restarted.
//
// Where the router comes from: ZODAVIZI_UPNP_IGD=<url> takes the device
// description at that address (no discovery); otherwise ZODAVIZI_UPNP=off
// means no router; otherwise UPnP discovery on the local network.
//
// Main thread only.
class PortMapping {
public:
    enum Protocols { kTcpAndUdp = 0, kTcpOnly = 1, kUdpOnly = 2 };

    // How long discovery waits for routers to answer.
    static constexpr std::chrono::milliseconds kDiscoveryWait{2000};

    // Adds (add) or removes the mapping of `port` to internalClient:port for
    // the protocols. True when every request reached the router and was
    // accepted; false otherwise. Silent: nothing is shown or logged.
    // noexcept.
    bool SetPortMapping(bool add, const std::string& description, int protocols,
                        const std::string& internalClient, std::uint16_t port) noexcept;

    // Whether the router was looked for (discovery runs at most once).
    bool Searched() const noexcept { return searched_; }

private:
    const UpnpGateway* Gateway() noexcept;

    bool searched_ = false;
    std::optional<UpnpGateway> gateway_;
};

} // namespace zd
