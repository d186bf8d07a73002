#include "common/Numbers.hpp"

#include "common/Texts.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace zd {

namespace {

template <typename Int>
Int ParseIntDef0(std::string_view text) noexcept
{
    text = TrimText(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return 0;
    Int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return 0;
    return value;
}

} // namespace

std::int32_t TextToIntDef0(std::string_view text) noexcept
{
    return ParseIntDef0<std::int32_t>(text);
}

std::int64_t TextToInt64Def0(std::string_view text) noexcept
{
    return ParseIntDef0<std::int64_t>(text);
}

std::optional<double> ParseInvariantFloat(std::string_view text) noexcept
{
    // Sign, digits with one optional ".", optional exponent; nothing else.
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t numberStart = i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i, ++expDigits;
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data() + numberStart, text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return text.front() == '-' ? -value : value;
}

bool IsNumber(std::string_view text) noexcept
{
    return ParseInvariantFloat(text).has_value();
}

std::string InvariantFloatText(double value, int decimals)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
        std::chars_format::fixed, decimals < 0 ? 0 : decimals);
    if (error != std::errc{})
        return "0";
    std::string text(buffer, end);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    if (text == "-0")
        text = "0";
    return text;
}

std::string ZeroPad(std::string_view text, int width)
{
    const auto trimmed = static_cast<int>(TrimText(text).size());
    std::string out;
    if (width > trimmed)
        out.assign(static_cast<std::size_t>(width - trimmed), '0');
    out += text;
    return out;
}

std::uint32_t ReplayGainFactor(std::string_view text, bool& marker) noexcept
{
    marker = false;
    const std::string lower = AsciiLower(text);
    const std::size_t db = lower.find("db");
    if (db == std::string::npos)
        return 0;
    std::string_view number = TrimText(text.substr(0, db));
    if (!number.empty() && number.front() == 'G') {
        marker = true;
        number = number.substr(1, 13);
    }
    if (!number.empty() && number.front() == '+')
        number = number.substr(1, 12);
    number = TrimText(number);
    const auto x = ParseInvariantFloat(number);
    if (!x)
        return 0;
    const double factor = std::pow(10.0, *x / 20.0) * 65536.0;
    if (!(factor >= 0.0) || factor >= 4294967296.0)
        return 0;
    const auto fixed = static_cast<std::uint32_t>(factor);
    return fixed == 65536 ? 0 : fixed;
}

std::uint32_t ContrastTextColour(std::uint32_t colour, int threshold) noexcept
{
    const int sum = static_cast<int>((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF));
    return sum > threshold ? 0x000000u : 0xFFFFFFu;
}

double BigEndianExtended(std::span<const std::uint8_t> bytes) noexcept
{
    if (bytes.size() < 10)
        return 0.0;
    const int exponent = ((bytes[0] & 0x7F) << 8) | bytes[1];
    std::uint64_t mantissa = 0;
    for (int i = 2; i < 10; ++i)
        mantissa = (mantissa << 8) | bytes[static_cast<std::size_t>(i)];
    if (exponent == 0 && mantissa == 0)
        return 0.0;
    if (exponent == 0x7FFF)
        return 0.0; // infinity or NaN: no usable number
    const double value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
    return (bytes[0] & 0x80) ? -value : value;
}

std::uint32_t SyncSafeToInt(std::span<const std::uint8_t, 4> bytes) noexcept
{
    return SyncSafeToInt(static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16
        | static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3]);
}

} // namespace zd
