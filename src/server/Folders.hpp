#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zd {

// The installation's folders, fixed for the life of the process; each ends
// in "/".
struct Folders {
    std::string ProgramFolder;   // the executable's folder, or ROOT + "ZODavizi/" with -a ROOT
    std::string RootFolder;      // parent of ProgramFolder: the installation root
    std::string EngineFolder;    // RootFolder + "Engine/"
    std::string DataFolder;      // RootFolder + "Data/"
    std::string CatalogueFolder; // RootFolder + "locale"

    // The folders for a program folder (made absolute, "/" appended when
    // missing). noexcept apart from allocation.
    static Folders FromProgramFolder(std::string programFolder);
};

// The folder of the running executable with trailing "/" ("" when the system
// cannot tell). noexcept apart from allocation.
std::string ExecutableFolder();

// The full path of the running executable ("" when the system cannot tell).
// noexcept apart from allocation.
std::string ExecutablePath();

} // namespace zd
