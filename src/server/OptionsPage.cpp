#include "server/OptionsPage.hpp"

#include "common/Numbers.hpp"
#include "platform/Autostart.hpp"
#include "server/Folders.hpp"
#include "server/MainForm.hpp"

#include <algorithm>

namespace zd {

namespace {

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

bool OptionsPage::Loading() const noexcept { std::lock_guard lock(mutex_); return loading_; }
void OptionsPage::SetLoading(bool loading) noexcept { std::lock_guard lock(mutex_); loading_ = loading; }
bool OptionsPage::SettingsChanged() const noexcept { std::lock_guard lock(mutex_); return settingsChanged_; }
void OptionsPage::SetSettingsChanged(bool changed) noexcept { std::lock_guard lock(mutex_); settingsChanged_ = changed; }

void OptionsPage::MarkChanged() noexcept
{
    std::lock_guard lock(mutex_);
    if (!loading_)
        settingsChanged_ = true;
}

bool OptionsPage::ServerEnabled() const noexcept { std::lock_guard lock(mutex_); return enabled_; }
bool OptionsPage::VisibleAtStartup() const noexcept { std::lock_guard lock(mutex_); return visible_; }
std::string OptionsPage::PortText() const { std::lock_guard lock(mutex_); return portText_; }
std::uint16_t OptionsPage::Port() const noexcept { std::lock_guard lock(mutex_); return port_; }
int OptionsPage::MaxLogEntries() const noexcept { std::lock_guard lock(mutex_); return maxLog_; }
int OptionsPage::BitrateIndex() const noexcept { std::lock_guard lock(mutex_); return bitrate_; }
bool OptionsPage::UPnPEnabled() const noexcept { std::lock_guard lock(mutex_); return upnp_; }
bool OptionsPage::AutoLoad() const noexcept { std::lock_guard lock(mutex_); return autoLoad_; }
std::string OptionsPage::MasterPassword() const { std::lock_guard lock(mutex_); return masterPassword_; }
int OptionsPage::VTLimit() const noexcept { std::lock_guard lock(mutex_); return vtLimit_; }
std::string OptionsPage::VTLimitText() const { std::lock_guard lock(mutex_); return std::to_string(vtLimit_); }

void OptionsPage::ShowSettings(const Settings& settings)
{
    std::lock_guard lock(mutex_);
    shown_ = settings;
    enabled_ = settings.ServerEnabled;
    visible_ = settings.VisibleAtStartup;
    upnp_ = settings.UPnPEnabled;
    port_ = settings.Port;
    portText_ = std::to_string(settings.Port);
    maxLog_ = std::clamp<int>(settings.MaxLogEntries, kMinLogEntries, kMaxLogEntries);
    bitrate_ = std::clamp<int>(settings.BitrateIndex, 0, 3);
    masterPassword_ = settings.FormatVersion > 600 ? settings.MasterPassword : std::string();
    vtLimit_ = std::clamp<int>(settings.VTLimit, 0, kMaxVTLimit);
}

Settings OptionsPage::TakeSettings() const
{
    std::lock_guard lock(mutex_);
    Settings settings = shown_;
    settings.ServerEnabled = enabled_;
    settings.VisibleAtStartup = visible_;
    settings.UPnPEnabled = upnp_;
    settings.Port = port_;
    settings.MaxLogEntries = static_cast<std::uint16_t>(maxLog_);
    settings.BitrateIndex = static_cast<std::int8_t>(bitrate_);
    settings.MasterPassword = Trimmed(masterPassword_).substr(0, 15);
    settings.VTLimit = static_cast<std::uint16_t>(vtLimit_);
    return settings;
}

void OptionsPage::SetServerEnabled(bool checked)
{
    {
        std::lock_guard lock(mutex_);
        if (enabled_ == checked)
            return;
        enabled_ = checked;
    }
    cbEnabledClick();
}

void OptionsPage::SetPortText(std::string text)
{
    {
        std::lock_guard lock(mutex_);
        portText_ = std::move(text);
    }
    VTPortChange();
}

void OptionsPage::SetVisibleAtStartup(bool checked) noexcept
{
    { std::lock_guard lock(mutex_); visible_ = checked; }
    MarkChanged();
}

void OptionsPage::SetMaxLogEntries(int entries) noexcept
{
    { std::lock_guard lock(mutex_); maxLog_ = std::clamp(entries, kMinLogEntries, kMaxLogEntries); }
    MarkChanged();
}

void OptionsPage::SetBitrateIndex(int index) noexcept
{
    { std::lock_guard lock(mutex_); bitrate_ = std::clamp(index, 0, 3); }
    MarkChanged();
}

void OptionsPage::SetUPnPEnabled(bool checked)
{
    { std::lock_guard lock(mutex_); upnp_ = checked; }
    cbUPnPClick();
}

void OptionsPage::cbUPnPClick()
{
    if (Loading())
        return;
    form_.SetPortMapping(ServerEnabled() && UPnPEnabled(), form_.MappedPort());
    MarkChanged();
}

void OptionsPage::SetAutoLoad(bool checked)
{
    { std::lock_guard lock(mutex_); autoLoad_ = checked; }
    cbAutoLoadClick();
}

void OptionsPage::cbAutoLoadClick()
{
    if (Loading())
        return;
    const Autostart entry(form_.RootFolder(), ExecutablePath());
    if (AutoLoad()) {
        entry.Write(); // a failure is silent
    } else if (entry.Exists() && !entry.Remove()) {
        std::lock_guard lock(mutex_);
        autoLoad_ = true;
    }
    MarkChanged();
}

void OptionsPage::SetMasterPassword(std::string password)
{
    { std::lock_guard lock(mutex_); masterPassword_ = std::move(password); }
    MarkChanged();
}

void OptionsPage::SetVTLimit(int seconds) noexcept
{
    { std::lock_guard lock(mutex_); vtLimit_ = std::clamp(seconds, 0, kMaxVTLimit); }
    MarkChanged();
}

void OptionsPage::cbEnabledClick()
{
    if (Loading())
        return;
    const bool enabled = ServerEnabled();
    std::uint16_t mapped = form_.MappedPort();
    if (enabled) {
        form_.ActivateListener();
        mapped = form_.MappedPort();
    } else {
        form_.DisconnectAll();
        form_.StopListening();
    }
    // The mapping follows the listener: added when enabled, removed when
    // disabled.
    if (UPnPEnabled())
        form_.SetPortMapping(ServerEnabled(), mapped);
    if (!ServerEnabled()) {
        form_.Connected().Clear();
        form_.UpdateTrayStatus();
    }
    MarkChanged();
}

void OptionsPage::VTPortChange()
{
    // With UPnP on and the listener listening, the mapping moves to the new
    // port (the listener itself keeps its socket until it is restarted).
    const bool moveMapping = UPnPEnabled() && form_.Listening();
    if (moveMapping)
        form_.SetPortMapping(false, form_.MappedPort());
    std::uint16_t port = 0;
    {
        std::lock_guard lock(mutex_);
        port = static_cast<std::uint16_t>(TextToIntDef0(portText_));
        port_ = port; // takes effect at the next activation
    }
    if (moveMapping)
        form_.SetPortMapping(true, port);
    MarkChanged();
}

void OptionsPage::UntickEnabled()
{
    {
        std::lock_guard lock(mutex_);
        if (!enabled_)
            return;
        enabled_ = false;
    }
    if (!Loading())
        cbEnabledClick();
}

bool OptionsPage::NumericKeyPress(char key) noexcept
{
    return key == 8 || (key >= '0' && key <= '9');
}

} // namespace zd
