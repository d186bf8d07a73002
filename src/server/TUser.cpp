#include "server/TUser.hpp"

#include <algorithm>
#include <cstring>

namespace zd {

namespace {

void PutText(TUser::Record& record, std::size_t offset, std::size_t capacity, const std::string& text)
{
    const std::size_t length = std::min(text.size(), capacity);
    record[offset] = static_cast<std::byte>(length);
    std::memcpy(record.data() + offset + 1, text.data(), length);
}

std::string GetText(const TUser::Record& record, std::size_t offset, std::size_t capacity)
{
    const std::size_t length = std::min<std::size_t>(std::to_integer<std::size_t>(record[offset]), capacity);
    return std::string(reinterpret_cast<const char*>(record.data() + offset + 1), length);
}

template <std::size_t N>
void PutBytes(TUser::Record& record, std::size_t offset, const std::array<std::uint8_t, N>& values)
{
    std::memcpy(record.data() + offset, values.data(), N);
}

template <std::size_t N>
void GetBytes(const TUser::Record& record, std::size_t offset, std::array<std::uint8_t, N>& values)
{
    std::memcpy(values.data(), record.data() + offset, N);
}

std::uint8_t GetByte(const TUser::Record& record, std::size_t offset)
{
    return std::to_integer<std::uint8_t>(record[offset]);
}

} // namespace

TUser::TUser() noexcept
{
    DayAllowed.fill(1);
    HourAllowed.fill(1);
}

TUser::Record TUser::ToRecord() const noexcept
{
    Record record{};
    PutText(record, Offset::Login, kLoginCapacity, Login);
    PutText(record, Offset::Password, kPasswordCapacity, Password);
    PutText(record, Offset::UserName, kUserNameCapacity, UserName);
    PutText(record, Offset::RestrictIP, kRestrictIPCapacity, RestrictIP);
    record[Offset::Enabled] = std::byte{Enabled};
    record[Offset::VTMarkersOnly] = std::byte{VTMarkersOnly};
    PutBytes(record, Offset::DayAllowed, DayAllowed);
    PutBytes(record, Offset::HourAllowed, HourAllowed);
    record[Offset::MoveTracks] = std::byte{MoveTracks};
    record[Offset::SpotDelete] = std::byte{SpotDelete};
    record[Offset::FullInsert] = std::byte{FullInsert};
    record[Offset::Separation] = std::byte{Separation};
    PutText(record, Offset::Categories, kCategoriesCapacity, Categories);
    record[Offset::ExcludeCategories] = std::byte{ExcludeCategories};
    record[Offset::TimingTool] = std::byte{TimingTool};
    record[Offset::LocalTracks] = std::byte{LocalTracks};
    record[Offset::DSP] = std::byte{DSP};
    record[Offset::LimitVT] = std::byte{LimitVT};
    return record;
}

void TUser::FromRecord(std::span<const std::byte> bytes)
{
    // Lay the bytes over the current record so that a short one keeps the
    // fields it does not reach.
    Record record = ToRecord();
    std::memcpy(record.data(), bytes.data(), std::min(bytes.size(), record.size()));
    Login = GetText(record, Offset::Login, kLoginCapacity);
    Password = GetText(record, Offset::Password, kPasswordCapacity);
    UserName = GetText(record, Offset::UserName, kUserNameCapacity);
    RestrictIP = GetText(record, Offset::RestrictIP, kRestrictIPCapacity);
    Enabled = GetByte(record, Offset::Enabled);
    VTMarkersOnly = GetByte(record, Offset::VTMarkersOnly);
    GetBytes(record, Offset::DayAllowed, DayAllowed);
    GetBytes(record, Offset::HourAllowed, HourAllowed);
    MoveTracks = GetByte(record, Offset::MoveTracks);
    SpotDelete = GetByte(record, Offset::SpotDelete);
    FullInsert = GetByte(record, Offset::FullInsert);
    Separation = GetByte(record, Offset::Separation);
    Categories = GetText(record, Offset::Categories, kCategoriesCapacity);
    ExcludeCategories = GetByte(record, Offset::ExcludeCategories);
    TimingTool = GetByte(record, Offset::TimingTool);
    LocalTracks = GetByte(record, Offset::LocalTracks);
    DSP = GetByte(record, Offset::DSP);
    LimitVT = GetByte(record, Offset::LimitVT);
}

void TUser::CutTextsToCapacity()
{
    auto cut = [](std::string& text, std::size_t capacity) {
        if (text.size() > capacity)
            text.resize(capacity);
    };
    cut(Login, kLoginCapacity);
    cut(Password, kPasswordCapacity);
    cut(UserName, kUserNameCapacity);
    cut(RestrictIP, kRestrictIPCapacity);
    cut(Categories, kCategoriesCapacity);
}

std::shared_ptr<TUser> NewUser(std::string_view login)
{
    auto user = std::make_shared<TUser>();
    user->Login = std::string(login.substr(0, TUser::kLoginCapacity));
    return user;
}

std::string HourPermissionLine(const TUser& user, int day)
{
    std::string line(24, '0');
    if (day < 0 || day > 6 || user.DayAllowed[static_cast<std::size_t>(day)] == 0)
        return line;
    for (std::size_t hour = 0; hour < 24; ++hour) {
        if (user.HourAllowed[static_cast<std::size_t>(day) * 24 + hour] != 0)
            line[hour] = '1';
    }
    return line;
}

} // namespace zd
