#include "platform/InstanceLock.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

InstanceLock::InstanceLock(std::string_view rootFolder)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (runtime != nullptr && *runtime != '\0') ? runtime : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    path_ = folder + "zodavizi-" + InstallationId(rootFolder) + ".lock";
    UniqueFileDescriptor file(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (file && ::flock(file.Get(), LOCK_EX | LOCK_NB) == 0)
        file_ = std::move(file);
}

} // namespace zd
