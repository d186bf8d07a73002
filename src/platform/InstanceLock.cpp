#include "platform/InstanceLock.hpp"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>

namespace zd {

std::string InstallationId(std::string_view rootFolder)
{
    // FNV-1a, 64 bits: stable across runs and builds.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : rootFolder) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

InstanceLock::InstanceLock(std::string_view lockFile) : path_(lockFile)
{
    // Readable by every user of the installation: another user's copy must
    // be able to open it to find it locked.
    UniqueFileDescriptor file(::open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (file && ::flock(file.Get(), LOCK_EX | LOCK_NB) == 0)
        file_ = std::move(file);
}

} // namespace zd
