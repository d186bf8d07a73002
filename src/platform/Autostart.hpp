#pragma once

#include <string>
#include <string_view>

namespace zd {

// Start at logon: an XDG autostart entry of the installation,
// $XDG_CONFIG_HOME/autostart/zodavizi-<installation id>.desktop (the config
// home defaults to ~/.config). Its Exec line runs the program with
// ` /a "<root folder>"`.
class Autostart {
public:
    // rootFolder: the installation root (ends in "/"); program: the
    // executable's full path.
    Autostart(std::string rootFolder, std::string program);

    // The entry's path ("" when there is no home or config folder).
    const std::string& Path() const noexcept { return path_; }
    // Whether the entry exists. noexcept.
    bool Exists() const noexcept;
    // Writes the entry (folders made as needed, written through a temporary
    // file renamed into place). False on failure. noexcept.
    bool Write() const noexcept;
    // Removes the entry; true when it is gone afterwards. noexcept.
    bool Remove() const noexcept;

    // The entry's content.
    std::string Content() const;

private:
    std::string root_;
    std::string program_;
    std::string path_;
};

// An argument of a desktop entry's Exec line: quoted when it holds a space
// or a character the format reserves, with `"`, "`", "$" and "\" escaped;
// "%" doubled either way.
std::string DesktopExecArgument(std::string_view argument);

} // namespace zd
