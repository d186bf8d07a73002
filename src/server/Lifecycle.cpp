#include "server/Lifecycle.hpp"

#include "audio/NativePath.hpp"
#include "common/Translate.hpp"
#include "platform/LocalAddresses.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "server/MainForm.hpp"
#include "server/SettingsFile.hpp"

namespace zd {

bool Lifecycle::StartServer()
{
    MainForm& form = form_;
    SetInstallationRoot(form.RootFolder());
    SetSchedulerDataFolder(form.DataFolder());
    if (!LoadSchedulerSettings()) {
        if (const auto& show = form.GetHooks().ShowMessage) {
            show({form.ProgramTitle(), Tr("A correctly configured installation of Cadmora must exist on this computer"),
                  Format(Tr("%0:s will now close."), {form.ProgramTitle()})});
        }
        exitCode_ = 1;
        return false;
    }
    form.localeFormats_ = CaptureLocaleFormats();
    LoadSettings(form);
    form.localAddress_ = ChooseLocalAddress(LocalIPv4Addresses());
    if (!form.instance_.Acquire(form)) {
        exitCode_ = 1;
        return false;
    }
    form.UpdateTrayStatus();
    OptionsPage& page = form.Page();
    if (page.ServerEnabled()) {
        form.ActivateListener();
    } else if (form.Options().Headless && form.Log().Echo) {
        // With no window nothing else would tell the operator why nobody
        // can connect.
        form.Log().Echo(Tr("\"Enable Server\" is off: the server does not listen for connections"));
    }
    WindowState& window = form.Window();
    window.Visible = page.VisibleAtStartup();
    page.SetLoading(false);
    MainThread& main = form.Main();
    window.UsersPageShown = form.Users().Empty();
    main.SetTimerInterval(window.UsersPageShown ? MainForm::kFirstTickWithoutUsers : MainForm::kTimerInterval);
    main.StartTimer();
    started_ = true;
    return true;
}

void Lifecycle::CheckTime()
{
    MainThread& main = form_.Main();
    main.StopTimer();
    if (main.TimerInterval() == MainForm::kFirstTickWithoutUsers)
        main.SetTimerInterval(MainForm::kTimerInterval);
    const std::tm now = form_.Now();
    if (now.tm_hour != lastHour_) {
        lastHour_ = now.tm_hour;
        LoadSchedulerSettings(); // a failure keeps the values of the last load
    }
    if (now.tm_min != lastMinute_) {
        lastMinute_ = now.tm_min;
        if (now.tm_min % 10 == 0)
            SaveSettings(form_, false);
    }
    if (form_.instance_.TakeRestoreRequest()) {
        // A second start asked for the window (after the master password).
        form_.Window().RestoreRequested = true;
        form_.Window().Visible = true;
    }
    // Connections that ended keep their socket and thread until joined;
    // without this they would wait for the next client to connect.
    form_.connections_.JoinFinished();
    main.StartTimer();
}

void Lifecycle::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    form_.Main().StopTimer();
    if (form_.Listening())
        form_.DisconnectAll();
    form_.StopListening(); // also ends connections left from a failed activation
    if (started_)
        SaveSettings(form_, false); // a copy that never started saves nothing
    form_.UsersScreen().ForgetShownUser();
    form_.Users().Clear();
}

} // namespace zd
