#pragma once

#include "common/Error.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct UPNPUrls;

namespace zd {

// A refusal of the router or a request that did not reach it.
class UpnpError : public Error {
public:
    explicit UpnpError(const std::string& message) : Error("EUPnPError", message) {}
};

// An Internet gateway device found by UPnP (miniupnpc): the control address
// of its WAN connection service, kept with the library's URL record. Movable,
// not copyable.
class UpnpGateway {
public:
    UpnpGateway(UpnpGateway&&) noexcept;
    UpnpGateway& operator=(UpnpGateway&&) noexcept;
    ~UpnpGateway();

    // Asks the local network for a gateway (SSDP multicast) and waits up to
    // `wait` for answers. nullopt when none answered. Never throws apart
    // from allocation.
    static std::optional<UpnpGateway> Discover(std::chrono::milliseconds wait);

    // The gateway whose device description is at `url` (no discovery).
    // nullopt when the description cannot be fetched or names no WAN
    // connection service. Never throws apart from allocation.
    static std::optional<UpnpGateway> FromDescription(const std::string& url);

    // A static mapping of externalPort to internalClient:internalPort,
    // enabled, with no lease time limit. protocol is "TCP" or "UDP".
    // Throws UpnpError when the router refuses or cannot be reached.
    void AddPortMapping(std::uint16_t externalPort, const std::string& protocol,
                        std::uint16_t internalPort, const std::string& internalClient,
                        const std::string& description) const;

    // Removes the mapping of externalPort and protocol. Throws UpnpError.
    void DeletePortMapping(std::uint16_t externalPort, const std::string& protocol) const;

    const std::string& ControlUrl() const noexcept { return controlUrl_; }

private:
    struct Urls;
    UpnpGateway(std::unique_ptr<Urls> urls, std::string serviceType);

    std::unique_ptr<Urls> urls_;
    std::string controlUrl_;
    std::string serviceType_;
};

} // namespace zd
