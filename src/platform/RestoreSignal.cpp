#include "platform/RestoreSignal.hpp"

#include "common/Error.hpp"
#include "lib/posix/UniqueFileDescriptor.hpp"
#include "platform/InstanceLock.hpp"

#include <atomic>
#include <filesystem>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zd {

namespace {

// Every path that reaches one installation (symlinks, "..", a missing final
// slash) names the same signal.
std::string CanonicalRoot(std::string_view rootFolder)
{
    std::error_code error;
    const auto canonical = std::filesystem::weakly_canonical(std::filesystem::path(rootFolder), error);
    if (error)
        return std::string(rootFolder);
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

RestoreSignal::RestoreSignal(std::string_view rootFolder)
    : name_("/zodavizi-" + InstallationId(CanonicalRoot(rootFolder)) + "-restore")
{
    // The mapping outlives the descriptor, which goes at the end of this scope.
    const UniqueFileDescriptor block(::shm_open(name_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!block)
        throw Error("EOSError", std::strerror(errno));
    const int fd = block.Get();
    struct stat facts{};
    if (::fstat(fd, &facts) != 0 || (facts.st_size < 1 && ::ftruncate(fd, 1) != 0))
        throw Error("EOSError", std::strerror(errno));
    void* mapped = ::mmap(nullptr, 1, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED)
        throw Error("EOSError", std::strerror(errno));
    byte_ = static_cast<std::uint8_t*>(mapped);
}

RestoreSignal::~RestoreSignal()
{
    // The block stays named: another copy of the installation may still use it.
    if (byte_ != nullptr)
        ::munmap(byte_, 1);
}

std::uint8_t RestoreSignal::Get() const noexcept
{
    return std::atomic_ref<std::uint8_t>(*byte_).load();
}

void RestoreSignal::Set(std::uint8_t value) noexcept
{
    std::atomic_ref<std::uint8_t>(*byte_).store(value);
}

} // namespace zd
