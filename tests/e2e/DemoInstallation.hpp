#pragma once

// A fresh copy of the demo installation in a temporary folder, with the
// demo account written by the server's own configuration-file code.

#include "server/SettingsFile.hpp"
#include "server/TUser.hpp"

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace zd::e2e {

class DemoInstallation {
public:
    DemoInstallation() : root_(MakeFolder())
    {
        namespace fs = std::filesystem;
        fs::copy(fs::path(ZD_SOURCE_DIR) / "demo", root_,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        TUser demo;
        demo.Login = "demo";
        demo.Password = "demo";
        AddAccount(demo);
    }
    ~DemoInstallation()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    DemoInstallation(const DemoInstallation&) = delete;
    DemoInstallation& operator=(const DemoInstallation&) = delete;

    // The copy's top folder (the prefix with drive_c/ and dosdevices/).
    const std::filesystem::path& Prefix() const noexcept { return root_; }
    // The installation root the server runs with: zodavizi -a CadmoraFolder().
    std::filesystem::path CadmoraFolder() const { return root_ / "drive_c" / "Cadmora"; }
    std::string RootArgument() const { return CadmoraFolder().string() + "/"; }
    std::filesystem::path DataFolder() const { return CadmoraFolder() / "Data"; }
    std::filesystem::path PlaylistFolder() const { return CadmoraFolder() / "Playlists"; }
    std::filesystem::path ConnectedUsersFile() const { return PlaylistFolder() / "VTUsers.log"; }

    // Adds (or replaces) an account in the configuration file; call while no
    // server runs on the copy.
    void AddAccount(const TUser& account) const
    {
        if (!StoreAccount(DataFolder().string() + "/", account))
            throw std::runtime_error("cannot write the demo account");
    }

private:
    static std::filesystem::path MakeFolder()
    {
        static std::atomic<int> counter{0};
        const auto folder = std::filesystem::temp_directory_path()
            / ("zd-demo-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        return folder;
    }

    std::filesystem::path root_;
};

} // namespace zd::e2e
