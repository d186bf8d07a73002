#pragma once

#include "lib/posix/UniqueFileDescriptor.hpp"

#include <string>
#include <string_view>

namespace zd {

// The installation identifier: a hash of the root folder, the same for every
// start of one installation. noexcept apart from allocation.
std::string InstallationId(std::string_view rootFolder);

// The single-instance lock of one installation: an exclusive flock on a
// file in $XDG_RUNTIME_DIR (else /tmp) named after the installation id.
// Held for the life of the object.
class InstanceLock {
public:
    // Tries to take the lock. Acquired() tells whether this copy got it;
    // false also when the lock file cannot be opened. noexcept apart from
    // allocation.
    explicit InstanceLock(std::string_view rootFolder);
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    bool Acquired() const noexcept { return file_.IsDefined(); }
    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
    // Held while locked. The file stays when it goes: removing it would let
    // a third copy lock a fresh file while a second still waits on the old one.
    UniqueFileDescriptor file_;
};

} // namespace zd
