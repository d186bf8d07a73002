#include "lib/posix/UniqueFileDescriptor.hpp"

#include <unistd.h>

namespace zd {

void UniqueFileDescriptor::Reset(int fd) noexcept
{
    Close();
    fd_ = fd;
}

bool UniqueFileDescriptor::Close() noexcept
{
    const int fd = Release();
    // On Linux the descriptor is released even when close fails, so it is
    // never retried.
    return fd < 0 || ::close(fd) == 0;
}

} // namespace zd
