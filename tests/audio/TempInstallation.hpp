#pragma once

#include "audio/NativePath.hpp"

#include "../support/TempFolder.hpp"

#include <filesystem>
#include <fstream>
#include <string>

namespace zd::testing {

// A temporary Wine-style installation: <root>/drive_c is drive C through
// <root>/dosdevices/c:, and the file layer's root is <root>/drive_c/Cadmora.
class TempInstallation {
public:
    TempInstallation()
    {
        std::filesystem::create_directories(Root() / "drive_c" / "Cadmora");
        std::filesystem::create_directories(Root() / "dosdevices");
        std::filesystem::create_directory_symlink("../drive_c", Root() / "dosdevices" / "c:");
        SetInstallationRoot((Root() / "drive_c" / "Cadmora").string());
    }
    ~TempInstallation() { SetInstallationRoot(""); }
    TempInstallation(const TempInstallation&) = delete;
    TempInstallation& operator=(const TempInstallation&) = delete;

    // The native path of a path below drive C ("Data/x.dat").
    std::filesystem::path OnDriveC(const std::string& relative) const { return Root() / "drive_c" / relative; }
    const std::filesystem::path& Root() const { return folder_.Path(); }

    // Writes a file below drive C, making its folders.
    std::filesystem::path Put(const std::string& relative, const std::string& content) const
    {
        const auto path = OnDriveC(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static std::string Read(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    testsupport::TempFolder folder_;
};

} // namespace zd::testing
