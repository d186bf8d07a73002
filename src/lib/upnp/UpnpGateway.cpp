#include "lib/upnp/UpnpGateway.hpp"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <array>

namespace zd {

namespace {

struct DevListFree {
    void operator()(UPNPDev* list) const noexcept { freeUPNPDevlist(list); }
};
using DevListPtr = std::unique_ptr<UPNPDev, DevListFree>;

// miniupnpc's lanaddr buffers are 64 bytes in its own tools.
constexpr int kLanAddressSize = 64;

std::string CommandError(const char* what, int code)
{
    const char* text = strupnperror(code);
    return std::string(what) + " " + std::to_string(code) + (text != nullptr ? std::string(" ") + text : "");
}

} // namespace

// The library's URL record, freed with the library's own call.
struct UpnpGateway::Urls {
    UPNPUrls urls{};
    IGDdatas data{};
    Urls() = default;
    Urls(const Urls&) = delete;
    Urls& operator=(const Urls&) = delete;
    ~Urls() { FreeUPNPUrls(&urls); }
};

UpnpGateway::UpnpGateway(std::unique_ptr<Urls> urls, std::string serviceType)
    : urls_(std::move(urls)),
      controlUrl_(urls_->urls.controlURL != nullptr ? urls_->urls.controlURL : ""),
      serviceType_(std::move(serviceType))
{
}

UpnpGateway::UpnpGateway(UpnpGateway&&) noexcept = default;
UpnpGateway& UpnpGateway::operator=(UpnpGateway&&) noexcept = default;
UpnpGateway::~UpnpGateway() = default;

std::optional<UpnpGateway> UpnpGateway::Discover(std::chrono::milliseconds wait)
{
    int error = 0;
    const DevListPtr devices(upnpDiscover(static_cast<int>(wait.count()), nullptr, nullptr,
                                          UPNP_LOCAL_PORT_ANY, 0, 2, &error));
    if (!devices)
        return std::nullopt;
    auto urls = std::make_unique<Urls>();
    std::array<char, kLanAddressSize> lan{};
    const int found = UPNP_GetValidIGD(devices.get(), &urls->urls, &urls->data, lan.data(), kLanAddressSize);
    // 1: a connected gateway; 2: a gateway that reports no WAN link yet,
    // which still takes mappings. Anything else is no gateway.
    if ((found != 1 && found != 2) || urls->urls.controlURL == nullptr || urls->urls.controlURL[0] == 0)
        return std::nullopt;
    std::string type = urls->data.first.servicetype;
    return UpnpGateway(std::move(urls), std::move(type));
}

std::optional<UpnpGateway> UpnpGateway::FromDescription(const std::string& url)
{
    auto urls = std::make_unique<Urls>();
    std::array<char, kLanAddressSize> lan{};
    if (UPNP_GetIGDFromUrl(url.c_str(), &urls->urls, &urls->data, lan.data(), kLanAddressSize) != 1)
        return std::nullopt;
    if (urls->urls.controlURL == nullptr || urls->urls.controlURL[0] == 0 || urls->data.first.servicetype[0] == 0)
        return std::nullopt;
    std::string type = urls->data.first.servicetype;
    return UpnpGateway(std::move(urls), std::move(type));
}

void UpnpGateway::AddPortMapping(std::uint16_t externalPort, const std::string& protocol,
                                 std::uint16_t internalPort, const std::string& internalClient,
                                 const std::string& description) const
{
    const std::string external = std::to_string(externalPort);
    const std::string internal = std::to_string(internalPort);
    const int result = UPNP_AddPortMapping(controlUrl_.c_str(), serviceType_.c_str(), external.c_str(),
                                           internal.c_str(), internalClient.c_str(), description.c_str(),
                                           protocol.c_str(), nullptr, "0");
    if (result != UPNPCOMMAND_SUCCESS)
        throw UpnpError(CommandError("AddPortMapping", result));
}

void UpnpGateway::DeletePortMapping(std::uint16_t externalPort, const std::string& protocol) const
{
    const std::string external = std::to_string(externalPort);
    const int result = UPNP_DeletePortMapping(controlUrl_.c_str(), serviceType_.c_str(), external.c_str(),
                                              protocol.c_str(), nullptr);
    if (result != UPNPCOMMAND_SUCCESS)
        throw UpnpError(CommandError("DeletePortMapping", result));
}

} // namespace zd
