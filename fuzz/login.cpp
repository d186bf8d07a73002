// What a client sends before it is logged in: the line "Login", the client
// identification before the switch to TLS (the handshake then meets the
// rest of the input), an HTTP request line, or anything else.

#include "FuzzSession.hpp"

namespace {
zd::fuzz::SessionFixture* fixture = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static zd::fuzz::SessionFixture session;
    fixture = &session;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fixture->Exchange(data, size, false);
    return 0;
}
