#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zd {

// Number parsing and number forms. All functions are noexcept apart from
// allocation; bad input gives 0, false or an empty text.

// Trims spaces and control characters and parses a signed decimal 32-bit
// integer; any failure (empty, trailing text, out of range) gives 0.
std::int32_t TextToIntDef0(std::string_view text) noexcept;

// The same for a 64-bit integer.
std::int64_t TextToInt64Def0(std::string_view text) noexcept;

// Parses a whole text as a number in the invariant format ("." as decimal
// separator, optional sign and exponent, no spaces, no thousand separators);
// nullopt on failure.
std::optional<double> ParseInvariantFloat(std::string_view text) noexcept;

// True when ParseInvariantFloat succeeds; an empty text is false.
bool IsNumber(std::string_view text) noexcept;

// The text formatted in the invariant format with up to the given decimals,
// trailing zeros dropped ("1.5", "2").
std::string InvariantFloatText(double value, int decimals);

// "0" repeated (width minus the length of the trimmed text) followed by the
// untrimmed text.
std::string ZeroPad(std::string_view text, int width);

// The replay gain of a text such as "-6.02 dB" or "G+1.5 dB" as an unsigned
// 16.16 fixed-point factor, 0 meaning no change (no "dB", parse failure or
// unity). marker tells whether the text began with "G".
std::uint32_t ReplayGainFactor(std::string_view text, bool& marker) noexcept;

// Black (0) when red + green + blue of the colour (0x00BBGGRR) is above the
// threshold, else white (0x00FFFFFF).
std::uint32_t ContrastTextColour(std::uint32_t colour, int threshold) noexcept;

// Byte order.
constexpr std::uint16_t Swap16(std::uint16_t v) noexcept
{
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
constexpr std::uint32_t Swap32(std::uint32_t v) noexcept
{
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
// A 64-bit value stored big-endian as two 32-bit words, each given as read
// into memory on this (little-endian) machine: hi first, then lo.
constexpr std::uint64_t BigEndian64(std::uint32_t hi, std::uint32_t lo) noexcept
{
    return (static_cast<std::uint64_t>(Swap32(hi)) << 32) | Swap32(lo);
}
// An 80-bit IEEE extended number from its ten big-endian bytes (AIFF sample
// rate); 0 for a span shorter than 10 bytes.
double BigEndianExtended(std::span<const std::uint8_t> bytes) noexcept;

// The 28-bit sync-safe integer of four bytes, most significant first, each
// contributing its 7 low bits. The value form takes the four bytes as one
// big-endian number (first byte in bits 24..31).
constexpr std::uint32_t SyncSafeToInt(std::uint32_t value) noexcept
{
    return ((value >> 24) & 0x7F) << 21 | ((value >> 16) & 0x7F) << 14 | ((value >> 8) & 0x7F) << 7
        | (value & 0x7F);
}
std::uint32_t SyncSafeToInt(std::span<const std::uint8_t, 4> bytes) noexcept;

constexpr bool BitIsSet(std::uint64_t value, unsigned bit) noexcept
{
    return bit < 64 && ((value >> bit) & 1u) != 0;
}
constexpr bool HasAllBits(std::uint64_t value, std::uint64_t mask) noexcept
{
    return (value & mask) == mask;
}

} // namespace zd
