#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zd {

// The file layer's name mapping. Names keep the Windows form the scheduler
// uses ("C:\Cadmora\Playlists\0101.plg") and become native paths here:
//  1. marked text to UTF-8, every "\" to "/";
//  2. a drive "X:" is looked up in the drive map, the folder "dosdevices/"
//     (entries "c:", "d:" ..., links or folders) in the installation root or
//     the nearest folder above it; an unmapped drive names no file;
//  3. where the path does not exist as written, each component is matched
//     without regard to letter case; components that match nothing are kept
//     as written (so a new file is made in the existing folder).
// "." and ".." of a drive path are resolved by name and never climb above
// the drive's root. A native absolute path ("/srv/...") skips step 2.
// UNC names ("\\server\share\...") are not supported and name no file.

// Sets the installation root (the native RootFolder) and finds its drive
// map; an empty root clears the map. Safe from any thread; the server calls it at start-up, tests on
// temporary folders. noexcept apart from allocation.
void SetInstallationRoot(const std::string& rootFolder);

// The drive map folder found by SetInstallationRoot ("" when none).
std::string DriveMapFolder();

// The native path of a marked name; nullopt when it names no file (empty,
// unmapped drive, UNC). Never throws apart from allocation.
std::optional<std::string> NativePathOf(std::string_view markedName);

// True when a name a client sent may name a file: the Windows form with a
// drive letter the drive map knows and a root ("C:\..."). A native path, a
// relative or drive-relative name, a UNC name or an unmapped drive names no
// file for a client. Never throws apart from allocation.
bool IsClientFileName(std::string_view markedName);

// The Windows form ("C:\Cadmora\Music\a.mp3") of a native absolute path,
// through the drive whose folder holds it (the deepest such folder when
// several do); marked text when the name has bytes above 0x7F. nullopt when
// no drive of the map reaches the path. Never throws apart from allocation.
std::optional<std::string> DriveNameOf(const std::string& nativePath);

} // namespace zd
