#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace zd {

class TUser;

// The permission switches of the Users page, in the order it shows them.
enum class Permission {
    VTMarkers,   // "Record at VT Markers Only"
    MoveTracks,  // "Song Movement"
    FullInsert,  // "Full Insertion and Editing"
    SpotDelete,  // "Spot Deletion"
    Separation,  // "Enforce Separation Rules"
    TimingTool,  // "Timing Tool"
    LocalTracks, // "Local Track Insertions"
    DSP,         // "Recorder DSP Configuration"
    LimitVT,     // "Limit VT Length"
};
inline constexpr std::size_t kPermissionCount = 9;

// The switches that "Full Insertion and Editing" enables (with the
// Categories text and its "..." button).
bool DependsOnFullInsert(Permission permission) noexcept;

// The values of the account controls of the Users page.
struct UserControls {
    bool Enabled = false;
    std::string Login;
    std::string Password;
    std::string UserName;
    std::string RestrictIP;
    std::string Categories;
    bool Excluded = false; // the picker's "Selected categories are": Excluded
    std::array<bool, kPermissionCount> Permissions{};
    std::array<bool, 7> Days{};    // Monday first
    std::array<bool, 168> Hours{}; // day * 24 + hour

    bool& operator[](Permission p) noexcept { return Permissions[static_cast<std::size_t>(p)]; }
    bool operator[](Permission p) const noexcept { return Permissions[static_cast<std::size_t>(p)]; }

    // The account's stored fields on the controls (texts trimmed).
    static UserControls From(const TUser& user);
    // Copies the controls into the account, except the login: texts
    // trimmed and cut to their capacities, switches as 0 or 1.
    void CopyTo(TUser& user) const;
};

} // namespace zd
