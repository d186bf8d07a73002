#include "server/SingleInstance.hpp"

#include "audio/NativePath.hpp"
#include "common/Timing.hpp"
#include "common/Translate.hpp"
#include "platform/InstanceLock.hpp"
#include "platform/RestoreSignal.hpp"
#include "server/MainForm.hpp"

namespace zd {

namespace {

// How long a second start waits for the running copy's answer, and how
// often it looks.
constexpr std::uint32_t kSecondCopyWaitMs = 4050;
constexpr std::uint32_t kSecondCopySleepMs = 15;

} // namespace

std::string InstanceLockFile(const std::string& dataFolder)
{
    const std::string file = dataFolder + "ZODavizi.lock";
    return NativePathOf(file).value_or(file);
}

SingleInstance::SingleInstance() noexcept = default;
SingleInstance::~SingleInstance() = default;

bool SingleInstance::Acquire(MainForm& form)
{
    try {
        signal_ = std::make_unique<RestoreSignal>(form.RootFolder());
        signal_->Set(0);
    } catch (const std::exception&) {
        signal_.reset(); // no signal: a second start cannot ask us to show
    }
    lock_ = std::make_unique<InstanceLock>(InstanceLockFile(form.DataFolder()));
    if (lock_->Acquired())
        return true;

    lock_.reset();
    bool answered = false;
    if (signal_) {
        signal_->Set(RestoreSignal::kRestore);
        std::uint32_t waited = 0;
        while (signal_->Get() != 0 && SleepAndCount(waited, kSecondCopyWaitMs, kSecondCopySleepMs)) {
        }
        answered = signal_->Get() == 0;
    }
    const MainForm::Hooks& hooks = form.GetHooks();
    if (hooks.Beep)
        hooks.Beep();
    if (!answered && hooks.ShowMessage) {
        hooks.ShowMessage({Tr("Error"), Format(Tr("%0:s is already loaded."), {form.ProgramTitle()}),
                           Tr("Click OK to exit")});
    }
    signal_.reset();
    return false;
}

bool SingleInstance::TakeRestoreRequest() noexcept
{
    if (!signal_ || signal_->Get() != RestoreSignal::kRestore)
        return false;
    signal_->Set(0);
    return true;
}

} // namespace zd
