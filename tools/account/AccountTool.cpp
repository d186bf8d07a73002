// zodavizi-account: adds or replaces one account in the configuration file
// of an installation while no server runs on it (the demo and operators
// setting up a station use it). The file is written by the server's own code.

#include "common/CodePage.hpp"
#include "common/MarkedText.hpp"
#include "platform/InstanceLock.hpp"
#include "server/SingleInstance.hpp"
#include "server/Folders.hpp"
#include "server/SettingsFile.hpp"
#include "server/TUser.hpp"

#include <iostream>
#include <optional>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: zodavizi-account -a ROOT --user LOGIN --password PASSWORD\n"
    "                        [--name TEXT] [--restrict-ip PATTERN] [--disabled]\n"
    "                        [--upnp on|off]\n"
    "\n"
    "Adds the account to ROOT/Data/ZODavizi.dat, or replaces the account of the\n"
    "same login (letter case ignored). ROOT is the installation root the server\n"
    "runs with (zodavizi -a ROOT). Refused while the server of ROOT runs: it\n"
    "writes the file too.\n"
    "Texts are taken as UTF-8 and stored in the server's code page (as marked\n"
    "UTF-8 where the code page cannot hold them); a login or password longer than\n"
    "15 bytes, a name longer than 31 or a pattern longer than 15 is refused.\n"
    "--upnp also stores the server's \"UPnP Port Forwarding\" setting.\n";

// The stored form of a UTF-8 argument: the code page where it holds every
// character, marked UTF-8 otherwise.
std::string Stored(const std::string& argument)
{
    return zd::WideToAnsiOrMarked(zd::Utf8OrAnsiToWide(argument));
}

// The field's name when the stored text does not fit its field, else null.
const char* TooLong(const zd::TUser& account)
{
    if (account.Login.size() > zd::TUser::kLoginCapacity)
        return "login";
    if (account.Password.size() > zd::TUser::kPasswordCapacity)
        return "password";
    if (account.UserName.size() > zd::TUser::kUserNameCapacity)
        return "name";
    if (account.RestrictIP.size() > zd::TUser::kRestrictIPCapacity)
        return "restrict-ip pattern";
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    std::string root;
    zd::TUser account;
    bool haveUser = false;
    bool havePassword = false;
    std::optional<bool> upnp;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if ((arg == "-a" || arg == "/a") && hasValue) {
            root = argv[++i];
        } else if (arg == "--user" && hasValue) {
            account.Login = Stored(argv[++i]);
            haveUser = true;
        } else if (arg == "--password" && hasValue) {
            account.Password = Stored(argv[++i]);
            havePassword = true;
        } else if (arg == "--name" && hasValue) {
            account.UserName = Stored(argv[++i]);
        } else if (arg == "--restrict-ip" && hasValue) {
            account.RestrictIP = Stored(argv[++i]);
        } else if (arg == "--upnp" && hasValue && (std::string(argv[i + 1]) == "on" || std::string(argv[i + 1]) == "off")) {
            upnp = std::string(argv[++i]) == "on";
        } else if (arg == "--disabled") {
            account.Enabled = 0;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "zodavizi-account: unknown or incomplete option " << arg << "\n" << kUsage;
            return 2;
        }
    }
    if (root.empty() || !haveUser || !havePassword || account.Login.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (root.back() != '/')
        root += '/';
    if (const char* field = TooLong(account)) {
        std::cerr << "zodavizi-account: the " << field << " is longer than its field holds\n";
        return 2;
    }
    // The server's single-instance lock tells whether it runs on this
    // installation: it would overwrite the change at its next save. Held
    // while writing, it also keeps a server from starting in the middle.
    const zd::Folders folders = zd::Folders::FromProgramFolder(root + "ZODavizi/");
    const zd::InstanceLock notRunning(zd::InstanceLockFile(folders.DataFolder));
    if (!notRunning.Acquired()) {
        std::cerr << "zodavizi-account: the server of " << root
                  << " is running; stop it first (it would overwrite the change at its next save)\n";
        return 1;
    }
    if (!zd::StoreAccount(root + "Data/", account, upnp)) {
        std::cerr << "zodavizi-account: cannot write " << root << "Data/ZODavizi.dat\n";
        return 1;
    }
    std::cout << "Account " << account.Login << " stored in " << root << "Data/ZODavizi.dat\n";
    return 0;
}
