#include "server/SettingsFile.hpp"

#include "audio/NativePath.hpp"
#include "audio/TVRNFileStream.hpp"
#include "common/Scramble.hpp"
#include "lib/posix/UniqueFileDescriptor.hpp"
#include "server/UserList.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace zd {
namespace {

constexpr std::size_t kMinimumFileSize = 100;
constexpr std::uint16_t kMaxStoredFormatVersionWithoutPassword = 600;
constexpr std::size_t kPasswordCapacity = 15;

namespace Offset {
constexpr std::size_t ServerEnabled = 0;
constexpr std::size_t Reserved1 = 1;
constexpr std::size_t VisibleAtStartup = 2;
constexpr std::size_t Port = 3;
constexpr std::size_t Reserved5 = 5;
constexpr std::size_t Reserved7 = 7;
constexpr std::size_t Reserved30 = 30;
constexpr std::size_t MaxLogEntries = 111;
constexpr std::size_t BitrateIndex = 113;
constexpr std::size_t UPnPEnabled = 114;
constexpr std::size_t MasterPassword = 115;
constexpr std::size_t VTLimit = 131;
constexpr std::size_t FormatVersion = 133;
} // namespace Offset

void Put16(SettingsBlock& block, std::size_t at, std::uint16_t value) noexcept
{
    block[at] = static_cast<std::byte>(value & 0xFF);
    block[at + 1] = static_cast<std::byte>(value >> 8);
}

std::uint16_t Get16(const SettingsBlock& block, std::size_t at) noexcept
{
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(block[at])
                                      | std::to_integer<unsigned>(block[at + 1]) << 8);
}

std::uint8_t Get8(const SettingsBlock& block, std::size_t at) noexcept
{
    return std::to_integer<std::uint8_t>(block[at]);
}

template <std::size_t N>
void PutBytes(SettingsBlock& block, std::size_t at, const std::array<std::uint8_t, N>& bytes) noexcept
{
    for (std::size_t i = 0; i < N; ++i)
        block[at + i] = static_cast<std::byte>(bytes[i]);
}

template <std::size_t N>
void GetBytes(const SettingsBlock& block, std::size_t at, std::array<std::uint8_t, N>& bytes) noexcept
{
    for (std::size_t i = 0; i < N; ++i)
        bytes[i] = Get8(block, at + i);
}

// The file of the data folder, found without regard to letter case (as the
// scheduler's Windows installation names it) for reading and writing alike.
std::string DataPath(const std::string& dataFolder, const char* name)
{
    return NativePathOf(dataFolder + name).value_or(dataFolder + name);
}

// Copies a whole file through a temporary file renamed over the target.
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Writes the bytes to `path` + ".tmp" (readable by the owner only: the file
// holds the accounts' passwords), flushes it to the disk and renames it
// over `path`. False when any step fails (the temporary file is removed).
bool WriteFileReplacing(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".tmp";
    UniqueFileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!file)
        return false;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(file.Get()) == 0;
    ok = file.Close() && ok;
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    const UniqueFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file)
        return false;
    bytes.clear();
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(file.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

bool CopyFileReplacing(const std::string& from, const std::string& to)
{
    std::string bytes;
    return ReadWholeFile(from, bytes) && WriteFileReplacing(to, bytes);
}

// One attempt to read the file; false when it did not open or is too short.
bool ReadAttempt(const std::string& path, StoredConfiguration& stored)
{
    std::unique_ptr<TVRNFileStream> file;
    try {
        file = TVRNFileStream::Create(path, kOpenRead | kShareDenyWrite);
        if (file->Size() < static_cast<std::int64_t>(kMinimumFileSize))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    try {
        auto readLength = [&](std::uint16_t& length) {
            std::byte bytes[2];
            if (file->Read(bytes, 2) != 2)
                return false;
            length = static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[0])
                                                | std::to_integer<unsigned>(bytes[1]) << 8);
            return true;
        };
        std::uint16_t length = 0;
        if (!readLength(length) || length == 0 || length > kSettingsBlockSize)
            return true;
        SettingsBlock block{};
        const std::size_t got = file->Read(block.data(), length);
        ReadSettingsBlock(std::span(block).first(got), stored.settings);
        if (got < length)
            return true;
        for (;;) {
            if (!readLength(length) || length == 0 || length > TUser::kRecordSize)
                break;
            TUser::Record record{};
            const std::size_t read = file->Read(record.data(), length);
            if (read == 0)
                break;  // a length with no record behind it adds no account
            auto user = std::make_shared<TUser>();
            user->FromRecord(std::span(record).first(read));
            stored.users.push_back(std::move(user));
        }
    } catch (const std::exception&) {
        // a read error ends the list; what was read stays
    }
    return true;
}

} // namespace

