#pragma once

#include "server/Settings.hpp"
#include "server/TUser.hpp"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zd {

class MainForm;

// The configuration file "ZODavizi.dat" in the data folder, with its backup
// "ZODavizi.bak": a 2-byte length (135) and the settings block, then for
// each account a 2-byte length (522) and its stored record; little-endian,
// no header and no end marker.
inline constexpr std::size_t kSettingsBlockSize = 135;
inline constexpr std::uint16_t kFormatVersion = 601;
inline constexpr const char* kConfigurationFileName = "ZODavizi.dat";
inline constexpr const char* kConfigurationBackupName = "ZODavizi.bak";

using SettingsBlock = std::array<std::byte, kSettingsBlockSize>;

// The settings block of the record (master password scrambled). noexcept
// apart from allocation.
SettingsBlock EncodeSettingsBlock(const Settings& settings);

// Reads `bytes` over the start of the block of `settings` (a shorter block
// leaves the later fields as they are). The master password is taken only
// when the resulting FormatVersion is above 600, otherwise it is empty.
// noexcept apart from allocation.
void ReadSettingsBlock(std::span<const std::byte> bytes, Settings& settings);

// What the file holds.
struct StoredConfiguration {
    Settings settings;                          // defaults where the file says nothing
    std::vector<std::shared_ptr<TUser>> users;  // in file order
};

// Reads the file of `dataFolder` (a native folder ending in "/"): when it is
// missing or under 100 bytes, the backup is first copied over it. A missing
// or damaged file gives the defaults and the accounts read before the damage.
// Never throws apart from allocation.
StoredConfiguration ReadConfigurationFile(const std::string& dataFolder);

// Copies the file to the backup, then writes the new file through a
// temporary file renamed into place, so the file on disk is always a
// complete one. FormatVersion is written as 601. False (nothing changed on
// disk apart from the backup) when the new file cannot be written. Never
// throws apart from allocation.
bool WriteConfigurationFile(const std::string& dataFolder, const Settings& settings,
                            const std::vector<std::shared_ptr<TUser>>& users);

// Puts the account into the file of `dataFolder`: it replaces the account
// of the same login (letter case ignored) or is added at its sorted place;
// the settings and the other accounts stay as they are. For operator tools
// and test set-up while no server runs on the installation. False when the
// file cannot be written. With `upnp`, the "UPnP Port Forwarding" setting is
// stored as given too. Never throws apart from allocation.
bool StoreAccount(const std::string& dataFolder, const TUser& account, std::optional<bool> upnp = std::nullopt);

// Start-up: defaults, change marks cleared, the shown account forgotten,
// then the file's settings onto the Options page and its accounts into the
// user list. Main thread. Never throws apart from allocation.
void LoadSettings(MainForm& form);

// Commits a pending Users-page edit, then writes the file when the settings
// changed or `force`; the change mark is cleared once written. Main thread.
// Never throws apart from allocation.
void SaveSettings(MainForm& form, bool force);

} // namespace zd
