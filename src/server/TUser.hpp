#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

class TVRNFileStream;

// A remote user account. The stored part is the fixed 522-byte record that
// the configuration file holds (ToRecord/FromRecord); the playlist fields
// below it are run-time state only.
//
// Accounts are shared: the user list and every connection logged in with an
// account hold a std::shared_ptr<TUser>, so an account deleted from the list
// stays valid for a connection that still uses it.
//
// Stored fields are read and written on the main thread; a connection reads
// its own account's fields while serving its commands.
class TUser {
public:
    static constexpr std::size_t kRecordSize = 522;

    // Capacities of the stored texts (characters, after the length byte).
    static constexpr std::size_t kLoginCapacity = 15;
    static constexpr std::size_t kPasswordCapacity = 15;
    static constexpr std::size_t kUserNameCapacity = 31;
    static constexpr std::size_t kRestrictIPCapacity = 15;
    static constexpr std::size_t kCategoriesCapacity = 255;

    // Byte offsets of the fields in the stored record.
    struct Offset {
        static constexpr std::size_t Login = 0;
        static constexpr std::size_t Password = 16;
        static constexpr std::size_t UserName = 32;
        static constexpr std::size_t RestrictIP = 64;
        static constexpr std::size_t Enabled = 80;
        static constexpr std::size_t VTMarkersOnly = 81;
        static constexpr std::size_t DayAllowed = 82;
        static constexpr std::size_t HourAllowed = 89;
        static constexpr std::size_t MoveTracks = 257;
        static constexpr std::size_t SpotDelete = 258;
        static constexpr std::size_t FullInsert = 259;
        static constexpr std::size_t Separation = 260;
        static constexpr std::size_t Categories = 261;
        static constexpr std::size_t ExcludeCategories = 517;
        static constexpr std::size_t TimingTool = 518;
        static constexpr std::size_t LocalTracks = 519;
        static constexpr std::size_t DSP = 520;
        static constexpr std::size_t LimitVT = 521;
    };

    using Record = std::array<std::byte, kRecordSize>;

    // An account with the defaults: every switch 0 except Enabled,
    // Separation, TimingTool, DSP and all of DayAllowed and HourAllowed.
    TUser() noexcept;

    // Stored fields. Texts are 8-bit; ToRecord cuts each to its capacity.
    std::string Login;
    std::string Password;
    std::string UserName;
    std::string RestrictIP;
    std::uint8_t Enabled = 1;
    std::uint8_t VTMarkersOnly = 0;
    std::array<std::uint8_t, 7> DayAllowed{};    // 0 = Monday ... 6 = Sunday
    std::array<std::uint8_t, 168> HourAllowed{}; // day * 24 + hour
    std::uint8_t MoveTracks = 0;
    std::uint8_t SpotDelete = 0;
    std::uint8_t FullInsert = 0;
    std::uint8_t Separation = 1;
    std::string Categories; // names separated by ";"; empty = every category
    std::uint8_t ExcludeCategories = 0;
    std::uint8_t TimingTool = 1;
    std::uint8_t LocalTracks = 0;
    std::uint8_t DSP = 1;
    std::uint8_t LimitVT = 0;

    // Run-time state of the playlist the user has open for saving; never
    // stored. A new account has them empty, zero and without a file.
    std::string OpenPlaylistPath;
    bool PlaylistOpen = false;
    std::shared_ptr<TVRNFileStream> PlaylistStream;
    std::vector<std::string> OldPlaylistLines;
    int OldLineIndex = 0;
    int BlockCount = 0;
    int LastBlock = 0;
    int LinesWritten = 0;

    // The stored record, texts cut to their capacity, unused text bytes 0.
    // noexcept.
    Record ToRecord() const noexcept;

    // Reads `bytes` over the start of the stored record: a record shorter
    // than 522 bytes leaves the fields it does not reach as they are; bytes
    // beyond 522 are ignored. A length byte above a text's capacity is read
    // as the capacity. noexcept apart from allocation.
    void FromRecord(std::span<const std::byte> bytes);

    // Cuts the stored texts to their capacities (what storing them does).
    void CutTextsToCapacity();
};

// A new account with the defaults whose Login is the first 15 characters of
// `login`. noexcept apart from allocation.
std::shared_ptr<TUser> NewUser(std::string_view login);

// The outcome of the login access rule.
enum class AccessResult { Accepted, BadPassword, Disabled, BadAddress };

// The access rule: no account or a different password (case significant)
// gives BadPassword; then Enabled 0 gives Disabled; then a RestrictIP that
// IpMatches does not accept for `peerAddress` gives BadAddress. noexcept.
AccessResult CheckAccess(const TUser* user, std::string_view password,
                         std::string_view peerAddress) noexcept;

// Whether the account may use the category: listed when Categories is empty
// or names it (letters A to Z compared without case); the result is "listed"
// for included categories and "not listed" for excluded ones. noexcept.
bool IsCategoryPermitted(const TUser& user, std::string_view category) noexcept;

// 24 characters for the day (0 = Monday): "1" where the day switch and the
// hour switch are both set, else "0". A day outside 0..6 gives 24 zeros.
std::string HourPermissionLine(const TUser& user, int day);

} // namespace zd
