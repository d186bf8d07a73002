#pragma once

#include <memory>
#include <string>

namespace zd {

class InstanceLock;
class MainForm;
class RestoreSignal;

// The installation's lock file: "ZODavizi.lock" in its data folder (native,
// ending in "/"), found without regard to letter case. Never throws apart
// from allocation.
std::string InstanceLockFile(const std::string& dataFolder);

// One running copy per installation: the installation's lock, and the
// restore signal through which a second start asks the running copy to
// come forward.
class SingleInstance {
public:
    SingleInstance() noexcept;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock of the form's installation; true when this copy may
    // run. Otherwise asks the running copy to come forward, waits up to
    // 4050 ms for its answer, beeps, shows "already loaded" when no answer
    // came, and returns false. noexcept apart from allocation.
    bool Acquire(MainForm& form);

    // True once for each time a second start asked this copy to come
    // forward. noexcept.
    bool TakeRestoreRequest() noexcept;

private:
    std::unique_ptr<InstanceLock> lock_;
    std::unique_ptr<RestoreSignal> signal_;
};

} // namespace zd
