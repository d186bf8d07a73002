#include "platform/Autostart.hpp"

#include "platform/InstanceLock.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace zd {

namespace {

std::string AutostartFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/')
        return std::string(config) + "/autostart/";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home == '/')
        return std::string(home) + "/.config/autostart/";
    return {};
}

} // namespace

std::string DesktopExecArgument(std::string_view argument)
{
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    bool quote = argument.empty();
    std::string escaped;
    for (const char c : argument) {
        if (kReserved.find(c) != std::string_view::npos)
            quote = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            escaped += '\\';
        escaped += c;
        if (c == '%')
            escaped += '%';
    }
    return quote ? '"' + escaped + '"' : escaped;
}

Autostart::Autostart(std::string rootFolder, std::string program)
    : root_(std::move(rootFolder)), program_(std::move(program))
{
    const std::string folder = AutostartFolder();
    if (!folder.empty())
        path_ = folder + "zodavizi-" + InstallationId(root_) + ".desktop";
}

std::string Autostart::Content() const
{
    // The root is always quoted: the program reads it as one argument.
    std::string root = DesktopExecArgument(root_);
    if (root.front() != '"')
        root = '"' + root + '"';
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=ZO Davizi\n"
           "Comment=Voice-track server of " + root_ + "\n"
           "Exec=" + DesktopExecArgument(program_) + " /a " + root + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool Autostart::Exists() const noexcept
{
    std::error_code error;
    return !path_.empty() && std::filesystem::exists(path_, error);
}

bool Autostart::Write() const noexcept
{
    if (path_.empty())
        return false;
    try {
        const std::filesystem::path target(path_);
        std::error_code error;
        std::filesystem::create_directories(target.parent_path(), error);
        const std::string temporary = path_ + ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << Content();
            out.flush();
            if (!out)
                return false;
        }
        std::filesystem::rename(temporary, target, error);
        if (error) {
            std::filesystem::remove(temporary, error);
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool Autostart::Remove() const noexcept
{
    if (path_.empty())
        return true;
    std::error_code error;
    std::filesystem::remove(path_, error);
    return !std::filesystem::exists(path_, error);
}

} // namespace zd