SettingsBlock EncodeSettingsBlock(const Settings& settings)
{
    SettingsBlock block{};
    block[Offset::ServerEnabled] = static_cast<std::byte>(settings.ServerEnabled ? 1 : 0);
    block[Offset::Reserved1] = static_cast<std::byte>(settings.Reserved1);
    block[Offset::VisibleAtStartup] = static_cast<std::byte>(settings.VisibleAtStartup ? 1 : 0);
    Put16(block, Offset::Port, settings.Port);
    PutBytes(block, Offset::Reserved5, settings.Reserved5);
    PutBytes(block, Offset::Reserved7, settings.Reserved7);
    PutBytes(block, Offset::Reserved30, settings.Reserved30);
    Put16(block, Offset::MaxLogEntries, settings.MaxLogEntries);
    block[Offset::BitrateIndex] = static_cast<std::byte>(static_cast<std::uint8_t>(settings.BitrateIndex));
    block[Offset::UPnPEnabled] = static_cast<std::byte>(settings.UPnPEnabled ? 1 : 0);
    const std::string stored = Scramble(settings.MasterPassword.substr(0, kPasswordCapacity), true);
    block[Offset::MasterPassword] = static_cast<std::byte>(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i)
        block[Offset::MasterPassword + 1 + i] = static_cast<std::byte>(stored[i]);
    Put16(block, Offset::VTLimit, settings.VTLimit);
    Put16(block, Offset::FormatVersion, settings.FormatVersion);
    return block;
}

void ReadSettingsBlock(std::span<const std::byte> bytes, Settings& settings)
{
    SettingsBlock block = EncodeSettingsBlock(settings);
    std::copy_n(bytes.begin(), std::min(bytes.size(), block.size()), block.begin());
    settings.ServerEnabled = Get8(block, Offset::ServerEnabled) != 0;
    settings.Reserved1 = Get8(block, Offset::Reserved1);
    settings.VisibleAtStartup = Get8(block, Offset::VisibleAtStartup) != 0;
    settings.Port = Get16(block, Offset::Port);
    GetBytes(block, Offset::Reserved5, settings.Reserved5);
    GetBytes(block, Offset::Reserved7, settings.Reserved7);
    GetBytes(block, Offset::Reserved30, settings.Reserved30);
    settings.MaxLogEntries = Get16(block, Offset::MaxLogEntries);
    settings.BitrateIndex = static_cast<std::int8_t>(Get8(block, Offset::BitrateIndex));
    settings.UPnPEnabled = Get8(block, Offset::UPnPEnabled) != 0;
    settings.VTLimit = Get16(block, Offset::VTLimit);
    settings.FormatVersion = Get16(block, Offset::FormatVersion);
    settings.MasterPassword.clear();
    if (settings.FormatVersion > kMaxStoredFormatVersionWithoutPassword) {
        const std::size_t length = std::min<std::size_t>(Get8(block, Offset::MasterPassword), kPasswordCapacity);
        std::string stored(length, '\0');
        for (std::size_t i = 0; i < length; ++i)
            stored[i] = static_cast<char>(Get8(block, Offset::MasterPassword + 1 + i));
        settings.MasterPassword = Scramble(stored, false);
    }
}

StoredConfiguration ReadConfigurationFile(const std::string& dataFolder)
{
    const std::string path = DataPath(dataFolder, kConfigurationFileName);
    StoredConfiguration stored;
    if (ReadAttempt(path, stored))
        return stored;
    CopyFileReplacing(DataPath(dataFolder, kConfigurationBackupName), path);
    stored = StoredConfiguration{};
    ReadAttempt(path, stored);
    return stored;
}

bool WriteConfigurationFile(const std::string& dataFolder, const Settings& settings,
                            const std::vector<std::shared_ptr<TUser>>& users)
{
    const std::string path = DataPath(dataFolder, kConfigurationFileName);
    CopyFileReplacing(path, DataPath(dataFolder, kConfigurationBackupName));  // a failed copy is ignored

    Settings written = settings;
    written.FormatVersion = kFormatVersion;
    std::string bytes;
    bytes.reserve(2 + kSettingsBlockSize + users.size() * (2 + TUser::kRecordSize));
    auto put16 = [&](std::size_t value) {
        bytes += static_cast<char>(value & 0xFF);
        bytes += static_cast<char>((value >> 8) & 0xFF);
    };
    put16(kSettingsBlockSize);
    const SettingsBlock block = EncodeSettingsBlock(written);
    bytes.append(reinterpret_cast<const char*>(block.data()), block.size());
    for (const auto& user : users) {
        put16(TUser::kRecordSize);
        const TUser::Record record = user->ToRecord();
        bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
    }
    return WriteFileReplacing(path, bytes);
}

bool StoreAccount(const std::string& dataFolder, const TUser& account, std::optional<bool> upnp)
{
    StoredConfiguration stored = ReadConfigurationFile(dataFolder);
    if (upnp)
        stored.settings.UPnPEnabled = *upnp;
    UserList list;
    for (auto& user : stored.users)
        list.Add(std::move(user));
    const int index = list.IndexOf(account.Login);
    if (index >= 0)
        list.Remove(static_cast<std::size_t>(index));
    list.Add(std::make_shared<TUser>(account));
    std::vector<std::shared_ptr<TUser>> users;
    for (const auto& entry : list.Entries())
        users.push_back(entry.user);
    return WriteConfigurationFile(dataFolder, stored.settings, users);
}

} // namespace zd
