#include "server/SettingsFile.hpp"

#include "server/MainForm.hpp"
#include "server/MainThread.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace zd {
namespace {

namespace fs = std::filesystem;

std::string Le16(unsigned value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string RecordBytes(const TUser& user, std::size_t length = TUser::kRecordSize)
{
    const TUser::Record record = user.ToRecord();
    return std::string(reinterpret_cast<const char*>(record.data()), length);
}

std::string BlockBytes(const Settings& settings, std::size_t length = kSettingsBlockSize)
{
    const SettingsBlock block = EncodeSettingsBlock(settings);
    return std::string(reinterpret_cast<const char*>(block.data()), length);
}

TUser Account(const char* login, const char* password)
{
    TUser user;
    user.Login = login;
    user.Password = password;
    return user;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("zd-config-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        data = folder.string() + "/";
    }
    void TearDown() override { fs::remove_all(folder); }

    void WriteRaw(const char* name, const std::string& bytes)
    {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    std::string ReadRaw(const char* name)
    {
        std::ifstream in(folder / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> Logins(const StoredConfiguration& stored)
    {
        std::vector<std::string> logins;
        for (const auto& user : stored.users)
            logins.push_back(user->Login);
        return logins;
    }

    fs::path folder;
    std::string data;
};

TEST_F(SettingsFileTest, WrittenFileReadsBackWithItsAccountsInOrderAndReservedBytes)
{
    Settings settings;
    settings.ServerEnabled = false;
    settings.Reserved1 = 7;
    settings.VisibleAtStartup = false;
    settings.Port = 40123;
    settings.Reserved5 = {1, 2};
    settings.Reserved7[22] = 0xAA;
    settings.Reserved30[0] = 0x55;
    settings.Reserved30[80] = 0x66;
    settings.MaxLogEntries = 2500;
    settings.BitrateIndex = 3;
    settings.UPnPEnabled = false;
    settings.MasterPassword = "a3D>Z~9";
    settings.VTLimit = 45;

    TUser alice = Account("alice", "pw1");
    alice.RestrictIP = "192.168.1.*";
    alice.HourAllowed[167] = 0;
    alice.Categories = "Rock;Jazz";
    alice.LimitVT = 1;
    TUser bob = Account("Bob", "pw2");
    bob.Enabled = 0;
    const std::vector<std::shared_ptr<TUser>> users{std::make_shared<TUser>(alice), std::make_shared<TUser>(bob)};
    ASSERT_TRUE(WriteConfigurationFile(data, settings, users));

    const std::string bytes = ReadRaw(kConfigurationFileName);
    ASSERT_EQ(bytes.size(), 2 + 135 + 2 * (2 + 522));
    EXPECT_EQ(bytes.substr(0, 2), Le16(135));
    EXPECT_EQ(bytes.substr(2 + 133, 2), Le16(601));
    EXPECT_EQ(bytes.substr(2 + 115, 8), std::string("\x07" "]\x1A\x19\x18V" "z" "5", 8));
    EXPECT_EQ(bytes.substr(137, 2), Le16(522));
    EXPECT_FALSE(fs::exists(folder / "ZODavizi.dat.tmp"));

    const StoredConfiguration stored = ReadConfigurationFile(data);
    Settings expected = settings;
    expected.FormatVersion = 601;
    EXPECT_EQ(EncodeSettingsBlock(stored.settings), EncodeSettingsBlock(expected));
    EXPECT_EQ(stored.settings.MasterPassword, "a3D>Z~9");
    ASSERT_EQ(Logins(stored), (std::vector<std::string>{"alice", "Bob"}));
    EXPECT_EQ(stored.users[0]->ToRecord(), alice.ToRecord());
    EXPECT_EQ(stored.users[1]->ToRecord(), bob.ToRecord());
}

TEST_F(SettingsFileTest, ShortAndOlderFilesKeepTheDefaultsWhereTheyEnd)
{
    Settings full;
    full.Port = 3000;
    full.MaxLogEntries = 900;
    full.VTLimit = 30;
    full.MasterPassword = "secret";
    full.FormatVersion = 601;
    Settings old = full;
    old.FormatVersion = 600;
    TUser carol = Account("carol", "pw");
    carol.HourAllowed.fill(0);
    carol.DSP = 0;

    struct Case {
        const char* name;
        std::string file;
        std::uint16_t port, maxLog, vtLimit;
        const char* masterPassword;
        std::vector<std::string> logins;
    };
    const Settings defaults;
    const Case cases[] = {
        {"settings only, 137 bytes", Le16(135) + BlockBytes(full), 3000, 900, 30, "secret", {}},
        {"an older block of 111 bytes", Le16(111) + BlockBytes(full, 111), 3000, 100, 120, "", {}},
        {"format version 600 ignores the password", Le16(135) + BlockBytes(old), 3000, 900, 30, "", {}},
        {"a bad record length ends the list", Le16(135) + BlockBytes(full) + Le16(522) + RecordBytes(carol) + Le16(523) + RecordBytes(carol),
         3000, 900, 30, "secret", {"carol"}},
        {"a record cut short by the end of the file", Le16(135) + BlockBytes(full) + Le16(522) + RecordBytes(carol, 300),
         3000, 900, 30, "secret", {"carol"}},
        {"a length with no record behind it", Le16(135) + BlockBytes(full) + Le16(522), 3000, 900, 30, "secret", {}},
        {"first length 0 in a long file", Le16(0) + BlockBytes(full), defaults.Port, 100, 120, "", {}},
        {"first length 136 in a long file", Le16(136) + BlockBytes(full) + "x", defaults.Port, 100, 120, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRaw(kConfigurationFileName, c.file);
        // A backup that must not be consulted for a file of 100 bytes or more.
        WriteRaw(kConfigurationBackupName, Le16(135) + BlockBytes(Settings{}) + Le16(522) + RecordBytes(Account("backup", "b")));
        const StoredConfiguration stored = ReadConfigurationFile(data);
        EXPECT_EQ(stored.settings.Port, c.port);
        EXPECT_EQ(stored.settings.MaxLogEntries, c.maxLog);
        EXPECT_EQ(stored.settings.VTLimit, c.vtLimit);
        EXPECT_EQ(stored.settings.MasterPassword, c.masterPassword);
        EXPECT_EQ(Logins(stored), c.logins);
    }
}

TEST_F(SettingsFileTest, ShortUserRecordFillsOnlyTheStartOfTheAccount)
{
    TUser stored = Account("dave", "pw");
    stored.HourAllowed.fill(0);  // hours 0..110 lie within the first 200 bytes
    stored.DSP = 0;
    WriteRaw(kConfigurationFileName, Le16(135) + BlockBytes(Settings{}) + Le16(200) + RecordBytes(stored, 200));
    const StoredConfiguration read = ReadConfigurationFile(data);
    ASSERT_EQ(read.users.size(), 1u);
    const TUser& user = *read.users[0];
    EXPECT_EQ(user.Login, "dave");
    EXPECT_EQ(user.HourAllowed[110], 0);
    EXPECT_EQ(user.HourAllowed[111], 1);
    EXPECT_EQ(user.DSP, 1);
    EXPECT_EQ(user.Separation, 1);
}

TEST_F(SettingsFileTest, FilesInAnotherLetterCaseAreWrittenWhereTheyAre)
{
    Settings first;
    first.Port = 1111;
    ASSERT_TRUE(WriteConfigurationFile(data, first, {}));
    ASSERT_TRUE(WriteConfigurationFile(data, first, {}));  // now with a backup
    fs::rename(folder / kConfigurationFileName, folder / "zodavizi.DAT");
    fs::rename(folder / kConfigurationBackupName, folder / "ZODAVIZI.bak");
    Settings second;
    second.Port = 2222;
    ASSERT_TRUE(WriteConfigurationFile(data, second, {}));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ZODAVIZI.bak", "zodavizi.DAT"}));
    EXPECT_EQ(ReadConfigurationFile(data).settings.Port, 2222);
    fs::remove(folder / "zodavizi.DAT");
    EXPECT_EQ(ReadConfigurationFile(data).settings.Port, 1111);  // from the backup
}

TEST_F(SettingsFileTest, MissingOrShortFileFallsBackToTheStateBeforeTheLastWrite)
{
    Settings first;
    first.Port = 1111;
    Settings second;
    second.Port = 2222;
    ASSERT_TRUE(WriteConfigurationFile(data, first, {std::make_shared<TUser>(Account("one", "1"))}));
    ASSERT_TRUE(WriteConfigurationFile(data, second, {}));
    EXPECT_EQ(ReadConfigurationFile(data).settings.Port, 2222);

    fs::remove(folder / kConfigurationFileName);
    StoredConfiguration restored = ReadConfigurationFile(data);
    EXPECT_EQ(restored.settings.Port, 1111);
    EXPECT_EQ(Logins(restored), (std::vector<std::string>{"one"}));
    EXPECT_TRUE(fs::exists(folder / kConfigurationFileName));  // the backup was copied over it

    WriteRaw(kConfigurationFileName, Le16(135) + std::string(60, '\0'));  // 62 bytes
    EXPECT_EQ(ReadConfigurationFile(data).settings.Port, 1111);

    fs::remove(folder / kConfigurationFileName);
    fs::remove(folder / kConfigurationBackupName);
    restored = ReadConfigurationFile(data);
    EXPECT_EQ(restored.settings.Port, 2323);
    EXPECT_TRUE(restored.users.empty());
}

TEST_F(SettingsFileTest, SaveWritesOnlyChangedSettingsAndLoadShowsThem)
{
    fs::create_directories(folder / "Data");
    const std::string dataFolder = (folder / "Data").string() + "/";
    ASSERT_TRUE(StoreAccount(dataFolder, Account("zed", "z")));
    ASSERT_TRUE(StoreAccount(dataFolder, Account("Amy", "a")));
    ASSERT_TRUE(StoreAccount(dataFolder, Account("ZED", "new")));  // replaces zed

    MainThread mainThread;
    MainForm form(mainThread, StartOptions{(folder / "ZODavizi").string() + "/", {}, {}, true});
    LoadSettings(form);
    ASSERT_EQ(form.Users().Count(), 2u);
    EXPECT_EQ(form.Users()[0].user->Login, "Amy");
    EXPECT_EQ(form.Users()[1].user->Password, "new");
    EXPECT_EQ(form.Page().Port(), 2323);

    const fs::path file = folder / "Data" / kConfigurationFileName;
    fs::remove(file);
    SaveSettings(form, false);
    EXPECT_FALSE(fs::exists(file));  // nothing changed
    form.Page().SetLoading(false);
    form.Page().SetVTLimit(45);
    SaveSettings(form, false);
    ASSERT_TRUE(fs::exists(file));
    EXPECT_FALSE(form.Page().SettingsChanged());
    const StoredConfiguration stored = ReadConfigurationFile(dataFolder);
    EXPECT_EQ(stored.settings.VTLimit, 45);
    EXPECT_EQ(stored.users.size(), 2u);
    fs::remove(file);
    SaveSettings(form, true);
    EXPECT_TRUE(fs::exists(file));
}

} // namespace
} // namespace zd
