#include "net/Connection.hpp"

#include "common/Error.hpp"
#include "net/PlainStream.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace zd {

namespace {

std::string PeerOf(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    } else if (address.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address);
        if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr))
            ::inet_ntop(AF_INET, &in6->sin6_addr.s6_addr[12], text, sizeof text);
        else
            ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    }
    return text;
}

} // namespace

Connection::Connection(UniqueFileDescriptor socket)
    : fd_(std::move(socket)), peerAddress_(PeerOf(fd_.Get())), stream_(std::make_unique<PlainStream>(fd_.Get()))
{
}

std::size_t Connection::Fill()
{
    if (bufferStart_ > 0 && bufferStart_ * 2 >= buffer_.size()) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(bufferStart_));
        bufferStart_ = 0;
    }
    const std::size_t before = buffer_.size();
    buffer_.resize(before + limits::kReadChunk);
    std::size_t got = 0;
    try {
        got = stream_->ReadSome(std::span(buffer_).subspan(before), readTimeout_);
    } catch (...) {
        buffer_.resize(before);
        throw;
    }
    buffer_.resize(before + got);
    return got;
}

std::optional<std::string> Connection::ReadLine(std::size_t maxLength)
{
    std::size_t scanned = bufferStart_;
    for (;;) {
        const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(scanned);
        const auto lf = std::find(begin, buffer_.end(), std::byte{'\n'});
        if (lf != buffer_.end()) {
            const auto start = buffer_.begin() + static_cast<std::ptrdiff_t>(bufferStart_);
            auto end = lf;
            if (end != start && *(end - 1) == std::byte{'\r'})
                --end;
            if (static_cast<std::size_t>(end - start) > maxLength)
                throw SocketError("Max line length exceeded.");
            std::string line(reinterpret_cast<const char*>(&*start), static_cast<std::size_t>(end - start));
            bufferStart_ = static_cast<std::size_t>(lf - buffer_.begin()) + 1;
            return line;
        }
        // Allow one byte more than the longest line for a CR before the LF.
        if (buffer_.size() - bufferStart_ > maxLength + 1)
            throw SocketError("Max line length exceeded.");
        const std::size_t pending = buffer_.size() - bufferStart_;
        std::size_t got = 0;
        try {
            got = Fill();
        } catch (const ReadTimeoutError&) {
            if (pending == 0)
                return std::nullopt;
            throw;
        }
        if (got == 0)
            throw ConnectionClosedError();
        scanned = bufferStart_ + pending; // Fill may have moved the start
    }
}

void Connection::ReadExact(std::span<std::byte> out)
{
    while (!out.empty()) {
        const std::size_t got = ReadSome(out);
        if (got == 0)
            throw ConnectionClosedError();
        out = out.subspan(got);
    }
}

std::size_t Connection::ReadSome(std::span<std::byte> out)
{
    if (out.empty())
        return 0;
    const std::size_t buffered = buffer_.size() - bufferStart_;
    if (buffered > 0) {
        const std::size_t n = std::min(buffered, out.size());
        std::memcpy(out.data(), buffer_.data() + bufferStart_, n);
        bufferStart_ += n;
        if (bufferStart_ == buffer_.size()) {
            buffer_.clear();
            bufferStart_ = 0;
        }
        return n;
    }
    return stream_->ReadSome(out, readTimeout_);
}

void Connection::Write(std::span<const std::byte> data)
{
    stream_->WriteAll(data);
}

void Connection::Write(std::string_view text)
{
    Write(std::as_bytes(std::span(text.data(), text.size())));
}

void Connection::WriteLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    Write(std::string_view(line));
}

bool Connection::BytesWaiting() const noexcept
{
    if (buffer_.size() > bufferStart_ || stream_->HasBufferedBytes())
        return true;
    int pending = 0;
    return ::ioctl(fd_.Get(), FIONREAD, &pending) == 0 && pending > 0;
}

std::vector<std::byte> Connection::TakeBufferedBytes()
{
    std::vector<std::byte> rest(buffer_.begin() + static_cast<std::ptrdiff_t>(bufferStart_), buffer_.end());
    buffer_.clear();
    bufferStart_ = 0;
    return rest;
}

void Connection::ReplaceStream(std::unique_ptr<ByteStream> stream)
{
    stream_ = std::move(stream);
    tls_ = true;
}

void Connection::Close() noexcept
{
    if (!closed_.exchange(true))
        ::shutdown(fd_.Get(), SHUT_RDWR);
}

} // namespace zd
