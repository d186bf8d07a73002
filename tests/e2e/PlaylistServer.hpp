#pragma once

// A headless server on a fresh copy of the demo installation, for the
// settings, playlist and upload tests, and vtclient runs against it.

#include "DemoInstallation.hpp"
#include "RawClient.hpp"
#include "ServerProcess.hpp"

#include "server/SettingsFile.hpp"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace zd::e2e {

inline std::string FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void PutFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every file below the folder with its content (its size for large ones),
// for "nothing changed" checks. The files the server itself keeps up to date
// (the connected-users file, its configuration file) are left out.
inline std::vector<std::pair<std::string, std::string>> Snapshot(const std::filesystem::path& folder)
{
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name == "VTUsers.log" || name.rfind("ZODavizi.", 0) == 0)
            continue;
        const auto size = entry.file_size();
        files.emplace_back(entry.path().string(),
                           size < (1u << 20) ? FileBytes(entry.path()) : std::to_string(size));
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct PlaylistServer {
    // Accounts are added to the copy; vtLimit is the "VT Length" setting.
    explicit PlaylistServer(const std::vector<TUser>& accounts, int vtLimit = 120)
        : port(FreePort())
    {
        for (const TUser& account : accounts)
            demo.AddAccount(account);
        const std::string data = demo.DataFolder().string() + "/";
        auto stored = ReadConfigurationFile(data);
        stored.settings.VTLimit = static_cast<std::uint16_t>(vtLimit);
        if (!WriteConfigurationFile(data, stored.settings, stored.users))
            throw std::runtime_error("cannot write the settings");
        process = RunHeadlessServer(demo.RootArgument(), port);
    }

    std::unique_ptr<RawClient> LoggedIn(const std::string& login, const std::string& password = "pw")
    {
        auto client = std::make_unique<RawClient>(port);
        const std::string reply = client->Login(login, password);
        if (reply != "OK")
            throw std::runtime_error("login of " + login + " gave " + reply);
        return client;
    }

    // Runs vtclient as the account with the arguments; its exit code and output.
    std::pair<int, std::string> VtClient(const std::string& login, const std::vector<std::string>& commands)
    {
        std::vector<std::string> args{"--port", std::to_string(port), "--user", login, "--password", "pw"};
        args.insert(args.end(), commands.begin(), commands.end());
        ServerProcess client(BuiltProgram("vtclient"), args);
        const auto code = client.WaitExit(std::chrono::seconds(60));
        return {code.value_or(-1), client.Stdout() + client.Stderr()};
    }

    DemoInstallation demo;
    std::uint16_t port;
    std::unique_ptr<ServerProcess> process;
};

inline TUser PlaylistAccount(const char* login)
{
    TUser user;
    user.Login = login;
    user.Password = "pw";
    return user;
}

} // namespace zd::e2e
