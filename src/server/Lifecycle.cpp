#include "server/Lifecycle.hpp"

#include "audio/NativePath.hpp"
#include "audio/TempFiles.hpp"
#include "common/Translate.hpp"
#include "platform/Autostart.hpp"
#include "platform/LocalAddresses.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "server/MainForm.hpp"
#include "server/Folders.hpp"
#include "server/SettingsFile.hpp"

#include <array>

namespace zd {

namespace {

// What a crash left unfinished is cleared before any client can start new
// writes, and only by the copy that holds the instance lock.
void RecoverUnfinishedWrites(MainForm& form)
{
    for (const std::string& folder : {VoiceTrackFolder(), PlaylistWriteFolder()}) {
        const int removed = RemoveTempFiles(folder);
        if (removed > 0) {
            // The log records nothing before the timer runs; the main loop
            // shows the line then.
            const std::string line = TrFormat("Removed %0:s unfinished upload(s) from %1:s",
                                              {std::to_string(removed), folder});
            form.Main().Post([&form, line] { form.LogEvent(line); });
        }
    }
}

} // namespace

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
    // The autostart entry ticks "Auto Load" (while Loading: no side effects).
    form.Page().SetAutoLoad(Autostart(form.RootFolder(), ExecutablePath()).Exists());
    LoadSettings(form);
    form.localAddress_ = ChooseLocalAddress(LocalIPv4Addresses());
    if (!form.instance_.Acquire(form)) {
        exitCode_ = 1;
        return false;
    }
    RecoverUnfinishedWrites(form);
    form.UpdateTrayStatus();
    // The day switches take the locale's long day names, Monday first.
    std::array<std::string, 7> days;
    for (std::size_t day = 0; day < 7; ++day)
        days[day] = form.localeFormats_.LongDayNames[(day + 1) % 7];
    form.UsersScreen().SetDayCaptions(days);
    OptionsPage& page = form.Page();
    if (page.ServerEnabled()) {
        form.ActivateListener();
        if (page.UPnPEnabled() && page.ServerEnabled())
            form.SetPortMapping(true, form.MappedPort());
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
    if (main.TimerInterval() == MainForm::kFirstTickWithoutUsers) {
        // The current page as if just opened: on the Users page with no
        // account selected the focus goes to the new-user text.
        form_.UsersScreen().PageControlChange(form_.Window().UsersPageShown);
        main.SetTimerInterval(MainForm::kTimerInterval);
    }
    const std::tm now = form_.Now();
    if (now.tm_hour != lastHour_) {
        lastHour_ = now.tm_hour;
        LoadSchedulerSettings(); // a failure keeps the values of the last load
    }
    if (now.tm_min != lastMinute_) {
        lastMinute_ = now.tm_min;
        if (now.tm_min % 10 == 0) {
            // A router that forgot the mapping gets it again.
            const OptionsPage& page = form_.Page();
            if (page.UPnPEnabled() && form_.OpenConnectionCount() == 0)
                form_.SetPortMapping(page.ServerEnabled(), form_.MappedPort());
            SaveSettings(form_, false);
        }
    }
    if (form_.instance_.TakeRestoreRequest()) {
        // A second start asked for the window (after the master password).
        form_.Window().RestoreRequested = true;
        if (form_.GetHooks().Restore)
            form_.GetHooks().Restore();
        else
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
    if (form_.Listening()) {
        const std::uint16_t mapped = form_.MappedPort();
        form_.DisconnectAll();
        form_.StopListening();
        if (form_.Page().UPnPEnabled())
            form_.SetPortMapping(false, mapped);
    }
    form_.StopListening(); // also ends connections left from a failed activation
    if (started_)
        SaveSettings(form_, false); // a copy that never started saves nothing
    form_.UsersScreen().ForgetShownUser();
    form_.Users().Clear();
}

} // namespace zd
