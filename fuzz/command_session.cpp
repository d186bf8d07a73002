// The commands of a logged-in presenter, as the bytes a client sends on a
// copy of the demo installation: every command of the dispatch table with
// its argument, the bodies of "WritePLG=", "WriteVT=" and "WritePL=", and the
// lists of "FileCheck=" and "Search=".

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
    fixture->Exchange(data, size, true);
    return 0;
}
