#pragma once

// A small Internet gateway device on 127.0.0.1 for the port-forwarding
// tests: it serves its device description and answers the SOAP control
// requests of its WAN IP connection service, recording each one. Point the
// server at it with ZODAVIZI_UPNP_IGD=DescriptionUrl().

#include "Loopback.hpp"

#include <poll.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zd::testsupport {

class TestIgd {
public:
    struct Call {
        std::string action;                       // "AddPortMapping", "DeletePortMapping"
        std::map<std::string, std::string> args;  // "NewExternalPort" -> "2323" ...
    };

    TestIgd() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address = LoopbackAddress(0);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(fd_, 8) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (fd_ >= 0)
                ::close(fd_);
            throw std::runtime_error("cannot listen on loopback");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TestIgd()
    {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    TestIgd(const TestIgd&) = delete;
    TestIgd& operator=(const TestIgd&) = delete;

    std::string DescriptionUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/rootDesc.xml"; }

    // Answer every later control request with UPnP error 718 (conflict).
    void Refuse(bool refuse) { refuse_ = refuse; }

    std::vector<Call> Calls() const
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void ClearCalls()
    {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }
    int DescriptionFetches() const { return fetches_; }

private:
    static constexpr const char* kService = "urn:schemas-upnp-org:service:WANIPConnection:1";

    void Serve()
    {
        while (!stop_) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0)
                continue;
            const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            Answer(client);
            ::close(client);
        }
    }

    static std::string ReadRequest(int client)
    {
        std::string request;
        char buffer[2048];
        std::size_t wanted = std::string::npos;
        for (;;) {
            pollfd ready{client, POLLIN, 0};
            if (::poll(&ready, 1, 2000) <= 0)
                break;
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(got));
            const auto end = request.find("\r\n\r\n");
            if (end != std::string::npos && wanted == std::string::npos) {
                std::smatch match;
                static const std::regex length("Content-Length:\\s*(\\d+)", std::regex::icase);
                const std::string head = request.substr(0, end);
                wanted = end + 4 + (std::regex_search(head, match, length) ? std::stoul(match[1]) : 0);
            }
            if (wanted != std::string::npos && request.size() >= wanted)
                break;
        }
        return request;
    }

    void Answer(int client)
    {
        const std::string request = ReadRequest(client);
        std::string body;
        std::string status = "200 OK";
        if (request.starts_with("GET /rootDesc.xml")) {
            ++fetches_;
            body = Description();
        } else if (request.starts_with("POST /ctl/IPConn")) {
            Call call;
            std::smatch match;
            static const std::regex action("SOAPAction:\\s*\"[^#\"]*#(\\w+)\"", std::regex::icase);
            if (std::regex_search(request, match, action))
                call.action = match[1];
            static const std::regex arg("<(New\\w+)>([^<]*)</New\\w+>");
            const std::string xml = request.substr(request.find("\r\n\r\n") + 4);
            for (auto it = std::sregex_iterator(xml.begin(), xml.end(), arg); it != std::sregex_iterator(); ++it)
                call.args[(*it)[1]] = (*it)[2];
            {
                std::lock_guard lock(mutex_);
                calls_.push_back(call);
            }
            if (refuse_) {
                status = "500 Internal Server Error";
                body = Envelope("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring>"
                                "<detail><UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\">"
                                "<errorCode>718</errorCode><errorDescription>ConflictInMappingEntry"
                                "</errorDescription></UPnPError></detail></s:Fault>");
            } else {
                body = Envelope("<u:" + call.action + "Response xmlns:u=\"" + kService + "\"/>");
            }
        } else {
            status = "404 Not Found";
        }
        const std::string reply = "HTTP/1.1 " + status + "\r\nContent-Type: text/xml\r\nContent-Length: "
                                  + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        (void)::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    }

    static std::string Envelope(const std::string& content)
    {
        return "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
               "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>"
               + content + "</s:Body></s:Envelope>\r\n";
    }

    static std::string Description()
    {
        return std::string("<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
               "<specVersion><major>1</major><minor>0</minor></specVersion><device>"
               "<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
               "<friendlyName>Test router</friendlyName><deviceList><device>"
               "<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType><serviceList><service>"
               "<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</serviceType>"
               "<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId>"
               "<controlURL>/ctl/CmnIfCfg</controlURL><eventSubURL>/evt/CmnIfCfg</eventSubURL>"
               "<SCPDURL>/WANCfg.xml</SCPDURL></service></serviceList><deviceList><device>"
               "<deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>"
               "<serviceList><service><serviceType>") + kService + "</serviceType>"
               "<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId>"
               "<controlURL>/ctl/IPConn</controlURL><eventSubURL>/evt/IPConn</eventSubURL>"
               "<SCPDURL>/WANIPCn.xml</SCPDURL></service></serviceList>"
               "</device></deviceList></device></deviceList></device></root>\r\n";
    }

    int fd_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> refuse_{false};
    std::atomic<int> fetches_{0};
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::thread thread_;
};

} // namespace zd::testsupport
