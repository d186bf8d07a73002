#pragma once

// A fresh copy of the demo installation in a temporary folder, with the
// demo account written by the server's own configuration-file code, the
// generated demo music in Cadmora/Music/<category>/ and the library
// databases that zdlibrary builds from it.

#include "platform/RestoreSignal.hpp"
#include "server/SettingsFile.hpp"
#include "server/TUser.hpp"

#include "../support/TempFolder.hpp"
#include "DemoAudio.hpp"
#include "ServerProcess.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace zd::e2e {

class DemoInstallation {
public:
    DemoInstallation()
    {
        namespace fs = std::filesystem;
        fs::copy(fs::path(ZD_SOURCE_DIR) / "demo", Prefix(),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        fs::copy(DemoMusicCache(), MusicFolder(), fs::copy_options::recursive);
        BuildLibrary();
        TUser demo;
        demo.Login = "demo";
        demo.Password = "demo";
        AddAccount(demo);
    }
    // Also removes the restore signal that the servers run on the copy
    // leave behind (they keep it for later starts).
    ~DemoInstallation()
    {
        ::shm_unlink(RestoreSignal(RootArgument()).Name().c_str());
    }
    DemoInstallation(const DemoInstallation&) = delete;
    DemoInstallation& operator=(const DemoInstallation&) = delete;
    // The copy's top folder (the prefix with drive_c/ and dosdevices/).
    const std::filesystem::path& Prefix() const noexcept { return folder_.Path(); }
    // The installation root the server runs with: zodavizi -a CadmoraFolder().
    std::filesystem::path CadmoraFolder() const { return Prefix() / "drive_c" / "Cadmora"; }
    std::string RootArgument() const { return CadmoraFolder().string() + "/"; }
    std::filesystem::path DataFolder() const { return CadmoraFolder() / "Data"; }
    std::filesystem::path MusicFolder() const { return CadmoraFolder() / "Music"; }
    std::filesystem::path PlaylistFolder() const { return CadmoraFolder() / "Playlists"; }
    std::filesystem::path ConnectedUsersFile() const { return PlaylistFolder() / "VTUsers.log"; }

    // Runs zdlibrary on the music folder (again after its files changed).
    void BuildLibrary() const
    {
        std::vector<std::string> args{"--data", DataFolder().string()};
        for (const auto& entry : std::filesystem::directory_iterator(MusicFolder()))
            args.push_back(entry.path().string());
        ServerProcess builder(BuiltProgram("zdlibrary"), args);
        if (builder.WaitExit(std::chrono::seconds(60)) != 0)
            throw std::runtime_error("zdlibrary failed: " + builder.Stderr());
    }

    // Adds (or replaces) an account in the configuration file; call while no
    // server runs on the copy.
    void AddAccount(const TUser& account) const
    {
        if (!StoreAccount(DataFolder().string() + "/", account))
            throw std::runtime_error("cannot write the demo account");
    }

private:
    testsupport::TempFolder folder_;
};

} // namespace zd::e2e
