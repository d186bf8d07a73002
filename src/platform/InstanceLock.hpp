#pragma once

#include "lib/posix/UniqueFileDescriptor.hpp"

#include <string>
#include <string_view>

namespace zd {

// The installation identifier: a hash of the root folder, the same for every
// start of one installation. noexcept apart from allocation.
std::string InstallationId(std::string_view rootFolder);

// The single-instance lock of one installation: an exclusive flock on a file
// inside the installation (its data folder's "ZODavizi.lock"), so it holds
// for every user and every path that reaches the installation, symlinks
// included. The lock decides, never the file: a file left behind by a copy
// that died stops nothing. Held for the life of the object.
class InstanceLock {
public:
    // Tries to take the lock on the file (native path, made when missing).
    // Acquired() tells whether this copy got it; false also when the file
    // cannot be opened. noexcept apart from allocation.
    explicit InstanceLock(std::string_view lockFile);
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
