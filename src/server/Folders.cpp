#include "server/Folders.hpp"

#include <filesystem>
#include <system_error>

namespace zd {

namespace {

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

Folders Folders::FromProgramFolder(std::string programFolder)
{
    std::error_code error;
    std::filesystem::path path(programFolder.empty() ? std::string(".") : programFolder);
    if (path.is_relative()) {
        const auto absolute = std::filesystem::absolute(path, error);
        if (!error)
            path = absolute;
    }
    path = path.lexically_normal();
    Folders folders;
    folders.ProgramFolder = WithSlash(path.string());
    // The parent of "/x/ZODavizi/" is "/x/".
    std::filesystem::path parent = std::filesystem::path(folders.ProgramFolder).parent_path().parent_path();
    folders.RootFolder = WithSlash(parent.string());
    folders.EngineFolder = folders.RootFolder + "Engine/";
    folders.DataFolder = folders.RootFolder + "Data/";
    folders.CatalogueFolder = folders.RootFolder + "locale";
    return folders;
}

std::string ExecutablePath()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

std::string ExecutableFolder()
{
    const std::string self = ExecutablePath();
    if (self.empty())
        return {};
    return WithSlash(std::filesystem::path(self).parent_path().string());
}

} // namespace zd
