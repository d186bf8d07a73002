#pragma once

#include "server/Settings.hpp"

#include <cstdint>
#include <mutex>
#include <string>

namespace zd {

class MainForm;

// The Options page as an object: the values of its controls, the change
// marks and its event handlers. The window binds to it; headless runs and
// tests use it alone. Readers may call from any thread (the values are
// guarded); the handlers run on the main thread.
class OptionsPage {
public:
    static constexpr int kMinLogEntries = 100;
    static constexpr int kMaxLogEntries = 9999;
    static constexpr int kMaxVTLimit = 180;

    explicit OptionsPage(MainForm& form) noexcept : form_(form) {}

    // True during start-up (and while a user record is shown): control
    // changes then mark nothing and "Enable Server" has no side effects.
    bool Loading() const noexcept;
    void SetLoading(bool loading) noexcept;
    bool SettingsChanged() const noexcept;
    void SetSettingsChanged(bool changed) noexcept;
    // Sets SettingsChanged unless Loading. noexcept.
    void MarkChanged() noexcept;

    // Control values ("the settings as the window shows them").
    bool ServerEnabled() const noexcept;      // cbEnabled
    bool VisibleAtStartup() const noexcept;   // cbVisible
    std::string PortText() const;             // VTPort
    std::uint16_t Port() const noexcept;      // the listener's configured port
    int MaxLogEntries() const noexcept;       // MaxLogUpDown
    int BitrateIndex() const noexcept;        // Bitrate
    bool UPnPEnabled() const noexcept;        // cbUPnP
    bool AutoLoad() const noexcept;           // cbAutoLoad
    std::string MasterPassword() const;       // MasterPassword edit
    int VTLimit() const noexcept;             // VTLimitUpDown
    std::string VTLimitText() const;          // VTLimit edit

    // Puts the record on the controls, keeping its reserved fields; marks
    // nothing. noexcept apart from allocation.
    void ShowSettings(const Settings& settings);
    // The record from the controls: the switches, Port from the listener's
    // port, the log size, bitrate, master password (trimmed, cut to 15),
    // VT limit, and the reserved fields as last shown. FormatVersion is left
    // as shown; the writer sets its own.
    Settings TakeSettings() const;

    // Operator edits; each marks SettingsChanged unless Loading.
    void SetServerEnabled(bool checked); // ticks the switch, then cbEnabledClick
    void SetPortText(std::string text);  // then VTPortChange
    void SetVisibleAtStartup(bool checked) noexcept;
    void SetMaxLogEntries(int entries) noexcept; // kept within 100..9999
    void SetBitrateIndex(int index) noexcept;    // kept within 0..3
    void SetUPnPEnabled(bool checked);           // then cbUPnPClick
    void SetAutoLoad(bool checked);              // then cbAutoLoadClick
    void SetMasterPassword(std::string password);
    void SetVTLimit(int seconds) noexcept;       // kept within 0..180

    // "Enable Server" changed: activate, or drop everyone and stop
    // listening; ignored while Loading. Main thread.
    void cbEnabledClick();
    // The port text changed: the new port takes effect at the next
    // activation. Main thread.
    void VTPortChange();
    // Unticks "Enable Server" after a failed activation: with no side effects
    // while Loading, else with the full disable of cbEnabledClick.
    void UntickEnabled();
    // "Auto Load at Windows Logon" changed: writes or removes the
    // installation's autostart entry (a failed removal ticks the option
    // again); ignored while Loading. Main thread.
    void cbAutoLoadClick();
    // "UPnP Port Forwarding" changed: the mapping is added when the server
    // is enabled and the switch ticked, removed otherwise; ignored while
    // Loading. Main thread.
    void cbUPnPClick();

    // The key filter of the numeric edits: true when the key is kept
    // (backspace or a digit). noexcept.
    static bool NumericKeyPress(char key) noexcept;

private:
    MainForm& form_;
    mutable std::mutex mutex_;
    bool loading_ = true;
    bool settingsChanged_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    std::string portText_ = "2323";
    std::uint16_t port_ = 2323;
    int maxLog_ = 100;
    int bitrate_ = 1;
    bool upnp_ = true;
    bool autoLoad_ = false;
    std::string masterPassword_;
    int vtLimit_ = 120;
    Settings shown_; // the reserved fields and format version last shown
};

} // namespace zd
